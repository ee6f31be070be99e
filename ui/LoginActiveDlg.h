#pragma once
// The login panel: the window the player works in. It hosts the browser with the operator's
// login page, receives the page's login result and the browser's events, and hooks the page's
// link clicks. GUI thread.

#include <cstdint>
#include <map>
#include <string>

#include "browser/WebBrowser2.h"
#include "login/LauncherDownload.h"
#include "platform/Control.h"
#include "platform/Dialog.h"
#include "ui/DownloadStatus.h"
#include "ui/GdiPlusPng.h"
#include "ui/PngButton.h"

class CLoginDlg;

// One hooked link: the anchor, the event interface connected, and the connection's cookie.
struct ElementConnection {
    platform::CComPtr<platform::IHTMLAnchorElement> pSource;
    platform::IID iidEvents;
    uint32_t dwCookie = 0;
    std::u16string strKey;
};

class CLoginActiveDlg : public platform::CDialogEx,
                        public platform::DWebBrowserEvents2,
                        public LauncherDownloadView {
public:
    static constexpr unsigned kBrowserControlId = 1000;
    static constexpr unsigned kCloseButtonId = 1005;
    static constexpr unsigned kMinimizeButtonId = 1006;
    static constexpr unsigned kDownloadStatusId = 1010;
    static constexpr platform::RECT kBrowserRect{560, 177, 560 + 631, 177 + 446};
    // The download box lies over the top of the page, clear of a sign-in form's buttons.
    static constexpr platform::RECT kDownloadStatusRect{600, 201, 600 + 551, 201 + 96};
    static constexpr platform::COLORREF kKeyColor = 0x0000FFFF;  // pure yellow

    explicit CLoginActiveDlg(CLoginDlg* pLoginDlg);
    ~CLoginActiveDlg() override;

    void DoDataExchange(platform::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override {}  // Enter and Esc never close the panel
    void OnCancel() override {}
    unsigned OnNcHitTest(platform::POINT point) override;
    void OnMove(int x, int y) override;
    platform::HBRUSH OnCtlColor(platform::CDC* pDC, platform::CWnd* pWnd,
                                unsigned nCtlColor) override;
    bool OnCommand(unsigned id) override;
    // Minimise: the backdrop goes, and the panel, which it owns, with it.
    void OnBnClickedMinimize();
    // Close: asks first; on OK the program ends with exit code 16.
    void OnBnClickedClose();

    // Places the browser (creating it when no template made it), navigates it to `url` and
    // keeps it hidden until its first navigation completes.
    void StartBrowser(const std::u16string& url);

    // The login result from the page's window.external.AppLogin.
    virtual void OnAppLogin(std::u16string strJson);

    // How the launcher's download goes, shown in the box over the page.
    void ShowDownloadProgress(uint64_t received, std::optional<uint64_t> total) override;
    void HideDownloadProgress() override;
    void ShowDownloadFailed() override;

    void OnBeforeNavigate2(platform::IDispatch* pDisp, platform::VARIANT* URL,
                           platform::VARIANT* Flags, platform::VARIANT* TargetFrameName,
                           platform::VARIANT* PostData, platform::VARIANT* Headers,
                           bool* Cancel) override;
    void OnNavigateComplete2(platform::IDispatch* pDisp, platform::VARIANT* URL) override;
    void OnDocumentComplete(platform::IDispatch* pDisp, platform::VARIANT* URL) override;
    // A click on a hooked link; the link is followed as usual.
    virtual void OnHtmlElementClick(platform::IDispatch* pEventObj);

    // Disconnects every hooked link and forgets them.
    void UnadviseAllElementEvents();

    CLayeredPng m_layered;
    platform::CBrush m_brushKey;
    const platform::COLORREF m_clrKey = kKeyColor;
    CLoginDlg* m_pLoginDlg;
    std::u16string m_strLoginUrl;
    CWebBrowser2 m_browser;
    CPngButton m_btnMinimize;
    CPngButton m_btnClose;
    CDownloadStatus m_downloadStatus;
    std::map<std::u16string, ElementConnection> m_mapElementConnections;

protected:
    // The panel's dispatch interface, the sink of page-element events (no reference added).
    platform::IDispatch* GetIDispatch() { return &m_xElementEvents; }

private:
    void InitPngButtons();

    // Answers HTMLElementEvents2 and routes its onclick to OnHtmlElementClick.
    class XElementEvents : public platform::IDispatch {
    public:
        explicit XElementEvents(CLoginActiveDlg& owner) : m_owner(owner) {}
        platform::HRESULT QueryInterface(platform::REFIID riid, void** ppv) override;
        platform::ULONG AddRef() override { return ++m_refs; }
        platform::ULONG Release() override { return --m_refs; }
        platform::HRESULT GetTypeInfoCount(unsigned*) override { return platform::E_NOTIMPL; }
        platform::HRESULT GetTypeInfo(unsigned, platform::LCID, platform::ITypeInfo**) override {
            return platform::E_NOTIMPL;
        }
        platform::HRESULT GetIDsOfNames(platform::REFIID, platform::OLECHAR**, unsigned,
                                        platform::LCID, platform::DISPID*) override {
            return platform::E_NOTIMPL;
        }
        platform::HRESULT Invoke(platform::DISPID dispIdMember, platform::REFIID, platform::LCID,
                                 uint16_t wFlags, platform::DISPPARAMS* pDispParams,
                                 platform::VARIANT*, platform::EXCEPINFO*, unsigned*) override;

    private:
        CLoginActiveDlg& m_owner;
        platform::ULONG m_refs = 1;
    };

    XElementEvents m_xElementEvents{*this};
};
