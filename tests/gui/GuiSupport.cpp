#include "tests/gui/GuiSupport.h"

#include <gdk/gdkx.h>

namespace guitest {

bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void SpinFor(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    SpinUntil([&] { return std::chrono::steady_clock::now() > deadline; },
              time + std::chrono::seconds(1));
}

guint RunLater(std::function<void()> action, int ms) {
    return g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(action)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

int Xdotool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "xdotool";
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    GPid pid;
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv.data(), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                       nullptr, nullptr, &pid, &error)) {
        g_error_free(error);
        return -1;
    }
    int status = -1;
    bool ended = false;
    g_child_watch_add(
        pid,
        [](GPid child, gint code, gpointer data) {
            auto* result = static_cast<std::pair<int*, bool*>*>(data);
            *result->first = code;
            *result->second = true;
            g_spawn_close_pid(child);
            delete result;
        },
        new std::pair<int*, bool*>(&status, &ended));
    SpinUntil([&] { return ended; }, std::chrono::seconds(20));
    return g_spawn_check_wait_status(status, nullptr) ? 0 : 1;
}

void GiveFocus(GtkWidget* widget) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
    Xdotool({"windowfocus", "--sync", std::to_string(xid)});
}

void ScreenOrigin(GtkWidget* widget, int& x, int& y) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int originX = 0, originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(toplevel), &originX, &originY);
    int dx = 0, dy = 0;
    gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &dx, &dy);
    x = originX + dx;
    y = originY + dy;
}

bool AnyPopupShowing() {
    GList* windows = gtk_window_list_toplevels();
    bool showing = false;
    for (GList* w = windows; w; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        if (gtk_window_get_window_type(window) == GTK_WINDOW_POPUP &&
            gtk_widget_get_mapped(GTK_WIDGET(window))) {
            showing = true;
        }
    }
    g_list_free(windows);
    return showing;
}

HttpServer::HttpServer() {
    // No idle or speculative connection may hold up stop() for long.
    server_.set_keep_alive_max_count(1);
    server_.set_read_timeout(1, 0);
    server_.set_keep_alive_timeout(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
}

HttpServer::~HttpServer() {
    server_.stop();
    thread_.join();
}

}  // namespace guitest
