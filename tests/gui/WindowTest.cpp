// The window layer with real windows under an X server: layered windows by alpha and by colour
// key, dragging by HTCAPTION, modal runs and their endings, message boxes and the quit request.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>

#include "app/LoginApp.h"
#include "login/ScriptBridge.h"
#include "platform/Button.h"
#include "platform/Dialog.h"
#include "platform/MainLoop.h"
#include "platform/MessageBox.h"
#include "tests/gui/GuiSupport.h"
#include "ui/GdiPlusPng.h"
#include "ui/LoginActiveDlg.h"
#include "ui/LoginDlg.h"

using namespace platform;
using namespace guitest;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr COLORREF kGreen = RGB(0x20, 0xA0, 0x40);
constexpr COLORREF kYellow = RGB(0xFF, 0xFF, 0x00);
constexpr COLORREF kRed = RGB(0xD0, 0x10, 0x10);
uint32_t Rgb(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// A plain top-level window painted in one colour that records the points it was hit at.
class RecordingWindow : public CWnd {
public:
    RecordingWindow(COLORREF color, const RECT& rect, unsigned hit = HTCLIENT)
        : m_brush(color), m_hit(hit) {
        CreateEx(0, u"recording", WS_POPUP, rect, nullptr);
        ShowWindow(SW_SHOW);
    }
    unsigned OnNcHitTest(POINT point) override {
        hits.push_back(point);
        return m_hit;
    }
    void OnMove(int x, int y) override { moves.push_back({x, y}); }
    HBRUSH OnCtlColor(CDC*, CWnd*, unsigned) override { return &m_brush; }

    std::vector<POINT> hits, moves;

private:
    CBrush m_brush;
    unsigned m_hit;
};

// A child that paints itself in one colour.
class PaintedChild : public CWnd {
public:
    PaintedChild(CWnd& parent, const RECT& rect, COLORREF color) : m_color(color) {
        DialogItem item;
        item.windowClass = "static";
        item.style = WS_CHILD | WS_VISIBLE;
        item.rect = rect;
        CreateFromTemplateItem(item, &parent);
    }
    void OnPaint(CDC& dc) override { dc.FillSolidRect(GetClientRect(), m_color); }

private:
    COLORREF m_color;
};

void Click(int x, int y) {
    Xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

uint32_t ScreenPixel(int x, int y) {
    return ReadScreen(x, y, 1, 1).at(0, 0);
}

// Waits until the screen shows `rgb` at the point.
bool ShowsAt(int x, int y, uint32_t rgb) {
    return SpinUntil([&] { return ScreenPixel(x, y) == rgb; }, seconds(5));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ResetQuitRequestForTesting(); }
    void TearDown() override {
        ResetQuitRequestForTesting();
        SetMessageBoxPresenter(nullptr);
    }
};

}  // namespace

TEST_F(WindowTest, LayeredWindowFromTheArtShowsAndTakesClicksByAlpha) {
    RecordingWindow beneath(kGreen, RECT{0, 0, 1600, 1000});
    ASSERT_TRUE(ShowsAt(50, 50, Rgb(kGreen)));
    RecordingWindow art(0, RECT{0, 0, 100, 100});
    CLayeredPng layered;
    layered.m_hWnd = art.m_hWnd;
    layered.UpdateLayered();  // nothing loaded: nothing changes, not even the style
    EXPECT_FALSE(art.GetExStyle() & WS_EX_LAYERED);
    ASSERT_TRUE(layered.m_image.Load(155));
    art.MoveWindow(100, 80, 10, 10);
    layered.UpdateLayered();
    EXPECT_TRUE(art.GetExStyle() & WS_EX_LAYERED);
    ASSERT_TRUE(SpinUntil([&] {
        const RECT r = art.GetWindowRect();
        return r.left == 100 && r.top == 80 && r.Width() == 1334 && r.Height() == 725;
    }));

    const Image& image = *layered.m_image.m_pImage;
    const POINT clear{10, 10}, opaque{700, 300};
    ASSERT_EQ(image.PixelAt(clear.x, clear.y) >> 24, 0u);
    ASSERT_EQ(image.PixelAt(opaque.x, opaque.y) >> 24, 255u);
    EXPECT_TRUE(
        ShowsAt(100 + opaque.x, 80 + opaque.y, image.PixelAt(opaque.x, opaque.y) & 0xFFFFFF));
    EXPECT_TRUE(ShowsAt(100 + clear.x, 80 + clear.y, Rgb(kGreen)));

    Click(100 + clear.x, 80 + clear.y);
    EXPECT_TRUE(SpinUntil([&] { return beneath.hits.size() == 1; }));
    EXPECT_TRUE(art.hits.empty());
    Click(100 + opaque.x, 80 + opaque.y);
    EXPECT_TRUE(SpinUntil([&] { return art.hits.size() == 1; }));
    EXPECT_EQ(beneath.hits.size(), 1u);
}

TEST_F(WindowTest, ColourKeyedPixelsVanishAndLetClicksThrough) {
    RecordingWindow beneath(kGreen, RECT{0, 0, 1600, 1000});
    RecordingWindow keyed(kYellow, RECT{200, 200, 600, 500});
    PaintedChild child(keyed, RECT{100, 100, 200, 180}, kRed);
    ASSERT_TRUE(ShowsAt(250, 250, Rgb(kYellow)));  // not keyed yet: the key colour shows

    CLayeredPng layered;
    layered.m_hWnd = keyed.m_hWnd;
    layered.SetColorKey(kYellow);
    EXPECT_TRUE(keyed.GetExStyle() & WS_EX_LAYERED);
    EXPECT_TRUE(ShowsAt(250, 250, Rgb(kGreen)));
    EXPECT_TRUE(ShowsAt(350, 340, Rgb(kRed)));

    Click(250, 250);
    EXPECT_TRUE(SpinUntil([&] { return beneath.hits.size() == 1; }));
    EXPECT_TRUE(keyed.hits.empty());
    Click(350, 340);
    EXPECT_TRUE(SpinUntil([&] { return keyed.hits.size() == 1; }));
    EXPECT_EQ(beneath.hits.size(), 1u);
}

namespace {

// A transparent owner-drawn button that paints only its top half.
class HalfPaintedButton : public CButton {
public:
    HalfPaintedButton(CWnd& parent, const RECT& rect) {
        DialogItem item;
        item.id = 77;
        item.windowClass = "button";
        item.style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
        item.exStyle = WS_EX_TRANSPARENT;
        item.rect = rect;
        CreateFromTemplateItem(item, &parent);
    }
    void DrawItem(DRAWITEMSTRUCT* item) override {
        const RECT r = item->rcItem;
        item->pDC->FillSolidRect(RECT{r.left, r.top, r.right, r.top + r.Height() / 2}, kRed);
    }
};

// A keyed window counting the commands of its children.
class CommandWindow : public RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    bool OnCommand(unsigned) override {
        ++commands;
        return true;
    }
    int commands = 0;
};

}  // namespace

TEST_F(WindowTest, TransparentChildOfAKeyedWindowShowsAndTakesClicksOnlyWhereItPaints) {
    RecordingWindow beneath(kGreen, RECT{0, 0, 1600, 1000});
    CommandWindow keyed(kYellow, RECT{200, 200, 600, 500});
    HalfPaintedButton button(keyed, RECT{100, 100, 140, 180});
    CLayeredPng layered;
    layered.m_hWnd = keyed.m_hWnd;
    layered.SetColorKey(kYellow);
    EXPECT_TRUE(ShowsAt(320, 310, Rgb(kRed)));    // the painted half
    EXPECT_TRUE(ShowsAt(320, 370, Rgb(kGreen)));  // the unpainted half shows what lies beneath

    Click(320, 370);
    EXPECT_TRUE(SpinUntil([&] { return beneath.hits.size() == 1; }));
    Click(320, 310);
    EXPECT_TRUE(SpinUntil([&] { return keyed.commands == 1; }));
    EXPECT_EQ(beneath.hits.size(), 1u);
}

TEST_F(WindowTest, CaptionHitDragsTheWindowWithThePointer) {
    RecordingWindow window(kGreen, RECT{300, 200, 700, 500}, HTCAPTION);
    ASSERT_TRUE(ShowsAt(400, 300, Rgb(kGreen)));
    Xdotool({"mousemove", "400", "300", "mousedown", "1"});
    for (int step = 1; step <= 6; ++step) {
        Xdotool({"mousemove", std::to_string(400 + step * 20), std::to_string(300 + step * 12)});
        SpinFor(milliseconds(30));
    }
    Xdotool({"mouseup", "1"});
    EXPECT_TRUE(SpinUntil([&] {
        const RECT r = window.GetWindowRect();
        return r.left == 420 && r.top == 272;
    }));
    ASSERT_FALSE(window.moves.empty());
    EXPECT_EQ(window.moves.back().x, 420);
    EXPECT_EQ(window.moves.back().y, 272);
    EXPECT_GE(window.moves.size(), 2u);  // each step reaches OnMove, not just the last
}

TEST_F(WindowTest, MessageBoxesNeverShowWhileAQuitIsPending) {
    const auto dialogShowing = [] {
        GList* windows = gtk_window_list_toplevels();
        bool showing = false;
        for (GList* w = windows; w; w = w->next) {
            showing |= GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data));
        }
        g_list_free(windows);
        return showing;
    };
    // Open: a quit posted meanwhile closes it.
    std::atomic_bool seen{false};
    struct Probe {
        std::function<bool()> showing;
        std::atomic_bool* seen;
    } probe{dialogShowing, &seen};
    const guint timer = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Probe*>(data);
            if (!p->showing()) return G_SOURCE_CONTINUE;
            *p->seen = true;
            PostQuitMessage(16);
            return G_SOURCE_REMOVE;
        },
        &probe);
    EXPECT_EQ(MessageBoxW(nullptr, u"一条消息", u"标题", MB_OK), IDOK);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(dialogShowing());
    g_source_remove(timer);
    // Opened while the quit is pending: never shown at all.
    EXPECT_EQ(MessageBoxW(nullptr, u"another", u"caption", MB_OK), IDOK);
    SpinFor(milliseconds(200));
    EXPECT_FALSE(dialogShowing());
}

namespace {

// A dialog on the backdrop's template that ends as a test says.
class EndingDialog : public CDialog {
public:
    explicit EndingDialog(unsigned id, std::function<void(EndingDialog&)> onInit)
        : CDialog(id), m_onInit(std::move(onInit)) {}
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        m_onInit(*this);
        return true;
    }

private:
    std::function<void(EndingDialog&)> m_onInit;
};

}  // namespace

TEST_F(WindowTest, ModalRunsEndByEndDialogByClosingOrByAQuit) {
    std::vector<std::u16string> boxes;
    SetMessageBoxPresenter(
        [&](CWnd*, const std::u16string& text, const std::u16string& caption, unsigned) {
            boxes.push_back(caption + u"|" + text);
            return IDOK;
        });
    const std::u16string startFailed =
        std::u16string(kStartFailedCaption) + u"|" + kStartFailedText;

    EndingDialog ended(102, [](EndingDialog& d) { RunLater([&d] { d.EndDialog(7); }); });
    EXPECT_EQ(theApp.RunMainWindow(ended), 7);
    EXPECT_EQ(ended.m_hWnd, nullptr);  // the run destroys its window

    EndingDialog closed(
        102, [](EndingDialog& d) { RunLater([&d] { gtk_window_close(GTK_WINDOW(d.m_hWnd)); }); });
    EXPECT_EQ(theApp.RunMainWindow(closed), IDCANCEL);  // a dialog's close is its Cancel

    EndingDialog quit(102, [](EndingDialog&) { RunLater([] { PostQuitMessage(16); }); });
    EXPECT_EQ(theApp.RunMainWindow(quit), -1);
    EXPECT_EQ(PostedQuitCode(), 16);
    EXPECT_TRUE(boxes.empty()) << "after a posted quit the start-failure box is never seen";
    ResetQuitRequestForTesting();

    EndingDialog missing(4242,
                         [](EndingDialog&) { ADD_FAILURE() << "a missing template never runs"; });
    EXPECT_EQ(theApp.RunMainWindow(missing), -1);
    EXPECT_EQ(boxes, std::vector<std::u16string>{startFailed});
}

TEST_F(WindowTest, BackdropIsTheArtCentredWithThePanelOverIt) {
    std::optional<RECT> backdropRect, panelRect;
    bool layered = false, keyed = false, hasIcon = false;
    std::string title;
    CLoginDlg backdrop;
    RunLater([&] {
        backdropRect = backdrop.GetWindowRect();
        title = gtk_window_get_title(GTK_WINDOW(backdrop.m_hWnd));
        hasIcon = gtk_window_get_icon(GTK_WINDOW(backdrop.m_hWnd)) != nullptr;
        if (backdrop.m_pLoginActiveDlg) {
            panelRect = backdrop.m_pLoginActiveDlg->GetWindowRect();
            keyed = backdrop.m_pLoginActiveDlg->GetExStyle() & WS_EX_LAYERED;
        }
        layered = backdrop.GetExStyle() & WS_EX_LAYERED;
        gtk_window_close(GTK_WINDOW(backdrop.m_hWnd));
    });
    EXPECT_EQ(backdrop.DoModal(), 1);  // the backdrop's close ends its run with 1
    ASSERT_TRUE(backdropRect && panelRect);
    EXPECT_EQ(backdropRect->Width(), 1334);
    EXPECT_EQ(backdropRect->Height(), 725);
    EXPECT_EQ(backdropRect->left, (1600 - 1334) / 2);
    EXPECT_EQ(backdropRect->top, (1000 - 725) / 2);
    EXPECT_EQ(panelRect->left, backdropRect->left);
    EXPECT_EQ(panelRect->top, backdropRect->top);
    EXPECT_EQ(panelRect->Width(), 1334);
    EXPECT_TRUE(layered);
    EXPECT_TRUE(keyed);
    EXPECT_EQ(title, "Qarvelle");
    EXPECT_TRUE(hasIcon) << "what the window manager shows for the minimised backdrop";
    ASSERT_NE(backdrop.m_pLoginActiveDlg, nullptr);
    EXPECT_EQ(backdrop.m_pLoginActiveDlg->m_hWnd, nullptr) << "the owned panel goes with its owner";
    delete backdrop.m_pLoginActiveDlg;
    backdrop.m_pLoginActiveDlg = nullptr;
    theApp.m_pScriptBridge->m_pOwner = nullptr;
}

TEST_F(WindowTest, EnterAndEscapeAreOkAndCancel) {
    for (const auto& [key, result] : {std::pair{"Return", IDOK}, std::pair{"Escape", IDCANCEL}}) {
        SCOPED_TRACE(key);
        EndingDialog dialog(102, [key = std::string(key)](EndingDialog& d) {
            RunLater([&d, key] {
                GiveFocus(reinterpret_cast<GtkWidget*>(d.m_hWnd));
                Xdotool({"key", key});
            });
        });
        EXPECT_EQ(dialog.DoModal(), result);
    }
    // The backdrop takes neither: its run goes on until it is closed.
    CLoginDlg backdrop;
    bool stillRunning = false;
    RunLater([&] {
        GiveFocus(reinterpret_cast<GtkWidget*>(backdrop.m_hWnd));
        Xdotool({"key", "Return"});
        Xdotool({"key", "Escape"});
        SpinFor(milliseconds(300));
        stillRunning = backdrop.m_hWnd != nullptr;
        gtk_window_close(GTK_WINDOW(backdrop.m_hWnd));
    });
    EXPECT_EQ(backdrop.DoModal(), 1);
    EXPECT_TRUE(stillRunning);
    delete backdrop.m_pLoginActiveDlg;
    backdrop.m_pLoginActiveDlg = nullptr;
    theApp.m_pScriptBridge->m_pOwner = nullptr;
}

TEST_F(WindowTest, ButtonClicksReachTheirDialogAsCommands) {
    class Buttons : public CDialog {
    public:
        Buttons() : CDialog(172) {}
        void DoDataExchange(CDataExchange* pDX) override {
            DDX_Control(pDX, 1008, ok);
            DDX_Control(pDX, 1009, cancel);
        }
        bool OnInitDialog() override {
            ok.MoveWindow(20, 20, 100, 30);
            cancel.MoveWindow(140, 20, 100, 30);
            return true;
        }
        bool OnCommand(unsigned id) override {
            commands.push_back(id);
            return true;
        }
        CButton ok, cancel;
        std::vector<unsigned> commands;
    } dialog;
    std::optional<std::vector<unsigned>> seen;
    RunLater([&] {
        SpinFor(milliseconds(200));
        int x, y;
        ScreenOrigin(reinterpret_cast<GtkWidget*>(dialog.ok.m_hWnd), x, y);
        Click(x + 50, y + 15);  // one click
        Xdotool({"mousemove", std::to_string(x + 170), std::to_string(y + 15), "click", "--repeat",
                 "2", "--delay", "80", "1"});  // a double click
        Xdotool({"mousemove", std::to_string(x + 50), std::to_string(y + 15), "mousedown", "1"});
        Xdotool({"mousemove", std::to_string(x + 50), std::to_string(y + 200), "mouseup",
                 "1"});  // let go outside
        SpinFor(milliseconds(300));
        seen = dialog.commands;
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, (std::vector<unsigned>{1008, 1009, 1009}));
}

TEST_F(WindowTest, PartlyTransparentArtBlendsWhereACompositorRuns) {
    GPid compositor = 0;
    gchar* argv[] = {const_cast<gchar*>("xcompmgr"), const_cast<gchar*>("-n"), nullptr};
    ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                              &compositor, nullptr));
    ASSERT_TRUE(
        SpinUntil([] { return gdk_screen_is_composited(gdk_screen_get_default()); }, seconds(10)));

    RecordingWindow beneath(kGreen, RECT{0, 0, 1600, 1000});
    RecordingWindow art(0, RECT{100, 80, 200, 200});
    CLayeredPng layered;
    layered.m_hWnd = art.m_hWnd;
    ASSERT_TRUE(layered.m_image.Load(155));
    layered.UpdateLayered();
    const Image& image = *layered.m_image.m_pImage;
    POINT soft{-1, -1};  // a pixel of the mist along the art's foot
    for (int y = 640; y < 725 && soft.x < 0; ++y) {
        for (int x = 200; x < 1100 && soft.x < 0; x += 7) {
            const uint32_t alpha = image.PixelAt(x, y) >> 24;
            if (alpha > 40 && alpha < 120) soft = {x, y};
        }
    }
    ASSERT_GE(soft.x, 0);
    const uint32_t pixel = image.PixelAt(soft.x, soft.y), alpha = pixel >> 24;
    const auto blended = [&](int shift, uint32_t under) {
        return ((pixel >> shift) & 0xFF) + under * (255 - alpha) / 255;
    };
    const uint32_t expected =
        (blended(16, 0x20) << 16) | (blended(8, 0xA0) << 8) | blended(0, 0x40);
    const auto close = [&](uint32_t got) { return ColoursNear(got, expected, 3); };
    EXPECT_TRUE(
        SpinUntil([&] { return close(ScreenPixel(100 + soft.x, 80 + soft.y)); }, seconds(5)))
        << std::hex << "got " << ScreenPixel(100 + soft.x, 80 + soft.y) << ", expected about "
        << expected;
    kill(compositor, SIGTERM);
    g_spawn_close_pid(compositor);
}

TEST_F(WindowTest, ProgramRunEndsByQuitOrCloseAndTearsDownPanelBridgeBackdrop) {
    std::vector<std::u16string> boxes;
    SetMessageBoxPresenter([&](CWnd*, const std::u16string& text, const std::u16string&, unsigned) {
        boxes.push_back(text);
        return IDOK;
    });
    CImpIDispatch* const testsBridge = theApp.m_pScriptBridge;
    const auto endAfterStart = [](std::function<void(CLoginDlg&)> end) {
        g_timeout_add(
            700,
            [](gpointer data) -> gboolean {
                std::unique_ptr<std::function<void(CLoginDlg&)>> e(
                    static_cast<std::function<void(CLoginDlg&)>*>(data));
                if (auto* main = dynamic_cast<CLoginDlg*>(theApp.m_pMainWnd)) (*e)(*main);
                return G_SOURCE_REMOVE;
            },
            new std::function<void(CLoginDlg&)>(std::move(end)));
    };

    // A posted quit: the run ends, nothing is shown, the process would exit with 16.
    endAfterStart([](CLoginDlg& main) {
        EXPECT_NE(main.m_pLoginActiveDlg, nullptr);
        EXPECT_EQ(theApp.m_pScriptBridge->m_pOwner, main.m_pLoginActiveDlg);
        EXPECT_GE(theApp.m_pScriptBridge->ReferenceCount(), 1) << "the page holds the bridge";
        PostQuitMessage(16);
    });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_EQ(PostedQuitCode(), 16);
    EXPECT_EQ(theApp.m_pScriptBridge, nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    ResetQuitRequestForTesting();

    // Closing the backdrop: no quit request, so the process would exit with 0.
    endAfterStart([](CLoginDlg& main) { gtk_window_close(GTK_WINDOW(main.m_hWnd)); });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_FALSE(IsQuitPending());
    EXPECT_EQ(theApp.m_pScriptBridge, nullptr);
    EXPECT_TRUE(boxes.empty());
    theApp.m_pScriptBridge = testsBridge;
}
