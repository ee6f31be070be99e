// The floor of the stack: the smallest WebKitGTK program that opens one window and loads a page.
// baseline URL [X Y WIDTH HEIGHT] places the window (default: where the login panel's browser
// sits on a 1600 x 1000 screen).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    if (argc < 2) return 2;
    const int x = argc > 5 ? std::atoi(argv[2]) : 693, y = argc > 5 ? std::atoi(argv[3]) : 314;
    const int width = argc > 5 ? std::atoi(argv[4]) : 631,
              height = argc > 5 ? std::atoi(argv[5]) : 446;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    gtk_window_move(GTK_WINDOW(window), x, y);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
