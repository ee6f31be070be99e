// Paints the program's art and writes it as PNG files into the directory given as argument:
// the backdrop (155), the round window buttons (160, 162), the OK and Cancel strips (175, 176),
// the dialog background (177) and the icon (128). Deterministic: the same output every run.
// Prints the backdrop's transparency figures.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBackdropWidth = 1334;
constexpr int kBackdropHeight = 725;
// Where the login panel puts the browser: must stay fully opaque.
constexpr int kBrowserLeft = 560, kBrowserTop = 177, kBrowserRight = 1191, kBrowserBottom = 623;

// A small deterministic generator, so that every run paints the same stars and grain.
class Random {
public:
    explicit Random(uint32_t seed) : m_state(seed) {}
    double Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (m_state & 0xFFFFFF) / double(0x1000000);
    }
    double Between(double low, double high) { return low + (high - low) * Next(); }

private:
    uint32_t m_state;
};

struct Rgb {
    double r, g, b;
};
Rgb Hex(uint32_t c) { return {((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0}; }
void Source(cairo_t* cr, Rgb c, double a = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }
void Stop(cairo_pattern_t* p, double at, Rgb c, double a = 1) {
    cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, a);
}

void Save(cairo_surface_t* surface, const std::string& dir, const char* name) {
    const std::string path = dir + "/" + name;
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Lays out text in a font and returns its layout, centred on (x, y) when drawn with ShowCentered.
PangoLayout* Text(cairo_t* cr, const char* text, const char* font) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* description = pango_font_description_from_string(font);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_text(layout, text, -1);
    return layout;
}

void PathCentered(cairo_t* cr, PangoLayout* layout, double x, double y) {
    int w, h;
    pango_layout_get_pixel_size(layout, &w, &h);
    cairo_move_to(cr, x - w / 2.0, y - h / 2.0);
    pango_cairo_layout_path(cr, layout);
}

// --- the backdrop ---

// The outline of the art: a wide stone tablet with cut corners, towers of a castle rising over
// its top on the left, and a crest over its top edge in the middle of the title.
void TabletPath(cairo_t* cr) {
    const double l = 100, t = 154, r = 1256, b = 658, cut = 36;
    cairo_new_path(cr);
    cairo_move_to(cr, l + cut, t);
    // Castle towers over the left part of the top edge.
    const double towers[][3] = {{140, 62, 40}, {196, 24, 36}, {248, 76, 50}, {312, 42, 30}, {360, 94, 38}};
    for (const auto& tower : towers) {
        const double x = tower[0], top = tower[1], width = tower[2];
        cairo_line_to(cr, x, t);
        cairo_line_to(cr, x, top + 26);
        // A pointed roof.
        cairo_line_to(cr, x - 4, top + 26);
        cairo_line_to(cr, x + width / 2, top - 20);
        cairo_line_to(cr, x + width + 4, top + 26);
        cairo_line_to(cr, x + width, top + 26);
        cairo_line_to(cr, x + width, t);
    }
    // The crest: a pointed arch over the middle of the top edge.
    cairo_line_to(cr, 560, t);
    cairo_curve_to(cr, 640, t - 10, 690, t - 70, 720, t - 96);
    cairo_curve_to(cr, 750, t - 70, 800, t - 10, 880, t);
    cairo_line_to(cr, r - cut, t);
    cairo_line_to(cr, r, t + cut);
    cairo_line_to(cr, r, b - cut);
    cairo_line_to(cr, r - cut, b);
    cairo_line_to(cr, l + cut, b);
    cairo_line_to(cr, l, b - cut);
    cairo_line_to(cr, l, t + cut);
    cairo_close_path(cr);
}

// A box blur of an A8 surface, in place; three passes come close to a Gaussian.
void BlurAlpha(cairo_surface_t* mask, int radius) {
    cairo_surface_flush(mask);
    const int w = cairo_image_surface_get_width(mask), h = cairo_image_surface_get_height(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    uint8_t* data = cairo_image_surface_get_data(mask);
    std::vector<int> line(std::max(w, h));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            int sum = 0;
            for (int x = -radius; x <= radius; ++x) sum += data[y * stride + std::clamp(x, 0, w - 1)];
            for (int x = 0; x < w; ++x) {
                line[x] = sum / (2 * radius + 1);
                sum += data[y * stride + std::min(x + radius + 1, w - 1)] - data[y * stride + std::max(x - radius, 0)];
            }
            for (int x = 0; x < w; ++x) data[y * stride + x] = static_cast<uint8_t>(line[x]);
        }
        for (int x = 0; x < w; ++x) {
            int sum = 0;
            for (int y = -radius; y <= radius; ++y) sum += data[std::clamp(y, 0, h - 1) * stride + x];
            for (int y = 0; y < h; ++y) {
                line[y] = sum / (2 * radius + 1);
                sum += data[std::min(y + radius + 1, h - 1) * stride + x] - data[std::max(y - radius, 0) * stride + x];
            }
            for (int y = 0; y < h; ++y) data[y * stride + x] = static_cast<uint8_t>(line[y]);
        }
    }
    cairo_surface_mark_dirty(mask);
}

void PaintSky(cairo_t* cr, Random& random) {
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 560);
    Stop(sky, 0, Hex(0x0b1026));
    Stop(sky, 0.45, Hex(0x23204a));
    Stop(sky, 0.75, Hex(0x6a3a5c));
    Stop(sky, 1, Hex(0xd9895a));
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    for (int i = 0; i < 420; ++i) {  // stars, thinning towards the horizon
        const double x = random.Between(0, kBackdropWidth), y = std::pow(random.Next(), 1.6) * 430;
        const double size = random.Next() < 0.06 ? random.Between(1.2, 2.0) : random.Between(0.4, 1.0);
        Source(cr, Hex(0xfff4dc), random.Between(0.35, 0.95) * (1 - y / 520));
        cairo_arc(cr, x, y, size, 0, 2 * kPi);
        cairo_fill(cr);
    }
    // The moon with its halo.
    cairo_pattern_t* halo = cairo_pattern_create_radial(455, 210, 30, 455, 210, 190);
    Stop(halo, 0, Hex(0xffe9c4), 0.45);
    Stop(halo, 1, Hex(0xffe9c4), 0);
    cairo_set_source(cr, halo);
    cairo_paint(cr);
    cairo_pattern_destroy(halo);
    cairo_pattern_t* moon = cairo_pattern_create_radial(445, 200, 4, 455, 210, 48);
    Stop(moon, 0, Hex(0xfffaf0));
    Stop(moon, 1, Hex(0xf1d9a8));
    cairo_set_source(cr, moon);
    cairo_arc(cr, 455, 210, 46, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(moon);
    Source(cr, Hex(0xd8bd8c), 0.35);  // craters
    const double craters[][3] = {{440, 195, 9}, {470, 220, 6}, {452, 232, 4}, {476, 196, 5}};
    for (const auto& c : craters) {
        cairo_arc(cr, c[0], c[1], c[2], 0, 2 * kPi);
        cairo_fill(cr);
    }
}

// One range of mountains: a jagged ridge from left to right, filled down to the bottom.
void Ridge(cairo_t* cr, Random& random, double base, double height, double step, Rgb top, Rgb bottom) {
    cairo_new_path(cr);
    cairo_move_to(cr, 0, kBackdropHeight);
    double y = base;
    for (double x = 0; x <= kBackdropWidth + step; x += step) {
        y = std::clamp(y + random.Between(-height, height), base - 2.2 * height, base + height);
        cairo_line_to(cr, x, y);
    }
    cairo_line_to(cr, kBackdropWidth, kBackdropHeight);
    cairo_close_path(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, base - 2 * height, 0, kBackdropHeight);
    Stop(fill, 0, top);
    Stop(fill, 1, bottom);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);
}

void PaintLandscape(cairo_t* cr, Random& random) {
    Ridge(cr, random, 470, 22, 18, Hex(0x4a3558), Hex(0x2a1f3d));
    Ridge(cr, random, 520, 26, 24, Hex(0x2f2442), Hex(0x1b1529));
    // The lake, reflecting the sky and the moon.
    cairo_pattern_t* lake = cairo_pattern_create_linear(0, 585, 0, 680);
    Stop(lake, 0, Hex(0x7b4c5e));
    Stop(lake, 1, Hex(0x141026));
    cairo_set_source(cr, lake);
    cairo_rectangle(cr, 0, 585, kBackdropWidth, 100);
    cairo_fill(cr);
    cairo_pattern_destroy(lake);
    for (int i = 0; i < 26; ++i) {
        Source(cr, Hex(0xffe3b0), 0.55 - i * 0.018);
        cairo_rectangle(cr, 455 - 30 + random.Between(-8, 8), 590 + i * 3.4, 60 - i * 1.6, 1.3);
        cairo_fill(cr);
    }
    Ridge(cr, random, 640, 14, 30, Hex(0x120d1e), Hex(0x07050d));
    // The castle on its cliff, left of the moon: keep, towers and lit windows.
    Source(cr, Hex(0x0d0a16));
    cairo_move_to(cr, 90, 600);
    cairo_curve_to(cr, 150, 520, 200, 500, 260, 470);
    cairo_line_to(cr, 330, 470);
    cairo_curve_to(cr, 360, 520, 380, 560, 420, 600);
    cairo_close_path(cr);
    cairo_fill(cr);
    const double keeps[][4] = {{196, 330, 46, 140}, {250, 380, 70, 92}, {160, 392, 30, 82}, {322, 402, 28, 70}};
    for (const auto& k : keeps) {
        cairo_rectangle(cr, k[0], k[1], k[2], k[3]);
        cairo_fill(cr);
        cairo_move_to(cr, k[0] - 4, k[1]);
        cairo_line_to(cr, k[0] + k[2] / 2, k[1] - k[2] * 1.1);
        cairo_line_to(cr, k[0] + k[2] + 4, k[1]);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    Source(cr, Hex(0xffb347), 0.9);
    const double windows[][2] = {{212, 360}, {224, 392}, {270, 400}, {290, 420}, {168, 420}, {330, 430}, {206, 428}};
    for (const auto& w : windows) {
        cairo_rectangle(cr, w[0], w[1], 4, 7);
        cairo_fill(cr);
    }
}

// The frame the login page sits in: a dark inset with a bronze rim.
void PaintPageFrame(cairo_t* cr) {
    const double l = kBrowserLeft - 14, t = kBrowserTop - 14, r = kBrowserRight + 14, b = kBrowserBottom + 14;
    Source(cr, Hex(0x000000), 0.45);
    cairo_rectangle(cr, l - 10, t - 6, r - l + 20, b - t + 22);
    cairo_fill(cr);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, t, 0, b);
    Stop(rim, 0, Hex(0xf3cf7a));
    Stop(rim, 0.5, Hex(0x9a6a2c));
    Stop(rim, 1, Hex(0x5a3a16));
    cairo_set_source(cr, rim);
    cairo_rectangle(cr, l, t, r - l, b - t);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    Source(cr, Hex(0x1a1210));
    cairo_rectangle(cr, l + 6, t + 6, r - l - 12, b - t - 12);
    cairo_fill(cr);
    Source(cr, Hex(0xd9ad5c), 0.8);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, l + 9.5, t + 9.5, r - l - 19, b - t - 19);
    cairo_stroke(cr);
    for (double x : {l, r}) {  // jewels at the corners
        for (double y : {t, b}) {
            cairo_pattern_t* gem = cairo_pattern_create_radial(x - 2, y - 2, 1, x, y, 9);
            Stop(gem, 0, Hex(0xffd2d2));
            Stop(gem, 0.4, Hex(0xc2202a));
            Stop(gem, 1, Hex(0x4a070c));
            cairo_set_source(cr, gem);
            cairo_arc(cr, x, y, 9, 0, 2 * kPi);
            cairo_fill(cr);
            cairo_pattern_destroy(gem);
        }
    }
}

// The tablet's bronze border, drawn along its outline.
void PaintBorder(cairo_t* cr) {
    TabletPath(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_line_width(cr, 14);
    cairo_pattern_t* bronze = cairo_pattern_create_linear(0, 20, 0, 690);
    Stop(bronze, 0, Hex(0xf6d98e));
    Stop(bronze, 0.35, Hex(0xb07d36));
    Stop(bronze, 0.7, Hex(0x7a4f1e));
    Stop(bronze, 1, Hex(0xc89548));
    cairo_set_source(cr, bronze);
    cairo_stroke_preserve(cr);
    cairo_pattern_destroy(bronze);
    cairo_set_line_width(cr, 2);
    Source(cr, Hex(0x3a2408), 0.9);
    cairo_stroke(cr);
}

void PaintTitle(cairo_t* cr) {
    // The crest above the title.
    cairo_pattern_t* crest = cairo_pattern_create_radial(720, 110, 4, 720, 110, 34);
    Stop(crest, 0, Hex(0xbfe8ff));
    Stop(crest, 0.5, Hex(0x2a78c8));
    Stop(crest, 1, Hex(0x0a1f4a));
    cairo_set_source(cr, crest);
    cairo_arc(cr, 720, 112, 26, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(crest);
    cairo_set_line_width(cr, 4);
    Source(cr, Hex(0xe8c170));
    cairo_arc(cr, 720, 112, 28, 0, 2 * kPi);
    cairo_stroke(cr);

    PangoLayout* title = Text(cr, "QARVELLE", "Liberation Serif Bold 54");
    pango_layout_set_spacing(title, 0);
    for (int glow = 14; glow > 0; glow -= 2) {  // a warm glow behind the letters
        PathCentered(cr, title, 318, 240);
        cairo_set_line_width(cr, glow);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        Source(cr, Hex(0xff9a3c), 0.05);
        cairo_stroke(cr);
    }
    PathCentered(cr, title, 318, 240);
    cairo_set_line_width(cr, 5);
    Source(cr, Hex(0x2a1506));
    cairo_stroke_preserve(cr);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, 205, 0, 275);
    Stop(gold, 0, Hex(0xfff3c2));
    Stop(gold, 0.45, Hex(0xf0c05a));
    Stop(gold, 0.55, Hex(0xb5781f));
    Stop(gold, 1, Hex(0xf6d27a));
    cairo_set_source(cr, gold);
    cairo_fill(cr);
    cairo_pattern_destroy(gold);
    g_object_unref(title);

    PangoLayout* subtitle = Text(cr, "星 辉 王 座 · 永 夜 征 途", "Noto Serif CJK SC Bold 17");
    PathCentered(cr, subtitle, 318, 296);
    cairo_set_line_width(cr, 3);
    Source(cr, Hex(0x1b0d04), 0.9);
    cairo_stroke_preserve(cr);
    Source(cr, Hex(0xf2dcae));
    cairo_fill(cr);
    g_object_unref(subtitle);
}

cairo_surface_t* Backdrop() {
    Random random(0x5eed1234);
    cairo_surface_t* art = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBackdropWidth, kBackdropHeight);
    cairo_t* cr = cairo_create(art);
    PaintSky(cr, random);
    PaintLandscape(cr, random);
    PaintPageFrame(cr);
    PaintBorder(cr);
    PaintTitle(cr);
    cairo_destroy(cr);

    // The shape: the tablet, feathered.
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kBackdropWidth, kBackdropHeight);
    cr = cairo_create(mask);
    TabletPath(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
    BlurAlpha(mask, 2);

    cairo_surface_t* result = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kBackdropWidth, kBackdropHeight);
    cr = cairo_create(result);
    cairo_set_source_surface(cr, art, 0, 0);
    cairo_mask_surface(cr, mask, 0, 0);
    // Night mist along the foot of the tablet: a soft band, thicker in a few drifts.
    cairo_pattern_t* band = cairo_pattern_create_linear(0, 650, 0, 690);
    Stop(band, 0, Hex(0xd6cdee), 0.32);
    Stop(band, 1, Hex(0xd6cdee), 0);
    cairo_set_source(cr, band);
    cairo_move_to(cr, 130, 650);
    cairo_curve_to(cr, 400, 640, 900, 640, 1226, 650);
    cairo_line_to(cr, 1210, 690);
    cairo_curve_to(cr, 900, 686, 400, 686, 146, 690);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_pattern_destroy(band);
    for (int i = 0; i < 7; ++i) {
        const double x = 200 + i * 160 + random.Between(-30, 30), y = 668 + random.Between(-3, 3);
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, 2.6, 1);
        cairo_pattern_t* drift = cairo_pattern_create_radial(0, 0, 1, 0, 0, 16);
        Stop(drift, 0, Hex(0xe2dbf4), 0.22);
        Stop(drift, 1, Hex(0xe2dbf4), 0);
        cairo_set_source(cr, drift);
        cairo_arc(cr, 0, 0, 16, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(drift);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(art);
    cairo_surface_destroy(mask);
    return result;
}

void ReportTransparency(cairo_surface_t* image) {
    cairo_surface_flush(image);
    const int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const uint8_t* data = cairo_image_surface_get_data(image);
    long clear = 0, partial = 0, browserNotOpaque = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t alpha = data[y * stride + x * 4 + 3];
            if (alpha == 0) ++clear;
            else if (alpha < 255) ++partial;
            const bool inBrowser = x >= kBrowserLeft && x < kBrowserRight && y >= kBrowserTop && y < kBrowserBottom;
            if (inBrowser && alpha != 255) ++browserNotOpaque;
        }
    }
    std::printf("backdrop: %.1f %% fully transparent, %.1f %% partly transparent, %ld non-opaque pixels under the browser\n",
                100.0 * clear / (w * h), 100.0 * partial / (w * h), browserNotOpaque);
}

// --- the buttons ---

enum Look { Normal, Brighter, Darker, Greyed };

void ApplyLook(cairo_t* cr, Look look, double x, double y, double w, double h) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    if (look == Brighter) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr, 1, 0.95, 0.8, 0.22);
        cairo_paint(cr);
    } else if (look == Darker) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr, 0.1, 0.05, 0, 0.35);
        cairo_paint(cr);
    } else if (look == Greyed) {
        // Grey and faded, pixel by pixel, so that transparent pixels stay transparent.
        cairo_surface_t* target = cairo_get_target(cr);
        cairo_surface_flush(target);
        const int stride = cairo_image_surface_get_stride(target);
        uint8_t* data = cairo_image_surface_get_data(target);
        for (int row = static_cast<int>(y); row < static_cast<int>(y + h); ++row) {
            for (int col = static_cast<int>(x); col < static_cast<int>(x + w); ++col) {
                uint8_t* p = data + row * stride + col * 4;
                const int grey = (p[0] * 11 + p[1] * 59 + p[2] * 30) / 100;
                const int faded = (grey * 3 + p[3] * 128 / 255) / 4;  // towards mid-grey
                p[0] = p[1] = p[2] = static_cast<uint8_t>(std::min<int>(faded, p[3]));
            }
        }
        cairo_surface_mark_dirty(target);
    }
    cairo_restore(cr);
}

// A round bronze button with a symbol, four frames stacked.
cairo_surface_t* RoundButton(int size, bool cross) {
    cairo_surface_t* strip = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size * 4);
    cairo_t* cr = cairo_create(strip);
    const double c = size / 2.0, radius = size / 2.0 - 1;
    for (int frame = 0; frame < 4; ++frame) {
        const double cy = frame * size + c;
        cairo_pattern_t* rim = cairo_pattern_create_linear(0, cy - radius, 0, cy + radius);
        Stop(rim, 0, Hex(0xfbe3a0));
        Stop(rim, 0.5, Hex(0xa8722e));
        Stop(rim, 1, Hex(0x5c3810));
        cairo_set_source(cr, rim);
        cairo_arc(cr, c, cy, radius, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(rim);
        const double inner = radius * 0.78;
        cairo_pattern_t* face = cairo_pattern_create_radial(c - inner * 0.3, cy - inner * 0.4, 1, c, cy, inner);
        Stop(face, 0, Hex(0xe3a85a));
        Stop(face, 0.6, Hex(0x8c5520));
        Stop(face, 1, Hex(0x4a2a0c));
        cairo_set_source(cr, face);
        cairo_arc(cr, c, cy, inner, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(face);
        // The symbol, engraved: a dark cut with a light lower edge.
        const double s = inner * 0.48;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (int pass = 0; pass < 2; ++pass) {
            cairo_new_path(cr);
            const double dy = pass == 0 ? 1 : 0;
            if (cross) {
                cairo_move_to(cr, c - s, cy - s + dy);
                cairo_line_to(cr, c + s, cy + s + dy);
                cairo_move_to(cr, c + s, cy - s + dy);
                cairo_line_to(cr, c - s, cy + s + dy);
            } else {
                cairo_move_to(cr, c - s, cy + dy);
                cairo_line_to(cr, c + s, cy + dy);
            }
            cairo_set_line_width(cr, size * 0.11);
            if (pass == 0) {
                Source(cr, Hex(0xffe6b0), 0.7);
            } else {
                Source(cr, Hex(0x2a1404));
            }
            cairo_stroke(cr);
        }
        ApplyLook(cr, static_cast<Look>(frame), 0, frame * size, size, size);
    }
    cairo_destroy(cr);
    return strip;
}

// A lacquered plaque with a label, four frames stacked, no alpha.
cairo_surface_t* Plaque(const char* label, Rgb lacquer) {
    const int w = 74, h = 26;
    cairo_surface_t* strip = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h * 4);
    cairo_t* cr = cairo_create(strip);
    for (int frame = 0; frame < 4; ++frame) {
        const double top = frame * h;
        Source(cr, Hex(0x2b1a0e));
        cairo_rectangle(cr, 0, top, w, h);
        cairo_fill(cr);
        cairo_pattern_t* rim = cairo_pattern_create_linear(0, top, 0, top + h);
        Stop(rim, 0, Hex(0xf4d488));
        Stop(rim, 1, Hex(0x7a4c1a));
        cairo_set_source(cr, rim);
        cairo_rectangle(cr, 1, top + 1, w - 2, h - 2);
        cairo_fill(cr);
        cairo_pattern_destroy(rim);
        cairo_pattern_t* face = cairo_pattern_create_linear(0, top + 3, 0, top + h - 3);
        Stop(face, 0, {lacquer.r * 1.3, lacquer.g * 1.3, lacquer.b * 1.3});
        Stop(face, 1, {lacquer.r * 0.6, lacquer.g * 0.6, lacquer.b * 0.6});
        cairo_set_source(cr, face);
        cairo_rectangle(cr, 3, top + 3, w - 6, h - 6);
        cairo_fill(cr);
        cairo_pattern_destroy(face);
        PangoLayout* text = Text(cr, label, "Noto Sans CJK SC Bold 11");
        PathCentered(cr, text, w / 2.0, top + h / 2.0);
        cairo_set_line_width(cr, 2.5);
        Source(cr, Hex(0x1e0d04), 0.8);
        cairo_stroke_preserve(cr);
        Source(cr, Hex(0xffe9b8));
        cairo_fill(cr);
        g_object_unref(text);
        ApplyLook(cr, static_cast<Look>(frame), 0, top, w, h);
    }
    cairo_destroy(cr);
    return strip;
}

// The confirmation dialog's background: dark brown, a fine grain, light ornamental corners.
cairo_surface_t* DialogBackground() {
    const int w = 256, h = 110;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(image);
    cairo_pattern_t* wood = cairo_pattern_create_linear(0, 0, 0, h);
    Stop(wood, 0, Hex(0x4a2e1c));
    Stop(wood, 1, Hex(0x2a170c));
    cairo_set_source(cr, wood);
    cairo_paint(cr);
    cairo_pattern_destroy(wood);
    Random random(77);
    for (int i = 0; i < 900; ++i) {
        Source(cr, random.Next() < 0.5 ? Hex(0x000000) : Hex(0x7a5233), 0.12);
        cairo_rectangle(cr, random.Between(0, w), random.Between(0, h), random.Between(2, 14), 1);
        cairo_fill(cr);
    }
    Source(cr, Hex(0xc9a56a), 0.8);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 3.5, 3.5, w - 7, h - 7);
    cairo_stroke(cr);
    Source(cr, Hex(0xf0d9a8));
    for (int corner = 0; corner < 4; ++corner) {
        cairo_save(cr);
        cairo_translate(cr, corner % 2 ? w - 0.5 : 0.5, corner / 2 ? h - 0.5 : 0.5);
        cairo_scale(cr, corner % 2 ? -1 : 1, corner / 2 ? -1 : 1);
        cairo_set_line_width(cr, 1.2);
        cairo_move_to(cr, 7, 26);
        cairo_line_to(cr, 7, 7);
        cairo_line_to(cr, 26, 7);
        cairo_stroke(cr);
        cairo_move_to(cr, 11, 18);
        cairo_curve_to(cr, 11, 12, 12, 11, 18, 11);
        cairo_stroke(cr);
        cairo_move_to(cr, 7, 2);
        cairo_line_to(cr, 12, 7);
        cairo_line_to(cr, 7, 12);
        cairo_line_to(cr, 2, 7);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    return image;
}

// The icon: a sapphire set in a gold ring, with the Q of the title.
cairo_surface_t* Icon() {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64);
    cairo_t* cr = cairo_create(image);
    cairo_pattern_t* ring = cairo_pattern_create_linear(0, 2, 0, 62);
    Stop(ring, 0, Hex(0xfff0b8));
    Stop(ring, 0.5, Hex(0xc08a38));
    Stop(ring, 1, Hex(0x6a4010));
    cairo_set_source(cr, ring);
    cairo_arc(cr, 32, 32, 30, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);
    cairo_pattern_t* gem = cairo_pattern_create_radial(24, 22, 2, 32, 32, 25);
    Stop(gem, 0, Hex(0xd8f0ff));
    Stop(gem, 0.35, Hex(0x3a8ee0));
    Stop(gem, 1, Hex(0x0b1f52));
    cairo_set_source(cr, gem);
    cairo_arc(cr, 32, 32, 24, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(gem);
    PangoLayout* q = Text(cr, "Q", "Liberation Serif Bold 30");
    PathCentered(cr, q, 32, 32);
    cairo_set_line_width(cr, 3);
    Source(cr, Hex(0x1a0f02));
    cairo_stroke_preserve(cr);
    Source(cr, Hex(0xffdf8a));
    cairo_fill(cr);
    g_object_unref(q);
    cairo_destroy(cr);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTPUT-DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    cairo_surface_t* backdrop = Backdrop();
    ReportTransparency(backdrop);
    const struct {
        cairo_surface_t* image;
        const char* name;
    } outputs[] = {
        {backdrop, "backdrop-155.png"},
        {RoundButton(54, true), "close-160.png"},
        {RoundButton(39, false), "minimise-162.png"},
        {Plaque("确定", Hex(0x8a2a1a)), "ok-175.png"},
        {Plaque("取消", Hex(0x3a3a4a)), "cancel-176.png"},
        {DialogBackground(), "dialog-177.png"},
        {Icon(), "icon-128.png"},
    };
    for (const auto& output : outputs) {
        Save(output.image, dir, output.name);
        cairo_surface_destroy(output.image);
    }
    return 0;
}
