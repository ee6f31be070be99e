#pragma once
// The application object: the program's one process-wide object. It prepares the process,
// runs the backdrop modally, and tears everything down in a fixed order. GUI thread.

#include <string>

namespace platform {
class CDialog;
}
class CImpIDispatch;
class CCustomOccManager;
class CLoginDlg;

class CLoginApp {
public:
    // The whole life of the program; returns false, so that the process ends after it.
    bool InitInstance();

    // Runs the main window modally; a run that could not start (-1) tells the player so,
    // unless a quit request ended it. Returns the run's result.
    int RunMainWindow(platform::CDialog& mainWindow);

    // The one script bridge, the page's window.external.
    CImpIDispatch* m_pScriptBridge = nullptr;
    // The user id and the credential joined by a comma, in the narrow code set; written by
    // SetLoginData when a login arrives, read when the launcher is started. Empty until then.
    std::string m_strLoginData;
    platform::CDialog* m_pMainWnd = nullptr;
};

extern CLoginApp theApp;

// The start-failure message of the main window's run.
inline constexpr char16_t kStartFailedText[] = u"启动游戏失败，请重新启动！";
inline constexpr char16_t kStartFailedCaption[] = u"【启动失败】";
