#include "ui/LoginActiveDlg.h"

#include "app/Settings.h"
#include "login/GameLaunch.h"
#include "login/LoginPayload.h"
#include "platform/MainLoop.h"
#include "ui/ConfirmDlg.h"
#include "ui/LoginDlg.h"

using namespace platform;

namespace {

constexpr char16_t kCodeCallback[] = u"orbyl/codeCallback.htm?code=";
constexpr char16_t kNeedCode[] = u"needCode=";
constexpr char16_t kAboutBlank[] = u"about:blank";

std::u16string UrlText(const VARIANT* url) {
    if (!url || url->vt != VT_BSTR || !url->bstrVal) return {};
    return std::u16string(url->bstrVal, SysStringLen(url->bstrVal));
}

std::u16string HrefOf(const CComPtr<IHTMLAnchorElement>& anchor) {
    CComBSTR href;
    if (FAILED(anchor->get_href(&href))) return {};
    return href.Text();
}

}  // namespace

CLoginActiveDlg::CLoginActiveDlg(CLoginDlg* pLoginDlg) : m_pLoginDlg(pLoginDlg) {}

void CLoginActiveDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, kBrowserControlId, m_browser);
    DDX_Control(pDX, kMinimizeButtonId, m_btnMinimize);
    DDX_Control(pDX, kCloseButtonId, m_btnClose);
}

bool CLoginActiveDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_layered.m_hWnd = m_hWnd;
    m_brushKey.CreateSolidBrush(m_clrKey);
    m_layered.SetColorKey(m_clrKey);
    m_strLoginUrl = HostBaseAddress(GetLoginHost()) + u"/client";
    StartBrowser(m_strLoginUrl);
    InitPngButtons();
    m_downloadStatus.CreateOver(this, kDownloadStatusRect, kDownloadStatusId);
    return true;
}

void CLoginActiveDlg::InitPngButtons() {
    m_btnMinimize.SetPngStrip(162);
    m_btnClose.SetPngStrip(160);
    // The minimise button's window is 75 high: it paints only its 39 x 39 frame at the top.
    m_btnMinimize.MoveWindow(1173, 137, 39, 75, true);
    m_btnClose.MoveWindow(1208, 115, 54, 54, true);
}

bool CLoginActiveDlg::OnCommand(unsigned id) {
    if (id == kMinimizeButtonId) {
        OnBnClickedMinimize();
        return true;
    }
    if (id == kCloseButtonId) {
        OnBnClickedClose();
        return true;
    }
    if (id == kDownloadStatusId) {
        m_downloadStatus.OnClicked();
        return true;
    }
    return CDialogEx::OnCommand(id);
}

void CLoginActiveDlg::OnBnClickedMinimize() {
    if (m_pLoginDlg) m_pLoginDlg->ShowWindow(SW_MINIMIZE);
}

void CLoginActiveDlg::OnBnClickedClose() {
    CConfirmDlg confirm;
    confirm.m_nMode = 0;
    if (confirm.DoModal() == IDOK) PostQuitMessage(kLaunchExitCode);
}

// Any point of the panel's own surface drags the panel, and with it the backdrop.
unsigned CLoginActiveDlg::OnNcHitTest(POINT point) {
    if (m_pLoginDlg) m_pLoginDlg->m_bDragFlag = false;
    return CDialogEx::OnNcHitTest(point) == HTCLIENT ? HTCAPTION : HTNOWHERE;
}

void CLoginActiveDlg::OnMove(int, int) {
    if (!IsWindow(m_hWnd) || !m_pLoginDlg || m_pLoginDlg->m_bDragFlag) return;
    const RECT backdrop = m_pLoginDlg->GetWindowRect();
    const RECT mine = GetWindowRect();
    m_pLoginDlg->MoveWindow(mine.left, mine.top, backdrop.Width(), backdrop.Height(), true);
}

HBRUSH CLoginActiveDlg::OnCtlColor(CDC*, CWnd*, unsigned) {
    return m_brushKey.IsCreated() ? &m_brushKey : nullptr;
}

// The records go without disconnecting; the browser, and with it every connection, goes too.
CLoginActiveDlg::~CLoginActiveDlg() = default;

void CLoginActiveDlg::StartBrowser(const std::u16string& url) {
    if (!m_browser.m_hWnd) m_browser.Create(u"", WS_CHILD, kBrowserRect, this, kBrowserControlId);
    m_browser.MoveWindow(kBrowserRect.left, kBrowserRect.top, kBrowserRect.Width(),
                         kBrowserRect.Height(), true);
    m_browser.Navigate(url);
    m_browser.ShowWindow(SW_HIDE);
}

void CLoginActiveDlg::OnAppLogin(std::u16string strJson) {
    HandOffLogin(
        strJson, [this] { UnadviseAllElementEvents(); }, this);
}

void CLoginActiveDlg::ShowDownloadProgress(uint64_t received, std::optional<uint64_t> total) {
    m_downloadStatus.ShowProgress(received, total);
}

void CLoginActiveDlg::HideDownloadProgress() {
    m_downloadStatus.HideProgress();
}

void CLoginActiveDlg::ShowDownloadFailed() {
    m_downloadStatus.ShowFailed();
}

void CLoginActiveDlg::OnBeforeNavigate2(IDispatch*, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                        VARIANT*, bool*) {}

void CLoginActiveDlg::OnNavigateComplete2(IDispatch*, VARIANT* URL) {
    if (!m_browser.IsWindowVisible()) m_browser.ShowWindow(SW_SHOW);
    const std::u16string url = UrlText(URL);
    if (url.find(kCodeCallback) != std::u16string::npos &&
        url.find(kNeedCode) == std::u16string::npos) {
        HandOffCodeCallback(url, [this] { UnadviseAllElementEvents(); });
    }
}

void CLoginActiveDlg::OnDocumentComplete(IDispatch*, VARIANT* URL) {
    if (UrlText(URL).find(kAboutBlank) != std::u16string::npos) return;
    const CComPtr<IHTMLDocument2> document =
        m_browser.get_Document().As<IHTMLDocument2>(IID_IHTMLDocument2);
    if (!document) return;
    CComPtr<IHTMLElementCollection> all;
    if (FAILED(document->get_all(&all)) || !all) return;
    long length = 0;
    all->get_length(&length);
    for (long i = 0; i < length; ++i) {
        CComVariant name(static_cast<int32_t>(i));
        VariantChangeType(&name, &name, 0, VT_UINT);
        CComVariant none;
        CComPtr<IDispatch> item;
        if (FAILED(all->item(name, none, &item)) || !item) continue;
        const CComPtr<IHTMLAnchorElement> anchor =
            item.As<IHTMLAnchorElement>(IID_IHTMLAnchorElement);
        if (!anchor) continue;
        const std::u16string key = HrefOf(anchor);
        if (m_mapElementConnections.count(key)) continue;  // the first link to a target only
        uint32_t cookie = 0;
        if (FAILED(AfxConnectionAdvise(anchor.get(), DIID_HTMLElementEvents2, GetIDispatch(), false,
                                       &cookie))) {
            continue;
        }
        m_mapElementConnections[key] =
            ElementConnection{anchor, DIID_HTMLElementEvents2, cookie, key};
    }
}

void CLoginActiveDlg::OnHtmlElementClick(IDispatch* pEventObj) {
    const CComPtr<IHTMLEventObj> event =
        CComPtr<IDispatch>(pEventObj).As<IHTMLEventObj>(IID_IHTMLEventObj);
    if (!event) return;
    CComPtr<IHTMLElement> source;
    if (FAILED(event->get_srcElement(&source)) || !source) return;
    const CComPtr<IHTMLAnchorElement> anchor =
        source.As<IHTMLAnchorElement>(IID_IHTMLAnchorElement);
    if (anchor) HrefOf(anchor);  // read, and left alone: the click follows its link
}

void CLoginActiveDlg::UnadviseAllElementEvents() {
    for (const auto& [key, connection] : m_mapElementConnections) {
        AfxConnectionUnadvise(connection.pSource.get(), connection.iidEvents, GetIDispatch(), false,
                              connection.dwCookie);
    }
    m_mapElementConnections.clear();
}

HRESULT CLoginActiveDlg::XElementEvents::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_HTMLElementEvents2)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

HRESULT CLoginActiveDlg::XElementEvents::Invoke(DISPID dispIdMember, REFIID, LCID, uint16_t wFlags,
                                                DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*,
                                                unsigned*) {
    if (dispIdMember != DISPID_HTMLELEMENTEVENTS2_ONCLICK || !(wFlags & DISPATCH_METHOD)) {
        return S_OK;
    }
    IDispatch* event = nullptr;
    if (pDispParams && pDispParams->cArgs > 0 && pDispParams->rgvarg[0].vt == VT_DISPATCH) {
        event = pDispParams->rgvarg[0].pdispVal;
    }
    m_owner.OnHtmlElementClick(event);
    return S_OK;
}
