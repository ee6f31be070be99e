// The image button under an X server: the frame shown for each pointer state, compared with the
// strip's own pixels; clicks; the unpainted part of a larger window.
#include <gtest/gtest.h>

#include "platform/Dialog.h"
#include "tests/gui/GuiSupport.h"
#include "ui/GdiPlusPng.h"
#include "ui/PngButton.h"

using namespace platform;
using namespace guitest;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr COLORREF kGreen = RGB(0x20, 0xA0, 0x40);
constexpr unsigned kButtonId = 1005;
constexpr int kSize = 54;  // strip 160: four 54 x 54 frames

// A window painted green, holding one image button, counting the clicks it reports.
class ButtonHost : public CWnd {
public:
    ButtonHost() : m_brush(kGreen) {
        CreateEx(0, u"buttons", WS_POPUP, RECT{100, 100, 500, 400}, nullptr);
        DialogItem item;
        item.id = kButtonId;
        item.windowClass = "button";
        item.style = WS_CHILD | WS_VISIBLE;
        item.rect = RECT{40, 40, 140, 140};
        button.CreateFromTemplateItem(item, this);
        ShowWindow(SW_SHOW);
    }
    bool OnCommand(unsigned id) override {
        if (id == kButtonId) ++clicks;
        return true;
    }
    HBRUSH OnCtlColor(CDC*, CWnd*, unsigned) override { return &m_brush; }

    CPngButton button;
    int clicks = 0;

private:
    CBrush m_brush;
};

// The screen colour of strip pixel (x, y) of `frame` composed over green.
uint32_t Expected(const Image& strip, int frame, int x, int y) {
    const uint32_t p = strip.PixelAt(x, frame * kSize + y), a = p >> 24;
    const auto channel = [&](int shift, uint32_t under) {
        return ((p >> shift) & 0xFF) + under * (255 - a) / 255;
    };
    return (channel(16, 0x20) << 16) | (channel(8, 0xA0) << 8) | channel(0, 0x40);
}

// Which frame the button shows, by comparing its pixels with each frame's; -1 for none.
int ShownFrame(const ButtonHost& host, const Image& strip) {
    int x, y;
    ScreenOrigin(reinterpret_cast<GtkWidget*>(host.button.m_hWnd), x, y);
    const Pixels shown = ReadScreen(x, y, kSize, kSize);
    if (shown.width != kSize) return -1;
    for (int frame = 0; frame < 4; ++frame) {
        bool same = true;
        for (int py = 4; py < kSize && same; py += 5) {
            for (int px = 4; px < kSize && same; px += 5)
                // Compositing rounds anti-aliased edges a little.
                same = ColoursNear(shown.at(px, py), Expected(strip, frame, px, py), 2);
        }
        if (same) return frame;
    }
    return -1;
}

void Pointer(const std::vector<std::string>& args) {
    Xdotool(args);
}

}  // namespace

TEST(PngButton, ShowsTheFrameOfEachPointerState) {
    ButtonHost host;
    ASSERT_TRUE(SpinUntil(
        [&] { return gtk_widget_get_mapped(reinterpret_cast<GtkWidget*>(host.m_hWnd)); }));
    EXPECT_TRUE(host.button.GetStyle() & BS_OWNERDRAW) << "a plain push button becomes owner-drawn";
    SpinFor(milliseconds(200));  // drawn before SetPngStrip: nothing, and no failure
    host.button.SetPngStrip(160);
    EXPECT_EQ(host.button.GetWindowRect().Width(), kSize);
    EXPECT_EQ(host.button.GetWindowRect().Height(), kSize);
    std::unique_ptr<Image> strip(LoadPngFromResource(160));
    const auto shows = [&](int frame) {
        return SpinUntil([&] { return ShownFrame(host, *strip) == frame; }, seconds(5));
    };

    int bx, by;
    ScreenOrigin(reinterpret_cast<GtkWidget*>(host.button.m_hWnd), bx, by);
    const std::string inX = std::to_string(bx + 27), inY = std::to_string(by + 27);
    const std::string outX = std::to_string(bx + 200), outY = std::to_string(by + 200);
    Pointer({"mousemove", outX, outY});
    EXPECT_TRUE(shows(0)) << "normal";
    Pointer({"mousemove", inX, inY});
    Pointer({"mousemove", std::to_string(bx + 28), inY});
    EXPECT_TRUE(shows(1)) << "hover after a rest";
    GdkWindow* buttonWindow =
        gtk_widget_get_window(reinterpret_cast<GtkWidget*>(host.button.m_hWnd));
    GdkCursor* cursor = gdk_window_get_cursor(buttonWindow);
    ASSERT_NE(cursor, nullptr) << "the hand cursor over the button";
    GdkCursor* hand = gdk_cursor_new_from_name(gdk_window_get_display(buttonWindow), "pointer");
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(gdk_cursor_get_surface(cursor, nullptr, nullptr) != nullptr,
              gdk_cursor_get_surface(hand, nullptr, nullptr) != nullptr);
    g_object_unref(hand);
    Pointer({"mousedown", "1"});
    EXPECT_TRUE(shows(2)) << "pressed while hovering";
    Pointer({"mouseup", "1"});
    EXPECT_TRUE(SpinUntil([&] { return host.clicks == 1; }));
    EXPECT_TRUE(shows(1));
    Pointer({"mousemove", outX, outY});
    EXPECT_TRUE(shows(0)) << "off the button";
    Pointer({"mousemove", inX, inY});
    Pointer({"mousemove", std::to_string(bx + 26), inY});
    EXPECT_TRUE(shows(1)) << "back on it";
    Pointer({"click", "--repeat", "2", "--delay", "80", "1"});
    EXPECT_TRUE(SpinUntil([&] { return host.clicks == 3; })) << "a double click is two clicks";
    EXPECT_NE(ShownFrame(host, *strip), 3);
}

TEST(PngButton, LargerWindowPaintsOnlyItsFrameButTakesClicksEverywhere) {
    ButtonHost host;
    host.button.SetPngStrip(162);  // 39 x 39 frames
    host.button.MoveWindow(40, 40, 39, 75);
    ASSERT_TRUE(SpinUntil([&] { return host.button.GetWindowRect().Height() == 75; }));
    SpinFor(milliseconds(300));
    int bx, by;
    ScreenOrigin(reinterpret_cast<GtkWidget*>(host.button.m_hWnd), bx, by);
    std::unique_ptr<Image> strip(LoadPngFromResource(162));
    const Pixels below = ReadScreen(bx, by + 40, 39, 35);
    for (uint32_t p : below.rgb)
        ASSERT_EQ(p, 0x20A040u) << "the unpainted part shows what lies beneath";
    const uint32_t centre = ReadScreen(bx + 19, by + 10, 1, 1).at(0, 0);
    EXPECT_EQ(centre, strip->PixelAt(19, 10) & 0xFFFFFF);
    Xdotool({"mousemove", std::to_string(bx + 19), std::to_string(by + 60), "click", "1"});
    EXPECT_TRUE(SpinUntil([&] { return host.clicks == 1; }));
}
