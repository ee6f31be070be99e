#include "app/LoginApp.h"

#include "browser/CustomControlSite.h"
#include "login/ScriptBridge.h"
#include "platform/MessageBox.h"
#include "ui/LoginActiveDlg.h"
#include "ui/LoginDlg.h"

CLoginApp theApp;

int CLoginApp::RunMainWindow(platform::CDialog& mainWindow) {
    m_pMainWnd = &mainWindow;
    platform::AfxSetMainWnd(&mainWindow);
    const int result = mainWindow.DoModal();
    platform::AfxSetMainWnd(nullptr);
    if (result == -1) {
        // After a posted quit the box is never seen: the pending quit closes it at once.
        platform::MessageBoxW(nullptr, kStartFailedText, kStartFailedCaption, platform::MB_OK);
    }
    return result;
}

bool CLoginApp::InitInstance() {
    // The manager lives until the process ends: every control site of every window uses it.
    auto* occManager = new CCustomOccManager;
    m_pScriptBridge = new CImpIDispatch;
    platform::AfxEnableControlContainer(occManager);
    {
        CLoginDlg dlg;
        RunMainWindow(dlg);
        // Teardown: the panel, then the bridge, then the backdrop.
        delete dlg.m_pLoginActiveDlg;
        dlg.m_pLoginActiveDlg = nullptr;
        delete m_pScriptBridge;
        m_pScriptBridge = nullptr;
        m_pMainWnd = nullptr;
    }
    return false;
}
