#pragma once
// Hosting controls: the control-container manager that makes each control's site, the site
// (whose interfaces the control consults), the UI-handler interface a site may offer, the
// browser's events, and connections between page elements and sinks. GUI thread only.

#include <cstdint>

#include "platform/Com.h"
#include "platform/Window.h"

namespace platform {

class COleControlContainer {
public:
    explicit COleControlContainer(CWnd* pWnd) : m_pWnd(pWnd) {}
    CWnd* m_pWnd;
};

// The site of one hosted control. Its interfaces are found through QueryInterface, which asks
// GetInterface; IUnknown is the site itself. The site's lifetime is its control's.
class COleControlSite : public IUnknown {
public:
    explicit COleControlSite(COleControlContainer* pCtrlCont) : m_pCtrlCont(pCtrlCont) {}
    virtual ~COleControlSite() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_dwRef; }
    ULONG Release() override { return --m_dwRef; }  // the control's owner deletes the site

    COleControlContainer* m_pCtrlCont;

protected:
    // The site's interface for `riid` without a reference added, or null.
    virtual void* GetInterface(REFIID riid);

private:
    ULONG m_dwRef = 1;
};

class COccManager {
public:
    virtual ~COccManager() = default;
    virtual COleControlSite* CreateSite(COleControlContainer* pCtrlCont);
};

// Installs the manager that creates every control site from now on (null: the default one).
// The manager is not owned; it must live as long as any control.
void AfxEnableControlContainer(COccManager* pManager = nullptr);
COccManager* AfxGetOccManager();

// How a host presents a browser.
struct DOCHOSTUIINFO {
    uint32_t cbSize = sizeof(DOCHOSTUIINFO);
    uint32_t dwFlags = 0;
    uint32_t dwDoubleClick = 0;
    OLECHAR* pchHostCss = nullptr;
    OLECHAR* pchHostNS = nullptr;
};
constexpr uint32_t DOCHOSTUIFLAG_NO3DBORDER = 0x4;
constexpr uint32_t DOCHOSTUIFLAG_SCROLL_NO = 0x8;
constexpr uint32_t DOCHOSTUIDBLCLK_DEFAULT = 0;

// A key as the browser host reports it to TranslateAccelerator.
struct MSG {
    HWND hwnd = nullptr;
    unsigned message = 0;  // WM_KEYDOWN
    uintptr_t wParam = 0;  // virtual-key code
    intptr_t lParam = 0;   // bit 29: Alt held
    uint32_t modifiers = 0;
};
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr uint32_t MK_CONTROL = 0x0008;
constexpr uint32_t MK_SHIFT = 0x0004;
constexpr uint32_t MK_ALT = 0x0020;

// Interfaces that pass through the UI handler but mean nothing here.
class IOleInPlaceActiveObject;
class IOleCommandTarget;
class IOleInPlaceFrame;
class IOleInPlaceUIWindow;
class IDropTarget;
class IDataObject;

class IDocHostUIHandler : public IUnknown {
public:
    virtual HRESULT ShowContextMenu(uint32_t dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                    IDispatch* pdispReserved) = 0;
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo) = 0;
    virtual HRESULT ShowUI(uint32_t dwID, IOleInPlaceActiveObject* pActiveObject,
                           IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                           IOleInPlaceUIWindow* pDoc) = 0;
    virtual HRESULT HideUI() = 0;
    virtual HRESULT UpdateUI() = 0;
    virtual HRESULT EnableModeless(bool fEnable) = 0;
    virtual HRESULT OnDocWindowActivate(bool fActivate) = 0;
    virtual HRESULT OnFrameWindowActivate(bool fActivate) = 0;
    virtual HRESULT ResizeBorder(const RECT* prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                 bool fRameWindow) = 0;
    virtual HRESULT TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup,
                                         uint32_t nCmdID) = 0;
    virtual HRESULT GetOptionKeyPath(OLECHAR** pchKey, uint32_t dw) = 0;
    virtual HRESULT GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) = 0;
    virtual HRESULT GetExternal(IDispatch** ppDispatch) = 0;
    virtual HRESULT TranslateUrl(uint32_t dwTranslate, OLECHAR* pchURLIn, OLECHAR** ppchURLOut) = 0;
    virtual HRESULT FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) = 0;

protected:
    ~IDocHostUIHandler() = default;
};

// The browser's events, received by the window that hosts the browser. The URL arguments hold
// a VT_BSTR; pDisp is the browser's dispatch interface.
class DWebBrowserEvents2 {
public:
    virtual void OnBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                                   VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                                   bool* Cancel) = 0;
    virtual void OnNavigateComplete2(IDispatch* pDisp, VARIANT* URL) = 0;
    virtual void OnDocumentComplete(IDispatch* pDisp, VARIANT* URL) = 0;

protected:
    ~DWebBrowserEvents2() = default;
};

// DISPIDs of the browser's dispatch interface.
constexpr DISPID DISPID_NAVIGATE = 104;
constexpr DISPID DISPID_DOCUMENT = 203;
// The onclick member of HTMLElementEvents2.
constexpr DISPID DISPID_HTMLELEMENTEVENTS2_ONCLICK = -600;

// Connects `pUnkSink` to the events `iid` of `pUnkSrc` (a page element). With bRefCount false
// the connection holds no reference to the sink; the sink must be disconnected, or the browser
// gone, before the sink is.
HRESULT AfxConnectionAdvise(IUnknown* pUnkSrc, REFIID iid, IUnknown* pUnkSink, bool bRefCount,
                            uint32_t* pdwCookie);
HRESULT AfxConnectionUnadvise(IUnknown* pUnkSrc, REFIID iid, IUnknown* pUnkSink, bool bRefCount,
                              uint32_t dwCookie);

// The page's document as the program reads it: a view of the top-level document's elements at
// the moment of the last page event.
class IHTMLElement : public IDispatch {
public:
    virtual HRESULT get_tagName(BSTR* p) = 0;

protected:
    ~IHTMLElement() = default;
};

class IHTMLAnchorElement : public IDispatch {
public:
    virtual HRESULT get_href(BSTR* p) = 0;  // the resolved address; empty without href

protected:
    ~IHTMLAnchorElement() = default;
};

class IHTMLElementCollection : public IDispatch {
public:
    virtual HRESULT get_length(long* p) = 0;
    // name: the index as VT_I4 or VT_UINT; index: VT_EMPTY.
    virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** pdisp) = 0;

protected:
    ~IHTMLElementCollection() = default;
};

class IHTMLDocument2 : public IDispatch {
public:
    virtual HRESULT get_all(IHTMLElementCollection** p) = 0;
    virtual HRESULT get_URL(BSTR* p) = 0;

protected:
    ~IHTMLDocument2() = default;
};

class IHTMLEventObj : public IDispatch {
public:
    virtual HRESULT get_srcElement(IHTMLElement** p) = 0;

protected:
    ~IHTMLEventObj() = default;
};

}  // namespace platform
