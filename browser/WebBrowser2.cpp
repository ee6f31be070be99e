#include "browser/WebBrowser2.h"

using namespace platform;

bool CWebBrowser2::Create(const std::u16string& windowName, uint32_t dwStyle, const RECT& rect,
                          CWnd* pParentWnd, unsigned nID) {
    return CreateControl(CLSID_WebBrowser, windowName, dwStyle, rect, pParentWnd, nID);
}

CComPtr<IDispatch> CWebBrowser2::ControlDispatch() const {
    return CComPtr<IUnknown>(GetControlUnknown()).As<IDispatch>(IID_IDispatch);
}

void CWebBrowser2::Navigate(const std::u16string& url) {
    CComPtr<IDispatch> browser = ControlDispatch();
    if (!browser) return;
    // Arguments in reverse order: headers, post data, target frame, flags, then the address;
    // the four optional ones are one and the same empty variant.
    CComVariant empty;
    CComVariant address(url);
    VARIANT arguments[5] = {empty, empty, empty, empty, address};  // views, owned above
    DISPPARAMS params;
    params.rgvarg = arguments;
    params.cArgs = 5;
    browser->Invoke(DISPID_NAVIGATE, IID_IUnknown, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                    nullptr, nullptr, nullptr);
}

CComPtr<IDispatch> CWebBrowser2::get_Document() {
    CComPtr<IDispatch> browser = ControlDispatch();
    if (!browser) return {};
    CComVariant result;
    DISPPARAMS none;
    if (FAILED(browser->Invoke(DISPID_DOCUMENT, IID_IUnknown, LOCALE_USER_DEFAULT,
                               DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr)) ||
        result.vt != VT_DISPATCH) {
        return {};
    }
    return CComPtr<IDispatch>(result.pdispVal);
}
