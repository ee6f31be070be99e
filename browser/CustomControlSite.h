#pragma once
// The program's control-container manager and the site it gives every hosted control: a site
// that also answers IDocHostUIHandler, so that the browser looks like part of the program's
// window (no border, no scroll bars, no context menu) and shows the script bridge as the
// page's window.external. GUI thread.

#include "platform/Control.h"

class CCustomControlSite : public platform::COleControlSite {
public:
    explicit CCustomControlSite(platform::COleControlContainer* pCtrlCont);
    ~CCustomControlSite() override;

    class XDocHostUIHandler : public platform::IDocHostUIHandler {
    public:
        explicit XDocHostUIHandler(CCustomControlSite& site) : m_site(site) {}

        platform::HRESULT QueryInterface(platform::REFIID riid, void** ppv) override;
        platform::ULONG AddRef() override;
        platform::ULONG Release() override;
        platform::HRESULT ShowContextMenu(uint32_t dwID, platform::POINT* ppt,
                                          platform::IUnknown* pcmdtReserved,
                                          platform::IDispatch* pdispReserved) override;
        platform::HRESULT GetHostInfo(platform::DOCHOSTUIINFO* pInfo) override;
        platform::HRESULT ShowUI(uint32_t dwID, platform::IOleInPlaceActiveObject* pActiveObject,
                                 platform::IOleCommandTarget* pCommandTarget,
                                 platform::IOleInPlaceFrame* pFrame,
                                 platform::IOleInPlaceUIWindow* pDoc) override;
        platform::HRESULT HideUI() override;
        platform::HRESULT UpdateUI() override;
        platform::HRESULT EnableModeless(bool fEnable) override;
        platform::HRESULT OnDocWindowActivate(bool fActivate) override;
        platform::HRESULT OnFrameWindowActivate(bool fActivate) override;
        platform::HRESULT ResizeBorder(const platform::RECT* prcBorder,
                                       platform::IOleInPlaceUIWindow* pUIWindow,
                                       bool fRameWindow) override;
        platform::HRESULT TranslateAccelerator(platform::MSG* lpMsg,
                                               const platform::GUID* pguidCmdGroup,
                                               uint32_t nCmdID) override;
        platform::HRESULT GetOptionKeyPath(platform::OLECHAR** pchKey, uint32_t dw) override;
        platform::HRESULT GetDropTarget(platform::IDropTarget* pDropTarget,
                                        platform::IDropTarget** ppDropTarget) override;
        platform::HRESULT GetExternal(platform::IDispatch** ppDispatch) override;
        platform::HRESULT TranslateUrl(uint32_t dwTranslate, platform::OLECHAR* pchURLIn,
                                       platform::OLECHAR** ppchURLOut) override;
        platform::HRESULT FilterDataObject(platform::IDataObject* pDO,
                                           platform::IDataObject** ppDORet) override;

    private:
        CCustomControlSite& m_site;
    };

protected:
    void* GetInterface(platform::REFIID riid) override;

private:
    XDocHostUIHandler m_xDocHostUIHandler{*this};
};

class CCustomOccManager : public platform::COccManager {
public:
    ~CCustomOccManager() override;
    platform::COleControlSite* CreateSite(platform::COleControlContainer* pCtrlCont) override;
};
