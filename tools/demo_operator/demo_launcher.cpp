// The demo game launcher the demo operator hands out: a small window that shows the identity
// and key it was started with, as the real game's launcher would receive them.
#include <gtk/gtk.h>

#include <string>

int main(int argc, char** argv) {
    std::string arguments;
    for (int i = 1; i < argc; ++i)
        arguments += std::string(i > 1 ? "\n" : "") + argv[i];
    if (!gtk_init_check(&argc, &argv)) {
        g_print("Qarvelle demo launcher started with:\n%s\n", arguments.c_str());
        return 0;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Qarvelle — 演示启动器");
    gtk_window_set_default_size(GTK_WINDOW(window), 520, 200);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(box), 20);
    GtkWidget* heading = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(heading), "<big><b>游戏启动器（演示）</b></big>");
    GtkWidget* details = gtk_label_new(("启动参数：\n" + arguments).c_str());
    gtk_label_set_selectable(GTK_LABEL(details), TRUE);
    gtk_label_set_line_wrap(GTK_LABEL(details), TRUE);
    GtkWidget* close = gtk_button_new_with_label("关闭");
    g_signal_connect(close, "clicked", G_CALLBACK(gtk_main_quit), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_box_pack_start(GTK_BOX(box), heading, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), details, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(box), close, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
