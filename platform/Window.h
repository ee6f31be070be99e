#pragma once
// Windows: top-level windows and child windows placed at pixel positions inside them. GUI
// thread only. A CWnd owns the window it created and destroys it with itself.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Com.h"

namespace platform {

using HWND = struct HWND__*;  // behind it: the window's GtkWidget

struct POINT {
    int x = 0;
    int y = 0;
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

class COleControlSite;
class COleControlContainer;
class BrowserHost;

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // A plain top-level window with a client area of the given size, for hosting children.
    bool CreateTopLevel(const std::u16string& title, int width, int height);

    // Creates the control of class `clsid` (only CLSID_WebBrowser) as a hidden-or-shown child
    // of `parent` at `rect`. Its site comes from the control-container manager; browser events
    // go to `parent` when it implements DWebBrowserEvents2.
    bool CreateControl(const CLSID& clsid, const std::u16string& windowName, uint32_t style,
                       const RECT& rect, CWnd* parent, unsigned id);

    virtual void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool ShowWindow(int nCmdShow);
    bool IsWindowVisible() const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    RECT GetWindowRect() const;  // in screen pixels

    // The hosted control's object (the browser's IUnknown); null when this is no control.
    IUnknown* GetControlUnknown() const;
    COleControlSite* GetControlSite() const { return m_pCtrlSite.get(); }

    HWND m_hWnd = nullptr;

protected:
    // Where children of this window are placed (a fixed-position container).
    void* ChildContainer() const;

private:
    std::unique_ptr<COleControlContainer> m_container;
    std::unique_ptr<COleControlSite> m_pCtrlSite;
    std::unique_ptr<BrowserHost> m_browserHost;
};

constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;

}  // namespace platform
