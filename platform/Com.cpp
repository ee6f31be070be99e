#include "platform/Com.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace platform {
namespace {

// A BSTR points just after a 32-bit byte count, at text that ends in NUL.
uint32_t* Header(BSTR text) {
    return reinterpret_cast<uint32_t*>(text) - 1;
}

char16_t FoldWidth(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFF01 + 0x21);
    if (c == 0x3000) return u' ';
    return c;
}

int Length(const OLECHAR* text, int count) {
    if (count >= 0) return count;
    return static_cast<int>(std::char_traits<char16_t>::length(text));
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, unsigned length) {
    if (length > (std::numeric_limits<uint32_t>::max() - 8) / 2) return nullptr;
    void* block = std::malloc(sizeof(uint32_t) + (length + 1) * sizeof(OLECHAR));
    if (!block) return nullptr;
    auto* header = static_cast<uint32_t*>(block);
    *header = length * sizeof(OLECHAR);
    BSTR result = reinterpret_cast<BSTR>(header + 1);
    if (text) {
        std::memcpy(result, text, length * sizeof(OLECHAR));
    } else {
        std::memset(result, 0, length * sizeof(OLECHAR));
    }
    result[length] = 0;
    return result;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<unsigned>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
    if (text) std::free(Header(text));
}

unsigned SysStringLen(BSTR text) {
    return text ? *Header(text) / sizeof(OLECHAR) : 0;
}

void VariantInit(VARIANT* v) {
    v->vt = VT_EMPTY;
    v->dblVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
    switch (v->vt) {
        case VT_BSTR:
            SysFreeString(v->bstrVal);
            break;
        case VT_DISPATCH:
            if (v->pdispVal) v->pdispVal->Release();
            break;
        case VT_UNKNOWN:
            if (v->punkVal) v->punkVal->Release();
            break;
        default:
            break;
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) {
    if (dest == source) return S_OK;
    VARIANT copy = *source;
    if (source->vt == VT_BSTR) {
        copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (source->bstrVal && !copy.bstrVal) return E_OUTOFMEMORY;
    } else if (source->vt == VT_DISPATCH && source->pdispVal) {
        source->pdispVal->AddRef();
    } else if (source->vt == VT_UNKNOWN && source->punkVal) {
        source->punkVal->AddRef();
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t, VARTYPE vt) {
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    double number;
    switch (source->vt) {
        case VT_I4:
            number = source->lVal;
            break;
        case VT_UINT:
            number = source->uintVal;
            break;
        case VT_R8:
            number = source->dblVal;
            break;
        case VT_BOOL:
            number = source->boolVal ? -1 : 0;
            break;
        default:
            if (source->vt == vt) return VariantCopy(dest, source);
            return DISP_E_TYPEMISMATCH;
    }
    switch (vt) {
        case VT_I4:
            if (std::isnan(number) || number < INT32_MIN || number > INT32_MAX)
                return DISP_E_TYPEMISMATCH;
            result.lVal = static_cast<int32_t>(std::nearbyint(number));
            break;
        case VT_UINT:
            if (std::isnan(number) || number < 0 || number > UINT32_MAX) return DISP_E_TYPEMISMATCH;
            result.uintVal = static_cast<uint32_t>(std::nearbyint(number));
            break;
        case VT_R8:
            result.dblVal = number;
            break;
        case VT_BOOL:
            result.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_BSTR: {
            std::string text = std::to_string(number);
            if (number == std::floor(number) && std::abs(number) < 1e15) {
                text = std::to_string(static_cast<long long>(number));
            }
            std::u16string wide(text.begin(), text.end());
            result.bstrVal = SysAllocString(wide);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept {
    if (this != std::addressof(other)) {
        SysFreeString(m_str);
        m_str = other.Detach();
    }
    return *this;
}

CComVariant::CComVariant(std::u16string_view text) {
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(text);
}

CComVariant::CComVariant(int32_t value) {
    VariantInit(this);
    vt = VT_I4;
    lVal = value;
}

CComVariant::CComVariant(IDispatch* dispatch) {
    VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = dispatch;
    if (dispatch) dispatch->AddRef();
}

CComVariant::CComVariant(const CComVariant& other) {
    VariantInit(this);
    VariantCopy(this, &other);
}

CComVariant& CComVariant::operator=(const CComVariant& other) {
    VariantCopy(this, &other);
    return *this;
}

int CompareStringW(LCID, uint32_t flags, const OLECHAR* a, int countA, const OLECHAR* b,
                   int countB) {
    if ((!a && countA != 0) || (!b && countB != 0)) return 0;
    const int lengthA = a ? Length(a, countA) : 0;
    const int lengthB = b ? Length(b, countB) : 0;
    const bool ignoreWidth = flags & NORM_IGNOREWIDTH;
    for (int i = 0; i < lengthA && i < lengthB; ++i) {
        const char16_t x = ignoreWidth ? FoldWidth(a[i]) : a[i];
        const char16_t y = ignoreWidth ? FoldWidth(b[i]) : b[i];
        if (x != y) return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (lengthA == lengthB) return CSTR_EQUAL;
    return lengthA < lengthB ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

}  // namespace platform
