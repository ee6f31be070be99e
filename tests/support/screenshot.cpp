// Writes the whole X screen to a PNG file: screenshot OUTPUT.png
#include <gdk/gdk.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2 || !gdk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png (with a display)\n");
        return 2;
    }
    GdkWindow* root = gdk_get_default_root_window();
    GdkPixbuf* image = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                  gdk_window_get_height(root));
    const bool saved = image && gdk_pixbuf_save(image, argv[1], "png", nullptr, nullptr);
    if (image) g_object_unref(image);
    return saved ? 0 : 1;
}
