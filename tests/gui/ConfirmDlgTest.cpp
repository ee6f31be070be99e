// The confirmation box under an X server: where clicks land, the keys, its place over its
// owner, and its white texts over the painted background.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <optional>

#include "platform/MainLoop.h"
#include "platform/Resource.h"
#include "tests/gui/GuiSupport.h"
#include "ui/ConfirmDlg.h"

using namespace platform;
using namespace guitest;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr int kNothing = -7;  // the box was still open

// Runs a confirmation box, lets `act` do something to it once it shows, and returns how it
// ended, or kNothing when it was still open half a second later.
int RunConfirm(std::function<void(CConfirmDlg&)> act) {
    CConfirmDlg dialog;
    guint start = 0, giveUp = 0;
    start = RunLater(
        [&] {
            start = 0;
            act(dialog);
            if (!dialog.m_hWnd) return;
            giveUp = RunLater(
                [&] {
                    giveUp = 0;
                    dialog.EndDialog(kNothing);
                },
                500);
        },
        300);
    const int result = dialog.DoModal();
    for (guint timer : {start, giveUp}) {  // neither may outlive this box
        if (timer) g_source_remove(timer);
    }
    return result;
}

// Clicks at a point of the box, where the X server has the box (not where it was asked to go).
void ClickAt(CConfirmDlg& dialog, int x, int y) {
    auto* window = reinterpret_cast<GtkWidget*>(dialog.m_hWnd);
    const RECT wanted = dialog.GetWindowRect();
    int left = 0, top = 0;
    SpinUntil([&] {
        if (!gtk_widget_get_mapped(window)) return false;
        ScreenOrigin(window, left, top);
        return left == wanted.left && top == wanted.top;
    });
    SpinFor(milliseconds(100));
    Xdotool({"mousemove", std::to_string(left + x), std::to_string(top + y), "click", "1"});
}

}  // namespace

TEST(ConfirmDlg, ClicksOnEitherImageOrItsWindowDecide) {
    const struct {
        int x, y, result;
    } cases[] = {
        {77, 85, IDOK},       // the OK image
        {125, 85, IDOK},      // between the images: still OK's window
        {177, 85, IDCANCEL},  // the Cancel image
        {240, 85, IDCANCEL},  // right of the Cancel image
        {20, 85, kNothing},   // left of OK
        {128, 50, kNothing},  // the question
        {77, 100, kNothing},  // below the buttons' band
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(RunConfirm([&](CConfirmDlg& d) { ClickAt(d, c.x, c.y); }), c.result);
    }
}

TEST(ConfirmDlg, EscapeAndClosingAreCancel) {
    EXPECT_EQ(RunConfirm([](CConfirmDlg& d) {
                  GiveFocus(reinterpret_cast<GtkWidget*>(d.m_hWnd));
                  Xdotool({"key", "Escape"});
              }),
              IDCANCEL);
    EXPECT_EQ(RunConfirm([](CConfirmDlg& d) { gtk_window_close(GTK_WINDOW(d.m_hWnd)); }), IDCANCEL);
}

TEST(ConfirmDlg, IsCentredOverItsOwnerAndExactlyItsSize) {
    CWnd owner;
    owner.CreateEx(0, u"owner", WS_POPUP, RECT{100, 120, 100 + 1334, 120 + 725}, nullptr);
    owner.ShowWindow(SW_SHOW);
    AfxSetMainWnd(&owner);
    std::optional<RECT> rect;
    int shownWidth = 0, shownHeight = 0;
    RunConfirm([&](CConfirmDlg& d) {
        rect = d.GetWindowRect();
        GdkWindow* window = gtk_widget_get_window(reinterpret_cast<GtkWidget*>(d.m_hWnd));
        shownWidth = gdk_window_get_width(window);
        shownHeight = gdk_window_get_height(window);
    });
    AfxSetMainWnd(nullptr);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->Width(), 256);
    EXPECT_EQ(rect->Height(), 110);
    EXPECT_EQ(shownWidth, 256) << "buttons reaching past the edge do not widen the box";
    EXPECT_EQ(shownHeight, 110);
    EXPECT_EQ(rect->left, 100 + (1334 - 256) / 2);
    EXPECT_EQ(rect->top, 120 + (725 - 110) / 2);
}

TEST(ConfirmDlg, TextsAreWhiteOverThePaintedBackgroundAndKeepTheirFont) {
    const std::unique_ptr<ResourceData> data = FindResource("BITMAP", 177);
    const std::unique_ptr<Image> background = Image::FromBytes(data->Bytes());
    std::optional<Pixels> title, question, titleAgain;
    std::u16string titleText, questionText;
    RunConfirm([&](CConfirmDlg& d) {
        const RECT r = d.GetWindowRect();
        title = ReadScreen(r.left + 79, r.top + 10, 100, 30);
        question = ReadScreen(r.left + 28, r.top + 34, 200, 36);
        titleText = d.m_stTitle.GetWindowText();
        questionText = d.m_stMessage.GetWindowText();
        // Covered by another window and shown again: the title is drawn the same.
        CWnd cover;
        cover.CreateEx(0, u"cover", WS_POPUP, r, nullptr);
        cover.ShowWindow(SW_SHOW);
        SpinFor(milliseconds(200));
        cover.DestroyWindow();
        SpinFor(milliseconds(300));
        titleAgain = ReadScreen(r.left + 79, r.top + 10, 100, 30);
    });
    EXPECT_EQ(titleText, u"关闭游戏");
    EXPECT_EQ(questionText, u"确定要退出游戏吗?");
    ASSERT_TRUE(title && question && titleAgain);
    const auto study = [&](const Pixels& p, int x0, int y0, int& white, int& backgroundShown) {
        white = backgroundShown = 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const uint32_t c = p.at(x, y);
                if (((c >> 16) & 0xFF) > 0xF0 && ((c >> 8) & 0xFF) > 0xF0 && (c & 0xFF) > 0xF0)
                    ++white;
                if (c == (background->PixelAt(x0 + x, y0 + y) & 0xFFFFFF)) ++backgroundShown;
            }
        }
    };
    int white, shown;
    study(*title, 79, 10, white, shown);
    EXPECT_GT(white, 40) << "the title is white";
    EXPECT_GT(shown, title->width * title->height / 2) << "and has no background of its own";
    study(*question, 28, 34, white, shown);
    EXPECT_GT(white, 60) << "the question is white";
    EXPECT_GT(shown, question->width * question->height / 2);
    EXPECT_EQ(titleAgain->rgb, title->rgb) << "repainted in the same font";
}
