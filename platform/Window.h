#pragma once
// Windows: top-level windows and child windows at pixel positions inside them, with the
// handlers a program overrides, hit testing and dragging, owned windows, and layered windows
// (per-pixel alpha or a colour key). GUI thread only. A CWnd owns the window it created and
// destroys it with itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Com.h"

namespace platform {

using HWND = struct HWND__*;  // behind it: the window's GtkWidget
using COLORREF = uint32_t;    // 0x00BBGGRR
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return r | (g << 8) | (b << 16);
}

struct POINT {
    int x = 0;
    int y = 0;
};
struct SIZE {
    int cx = 0;
    int cy = 0;
};
struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr uint32_t WS_EX_LAYERED = 0x00080000;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;

constexpr unsigned SWP_NOSIZE = 0x0001;
constexpr unsigned SWP_NOMOVE = 0x0002;
constexpr unsigned SWP_NOZORDER = 0x0004;

// Hit-test codes, with their Windows values.
constexpr unsigned HTNOWHERE = 0;
constexpr unsigned HTCLIENT = 1;
constexpr unsigned HTCAPTION = 2;

constexpr unsigned CTLCOLOR_BTN = 3;
constexpr unsigned CTLCOLOR_DLG = 4;
constexpr unsigned CTLCOLOR_STATIC = 6;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// A solid brush: what OnCtlColor returns to paint a background.
class CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) : m_color(color), m_created(true) {}
    bool CreateSolidBrush(COLORREF color) {
        m_color = color;
        m_created = true;
        return true;
    }
    void DeleteObject() { m_created = false; }
    bool IsCreated() const { return m_created; }
    COLORREF m_color = 0;

private:
    bool m_created = false;
};
using HBRUSH = CBrush*;

class Image;
using HICON = const Image*;  // an icon is an image held by whoever loaded it
class CFont;

// DrawText formats.
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;

// Drawing on a window: what a paint handler and OnCtlColor are given.
class CDC {
public:
    explicit CDC(void* cairo) : m_cr(cairo) {}
    void FillSolidRect(const RECT& rect, COLORREF color);
    // Draws the source rectangle of `image` at (x, y), unscaled.
    void DrawImage(const Image& image, int x, int y, const RECT& source);
    void DrawIcon(int x, int y, HICON icon);
    COLORREF SetTextColor(COLORREF color);
    int SetBkMode(int mode);
    // The font DrawText uses (the desktop's 9-point sans without one); returns the previous.
    const CFont* SelectObject(const CFont* font);
    // Draws `text` in the text colour inside `rect`: one line cut at the edge (DT_SINGLELINE,
    // centred vertically with DT_VCENTER) or wrapped at words (DT_WORDBREAK). Returns the
    // height of the text drawn.
    int DrawText(const std::u16string& text, const RECT& rect, unsigned format);

    void* m_cr;  // the cairo context
    COLORREF m_textColor = 0;
    int m_bkMode = 2;  // OPAQUE
    const CFont* m_font = nullptr;
};
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Icon metrics: the size icons are drawn at.
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);

class COleControlSite;
class COleControlContainer;
class BrowserHost;
struct NativeWindow;
struct DialogItem;

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    static CWnd* FromHandle(HWND hwnd);

    // A top-level window with a client area of the given size, for hosting children. An
    // owned window (owner given) has no taskbar button and is hidden while its owner is
    // minimised.
    bool CreateEx(uint32_t exStyle, const std::u16string& title, uint32_t style, const RECT& rect,
                  CWnd* owner);
    bool CreateTopLevel(const std::u16string& title, int width, int height);

    // Creates the control of class `clsid` (only CLSID_WebBrowser) as a child of `parent` at
    // `rect`. Its site comes from the control-container manager; browser events go to `parent`
    // when it implements DWebBrowserEvents2.
    bool CreateControl(const CLSID& clsid, const std::u16string& windowName, uint32_t style,
                       const RECT& rect, CWnd* parent, unsigned id);

    // Creates a child window of a template item's class ("button", "static", or a control's
    // CLSID) inside `parent`.
    virtual bool CreateFromTemplateItem(const DialogItem& item, CWnd* parent);

    virtual void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    unsigned GetDlgCtrlID() const { return m_nID; }
    CWnd* GetParent() const { return m_pParent; }
    CWnd* GetOwner() const { return m_pOwner; }

    bool ShowWindow(int nCmdShow);
    bool IsWindowVisible() const;
    bool IsIconic() const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    void MoveWindow(const RECT& rect, bool repaint = true) {
        MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), repaint);
    }
    // Moves and sizes unless SWP_NOMOVE / SWP_NOSIZE; a null insert-after raises the window
    // above its siblings (children) or to the top (top-level windows).
    bool SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, unsigned flags);
    // Centres on the owner, or on the screen for a window without one.
    void CenterWindow(CWnd* alternateOwner = nullptr);
    RECT GetWindowRect() const;  // screen pixels
    RECT GetClientRect() const;  // client pixels: (0, 0) and the size
    uint32_t GetStyle() const { return m_dwStyle; }
    uint32_t GetExStyle() const { return m_dwExStyle; }
    bool ModifyStyle(uint32_t remove, uint32_t add, unsigned flags = 0);
    bool ModifyStyleEx(uint32_t remove, uint32_t add, unsigned flags = 0);
    void SetWindowText(const std::u16string& text);
    std::u16string GetWindowText() const { return m_text; }
    void SetIcon(HICON icon, bool big);
    void Invalidate();

    // The hosted control's object (the browser's IUnknown); null when this is no control.
    IUnknown* GetControlUnknown() const;
    COleControlSite* GetControlSite() const { return m_pCtrlSite.get(); }

    // --- handlers; the defaults do what a plain window does ---
    virtual unsigned OnNcHitTest(POINT screenPoint);  // HTCLIENT inside, HTNOWHERE outside
    virtual void OnMove(int x, int y);
    virtual void OnShowWindow(bool bShow, unsigned nStatus);
    virtual void OnClose();  // destroys the window
    virtual void OnPaint(CDC& dc);
    virtual HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, unsigned nCtlColor);  // null: the default
    // A command from a child (a button click, or Enter and Esc as IDOK and IDCANCEL). Returns
    // whether it was handled.
    virtual bool OnCommand(unsigned id);

    HWND m_hWnd = nullptr;

protected:
    // Where children of this window are placed (a fixed-position container).
    void* ChildContainer() const;
    // Makes this window a child of `parent` from a widget made for it.
    void AttachChild(void* widget, CWnd* parent, const RECT& rect, unsigned id, uint32_t style,
                     uint32_t exStyle);

    uint32_t m_dwStyle = 0;
    uint32_t m_dwExStyle = 0;
    unsigned m_nID = 0;
    std::u16string m_text;

private:
    friend struct NativeWindow;
    friend bool UpdateLayeredWindow(HWND, const Image&, POINT);
    friend bool SetLayeredWindowAttributes(HWND, COLORREF, uint8_t, unsigned);

    CWnd* m_pParent = nullptr;
    CWnd* m_pOwner = nullptr;
    std::vector<CWnd*> m_owned;
    std::unique_ptr<NativeWindow> m_native;
    std::unique_ptr<COleControlContainer> m_container;
    std::unique_ptr<COleControlSite> m_pCtrlSite;
    std::unique_ptr<BrowserHost> m_browserHost;
    // A hidden browser stays mapped beyond its parent's edge, where nothing of it shows or takes
    // input, so the page it loads is laid out and painted before it is shown; this is where it
    // belongs meanwhile (parent client coordinates).
    std::optional<POINT> m_parkedFrom;
    bool Park();  // false when the window is no child of a fixed container
    void Unpark();
};

// The program's main window: the owner of dialogs run without a parent.
void AfxSetMainWnd(CWnd* window);
CWnd* AfxGetMainWnd();

// Whether the window behind the handle still exists.
bool IsWindow(HWND hwnd);
uint32_t GetWindowLongW(HWND hwnd, int index);
uint32_t SetWindowLongW(HWND hwnd, int index, uint32_t value);

// Layered windows. Whether this display can show them: always on X11 (by alpha where a
// compositor runs, by window shapes where none does); never without a display.
bool DisplaySupportsLayeredWindows();
// The window's content becomes `image` at its own size, placed at `position` (screen): pixels
// with alpha 0 are invisible and let clicks through; partly transparent ones blend with what
// lies beneath where a compositor runs. The window must have WS_EX_LAYERED.
bool UpdateLayeredWindow(HWND hwnd, const Image& image, POINT position);
// The window's pixels of exactly `key` become invisible and let clicks through.
constexpr unsigned LWA_COLORKEY = 0x1;
constexpr unsigned LWA_ALPHA = 0x2;
bool SetLayeredWindowAttributes(HWND hwnd, COLORREF key, uint8_t alpha, unsigned flags);

}  // namespace platform
