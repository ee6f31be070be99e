#include "platform/Image.h"

#include <cairo.h>

#include <cstring>

namespace platform {
namespace {

struct ByteReader {
    std::span<const uint8_t> bytes;
    size_t at = 0;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<ByteReader*>(closure);
    if (reader->bytes.size() - reader->at < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes.data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::unique_ptr<Image> Image::FromBytes(std::span<const uint8_t> bytes) {
    ByteReader reader{bytes};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(&ReadBytes, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return std::unique_ptr<Image>(new Image(nullptr));
    }
    // One pixel format for every image: 32-bit with alpha (opaque art gets alpha 255).
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        cairo_surface_t* converted =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(surface),
                                       cairo_image_surface_get_height(surface));
        cairo_t* cr = cairo_create(converted);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        surface = converted;
    }
    cairo_surface_flush(surface);
    return std::unique_ptr<Image>(new Image(surface));
}

Image::~Image() {
    if (m_surface) cairo_surface_destroy(m_surface);
}

int Image::GetWidth() const {
    return m_surface ? cairo_image_surface_get_width(m_surface) : 0;
}

int Image::GetHeight() const {
    return m_surface ? cairo_image_surface_get_height(m_surface) : 0;
}

uint32_t Image::PixelAt(int x, int y) const {
    if (!m_surface || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return 0;
    const unsigned char* row =
        cairo_image_surface_get_data(m_surface) + y * cairo_image_surface_get_stride(m_surface);
    uint32_t pixel;
    std::memcpy(&pixel, row + x * 4, 4);
    return pixel;
}

}  // namespace platform
