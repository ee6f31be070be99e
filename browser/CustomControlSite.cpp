#include "browser/CustomControlSite.h"

#include <new>

#include "app/LoginApp.h"
#include "login/ScriptBridge.h"

using namespace platform;

CCustomControlSite::CCustomControlSite(COleControlContainer* pCtrlCont)
    : COleControlSite(pCtrlCont) {}

CCustomControlSite::~CCustomControlSite() = default;

void* CCustomControlSite::GetInterface(REFIID riid) {
    if (riid == IID_IDocHostUIHandler) return static_cast<IDocHostUIHandler*>(&m_xDocHostUIHandler);
    return COleControlSite::GetInterface(riid);
}

using Handler = CCustomControlSite::XDocHostUIHandler;

HRESULT Handler::QueryInterface(REFIID riid, void** ppv) {
    return m_site.QueryInterface(riid, ppv);
}
ULONG Handler::AddRef() {
    return m_site.AddRef();
}
ULONG Handler::Release() {
    return m_site.Release();
}

// The host claims the menu as shown: the browser shows none.
HRESULT Handler::ShowContextMenu(uint32_t, POINT*, IUnknown*, IDispatch*) {
    return S_OK;
}

HRESULT Handler::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (!pInfo) return E_POINTER;
    pInfo->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT Handler::ShowUI(uint32_t, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) {
    return S_OK;
}
HRESULT Handler::HideUI() {
    return S_OK;
}
HRESULT Handler::UpdateUI() {
    return S_OK;
}
HRESULT Handler::EnableModeless(bool) {
    return E_NOTIMPL;
}
HRESULT Handler::OnDocWindowActivate(bool) {
    return E_NOTIMPL;
}
HRESULT Handler::OnFrameWindowActivate(bool) {
    return E_NOTIMPL;
}
HRESULT Handler::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, bool) {
    return E_NOTIMPL;
}

// Every key is left to the browser.
HRESULT Handler::TranslateAccelerator(MSG*, const GUID*, uint32_t) {
    return S_FALSE;
}

HRESULT Handler::GetOptionKeyPath(OLECHAR**, uint32_t) {
    return E_NOTIMPL;
}
HRESULT Handler::GetDropTarget(IDropTarget*, IDropTarget**) {
    return E_NOTIMPL;
}

HRESULT Handler::GetExternal(IDispatch** ppDispatch) {
    if (!ppDispatch) return E_POINTER;
    *ppDispatch = theApp.m_pScriptBridge;
    if (!*ppDispatch) return S_FALSE;
    (*ppDispatch)->AddRef();
    return S_OK;
}

HRESULT Handler::TranslateUrl(uint32_t, OLECHAR*, OLECHAR**) {
    return E_NOTIMPL;
}
HRESULT Handler::FilterDataObject(IDataObject*, IDataObject**) {
    return E_NOTIMPL;
}

CCustomOccManager::~CCustomOccManager() = default;

COleControlSite* CCustomOccManager::CreateSite(COleControlContainer* pCtrlCont) {
    return new (std::nothrow) CCustomControlSite(pCtrlCont);
}
