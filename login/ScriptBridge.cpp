#include "login/ScriptBridge.h"

#include <algorithm>

#include "ui/LoginActiveDlg.h"

using namespace platform;

namespace {

constexpr char16_t kTestPropertyName[] = u"xxyyzz";
constexpr char16_t kAppLoginName[] = u"AppLogin";
constexpr char16_t kTestPropertyValue[] = u"Wibble";
constexpr int kSignificantChars = 3;

// Names are told apart by their first three characters, case-sensitively, a full-width letter
// equal to its half-width form. A shorter name matches nothing.
bool SameMember(const OLECHAR* name, const char16_t* member, LCID lcid) {
    const int length = static_cast<int>(std::char_traits<char16_t>::length(name));
    return CompareStringW(lcid, NORM_IGNOREWIDTH, name, std::min(length, kSignificantChars), member,
                          kSignificantChars) == CSTR_EQUAL;
}

}  // namespace

HRESULT CImpIDispatch::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IDispatch || riid == IID_IUnknown) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG CImpIDispatch::AddRef() {
    return static_cast<ULONG>(++m_refCount);
}

ULONG CImpIDispatch::Release() {
    return static_cast<ULONG>(--m_refCount);
}

HRESULT CImpIDispatch::GetTypeInfoCount(unsigned*) {
    return E_NOTIMPL;
}

HRESULT CImpIDispatch::GetTypeInfo(unsigned, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT CImpIDispatch::GetIDsOfNames(REFIID, OLECHAR** rgszNames, unsigned cNames, LCID lcid,
                                     DISPID* rgDispId) {
    if (cNames > 0 && (!rgszNames || !rgDispId)) return E_POINTER;
    HRESULT result = S_OK;
    for (unsigned i = 0; i < cNames; ++i) {
        const OLECHAR* name = rgszNames[i];
        if (name && SameMember(name, kTestPropertyName, lcid)) {
            rgDispId[i] = kDispIdTestProperty;
        } else if (name && SameMember(name, kAppLoginName, lcid)) {
            rgDispId[i] = kDispIdAppLogin;
        } else {
            rgDispId[i] = DISPID_UNKNOWN;
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT CImpIDispatch::Invoke(DISPID dispIdMember, REFIID, LCID, uint16_t wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO*, unsigned*) {
    if (dispIdMember == kDispIdTestProperty) {
        if ((wFlags & DISPATCH_PROPERTYGET) && pVarResult) {
            VariantInit(pVarResult);
            pVarResult->vt = VT_BSTR;
            pVarResult->bstrVal = SysAllocString(kTestPropertyValue);
        }
    } else if (dispIdMember == kDispIdAppLogin && (wFlags & DISPATCH_METHOD)) {
        // Only a string argument is a login; the text ends at its first NUL.
        const bool hasString = pDispParams && pDispParams->cArgs > 0 && pDispParams->rgvarg &&
                               pDispParams->rgvarg[0].vt == VT_BSTR;
        if (hasString && m_pOwner) {
            const BSTR text = pDispParams->rgvarg[0].bstrVal;
            m_pOwner->OnAppLogin(std::u16string(text ? text : u""));
        }
    }
    return S_OK;
}
