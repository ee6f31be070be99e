#include "tests/support/Screen.h"

#include <gdk/gdk.h>

namespace testsupport {

bool ColoursNear(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -tolerance || d > tolerance) return false;
    }
    return true;
}

int Pixels::Count(uint32_t colour, int tolerance) const {
    int n = 0;
    for (uint32_t p : rgb)
        n += ColoursNear(p, colour, tolerance);
    return n;
}

Pixels ReadScreen(int x, int y, int width, int height) {
    Pixels pixels;
    GdkPixbuf* image =
        gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, width, height);
    if (!image) return pixels;
    pixels.width = gdk_pixbuf_get_width(image);
    pixels.height = gdk_pixbuf_get_height(image);
    const int stride = gdk_pixbuf_get_rowstride(image);
    const int channels = gdk_pixbuf_get_n_channels(image);
    const guchar* data = gdk_pixbuf_get_pixels(image);
    pixels.rgb.resize(static_cast<size_t>(pixels.width) * pixels.height);
    for (int row = 0; row < pixels.height; ++row) {
        for (int col = 0; col < pixels.width; ++col) {
            const guchar* p = data + row * stride + col * channels;
            pixels.rgb[static_cast<size_t>(row) * pixels.width + col] =
                (p[0] << 16) | (p[1] << 8) | p[2];
        }
    }
    g_object_unref(image);
    return pixels;
}

}  // namespace testsupport
