#pragma once
// The few COM concepts the program speaks, in plain C++: result codes, GUIDs, IUnknown and
// IDispatch, BSTR and VARIANT with RAII holders, and CompareStringW. Not thread-aware: every
// object here is used on the GUI thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using HRESULT = int32_t;
using ULONG = uint32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using VARTYPE = uint16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;  // length-prefixed, NUL-terminated; made by SysAllocString*

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
inline bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline bool FAILED(HRESULT hr) {
    return hr < 0;
}

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatchEx = {
    0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};
inline constexpr IID IID_IDocHostUIHandler = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
inline constexpr IID DIID_HTMLElementEvents2 = {
    0x3050F60F, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLDocument2 = {
    0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLElement = {
    0x3050F1FF, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLAnchorElement = {
    0x3050F1DA, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLElementCollection = {
    0x3050F21F, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLEventObj = {
    0x3050F32D, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr CLSID CLSID_WebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct VARIANT;

struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;  // arguments in reverse order: rgvarg[0] is the last one
    DISPID* rgdispidNamedArgs = nullptr;
    unsigned cArgs = 0;
    unsigned cNamedArgs = 0;
};

struct EXCEPINFO;
class ITypeInfo;

class IDispatch : public IUnknown {
public:
    virtual HRESULT GetTypeInfoCount(unsigned* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(unsigned iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, OLECHAR** rgszNames, unsigned cNames, LCID lcid,
                                  DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, uint16_t wFlags,
                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                           unsigned* puArgErr) = 0;

protected:
    ~IDispatch() = default;
};

// BSTR: allocation and length. A null BSTR is the empty string.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, unsigned length);
inline BSTR SysAllocString(std::u16string_view text) {
    return SysAllocStringLen(text.data(), static_cast<unsigned>(text.size()));
}
void SysFreeString(BSTR text);
unsigned SysStringLen(BSTR text);

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
    VT_UINT = 23,
};
using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
    VARTYPE vt;
    union {
        int32_t lVal;
        uint32_t uintVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IDispatch* pdispVal;
        IUnknown* punkVal;
    };
};

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);  // frees a BSTR, releases an interface; leaves VT_EMPTY
HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
// The conversions the program uses: between VT_I4, VT_UINT, VT_R8, VT_BOOL and to VT_BSTR.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t flags, VARTYPE vt);

// Owns a BSTR.
class CComBSTR {
public:
    CComBSTR() = default;
    explicit CComBSTR(std::u16string_view text) : m_str(SysAllocString(text)) {}
    CComBSTR(CComBSTR&& other) noexcept : m_str(other.Detach()) {}
    CComBSTR& operator=(CComBSTR&& other) noexcept;
    CComBSTR(const CComBSTR&) = delete;
    CComBSTR& operator=(const CComBSTR&) = delete;
    ~CComBSTR() { SysFreeString(m_str); }

    BSTR* operator&() { return &m_str; }
    operator BSTR() const { return m_str; }
    BSTR Detach() {
        BSTR s = m_str;
        m_str = nullptr;
        return s;
    }
    std::u16string Text() const { return std::u16string(m_str ? m_str : u"", SysStringLen(m_str)); }

    BSTR m_str = nullptr;
};

// Owns a VARIANT's content.
class CComVariant : public VARIANT {
public:
    CComVariant() { VariantInit(this); }
    explicit CComVariant(std::u16string_view text);
    explicit CComVariant(int32_t value);
    explicit CComVariant(IDispatch* dispatch);  // adds a reference
    CComVariant(const CComVariant& other);
    CComVariant& operator=(const CComVariant& other);
    ~CComVariant() { VariantClear(this); }
};

// Holds one reference to an interface.
template <typename T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(T* p) : p_(p) {  // adds a reference
        if (p_) p_->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.p_) {}
    CComPtr(CComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    CComPtr& operator=(CComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~CComPtr() {
        if (p_) p_->Release();
    }
    // Takes over a reference the caller already owns.
    static CComPtr Attach(T* p) {
        CComPtr result;
        result.p_ = p;
        return result;
    }
    T** operator&() {
        *this = CComPtr();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Queries this object for another interface.
    template <typename U>
    CComPtr<U> As(REFIID iid) const {
        void* out = nullptr;
        if (!p_ || FAILED(p_->QueryInterface(iid, &out))) return {};
        return CComPtr<U>::Attach(static_cast<U*>(out));
    }

private:
    T* p_ = nullptr;
};

// Comparison of counted strings (a count of -1: up to the NUL). Only NORM_IGNOREWIDTH changes
// the comparison: full-width forms (U+FF01-U+FF5E, U+3000) then equal their half-width forms.
// Letter case always matters. Returns CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN, or 0 for
// a null string with a non-zero count.
constexpr uint32_t NORM_IGNOREWIDTH = 0x00020000;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;
int CompareStringW(LCID locale, uint32_t flags, const OLECHAR* a, int countA, const OLECHAR* b,
                   int countB);
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

}  // namespace platform
