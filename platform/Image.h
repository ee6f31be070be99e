#pragma once
// Decoded pictures: premultiplied 32-bit ARGB pixels. GUI thread.

#include <cstdint>
#include <memory>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

namespace platform {

class Image {
public:
    // Decodes PNG bytes. Bytes that do not decode still give an image, of size 0 x 0, whose
    // status says so.
    static std::unique_ptr<Image> FromBytes(std::span<const uint8_t> bytes);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    bool Ok() const { return m_surface != nullptr; }
    int GetWidth() const;
    int GetHeight() const;
    // The pixel at (x, y) as 0xAARRGGBB, premultiplied; 0 outside the image.
    uint32_t PixelAt(int x, int y) const;

    cairo_surface_t* Surface() const { return m_surface; }

private:
    explicit Image(cairo_surface_t* surface) : m_surface(surface) {}
    cairo_surface_t* m_surface;  // null when the bytes did not decode
};

}  // namespace platform
