#pragma once
// The application object: the program's one process-wide object. GUI thread.

#include <string>

class CImpIDispatch;

class CLoginApp {
public:
    // The one script bridge, the page's window.external.
    CImpIDispatch* m_pScriptBridge = nullptr;

    // The user id and the credential joined by a comma, in the narrow code set; written by
    // SetLoginData when a login arrives, read when the launcher is started. Empty until then.
    std::string m_strLoginData;
};

extern CLoginApp theApp;
