#pragma once
// The window wrapper of the browser control: creation, Navigate and the current document.
// GUI thread.

#include <string>

#include "platform/Control.h"

class CWebBrowser2 : public platform::CWnd {
public:
    // Creates the browser control as a child of `pParentWnd`.
    bool Create(const std::u16string& windowName, uint32_t dwStyle, const platform::RECT& rect,
                platform::CWnd* pParentWnd, unsigned nID);

    // Starts a navigation of the top-level page to `url`.
    void Navigate(const std::u16string& url);

    // The current top-level document, or null when there is none.
    platform::CComPtr<platform::IDispatch> get_Document();

private:
    platform::CComPtr<platform::IDispatch> ControlDispatch() const;
};
