#pragma once
// Reading back what the X server shows. Needs GDK opened on the display (gtk_init or gdk_init).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// Whether two 0xRRGGBB colours differ by at most `tolerance` in every channel.
bool ColoursNear(uint32_t a, uint32_t b, int tolerance);

// A rectangle of the screen as read from the root window.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel, rows top to bottom
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
    // How many pixels lie within `tolerance` of `colour`.
    int Count(uint32_t colour, int tolerance) const;
};
Pixels ReadScreen(int x, int y, int width, int height);

}  // namespace testsupport
