#include "platform/Control.h"

namespace platform {
namespace {

COccManager g_defaultManager;
COccManager* g_manager = &g_defaultManager;

}  // namespace

HRESULT COleControlSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : GetInterface(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

void* COleControlSite::GetInterface(REFIID) {
    return nullptr;
}

COleControlSite* COccManager::CreateSite(COleControlContainer* pCtrlCont) {
    return new COleControlSite(pCtrlCont);
}

void AfxEnableControlContainer(COccManager* pManager) {
    g_manager = pManager ? pManager : &g_defaultManager;
}

COccManager* AfxGetOccManager() {
    return g_manager;
}

}  // namespace platform
