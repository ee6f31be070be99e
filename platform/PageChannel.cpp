#include "platform/PageChannel.h"

#include <json/reader.h>
#include <json/value.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/TextCodec.h"

namespace platform {

std::string EscapeText(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c >= 0x20 && c <= 0x7e && c != u'\\' && c != u';') {
            out += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
            out += code;
        }
    }
    return out;
}

std::u16string UnescapeText(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 5 < text.size() && text[i + 1] == 'u') {
            const std::string digits(text.substr(i + 2, 4));
            char* end = nullptr;
            const unsigned long code = std::strtoul(digits.c_str(), &end, 16);
            if (end == digits.c_str() + 4) {
                out += static_cast<char16_t>(code);
                i += 5;
                continue;
            }
        }
        out += static_cast<unsigned char>(text[i]);
    }
    return out;
}

namespace {

// A value of the channel as a VARIANT.
CComVariant DecodeValue(std::string_view value) {
    CComVariant result;
    if (value.empty()) return result;
    switch (value[0]) {
        case 's':
            return CComVariant(UnescapeText(value.substr(1)));
        case 'n': {
            const std::string text(value.substr(1));
            const double number = std::strtod(text.c_str(), nullptr);
            if (std::isfinite(number) && number == std::trunc(number) && number >= INT32_MIN &&
                number <= INT32_MAX) {
                return CComVariant(static_cast<int32_t>(number));
            }
            result.vt = VT_R8;
            result.dblVal = number;
            return result;
        }
        case 'b':
            result.vt = VT_BOOL;
            result.boolVal = value.size() > 1 && value[1] == '1' ? VARIANT_TRUE : VARIANT_FALSE;
            return result;
        case 'z':
            result.vt = VT_NULL;
            return result;
        case 'o':
            result.vt = VT_DISPATCH;
            result.pdispVal = nullptr;
            return result;
        default:
            return result;
    }
}

std::string EncodeValue(const VARIANT& value) {
    char number[40];
    switch (value.vt) {
        case VT_BSTR:
            return "s" + EscapeText(std::u16string_view(value.bstrVal ? value.bstrVal : u"",
                                                        SysStringLen(value.bstrVal)));
        case VT_I4:
            return "n" + std::to_string(value.lVal);
        case VT_UINT:
            return "n" + std::to_string(value.uintVal);
        case VT_R8:
            std::snprintf(number, sizeof number, "%.17g", value.dblVal);
            return std::string("n") + number;
        case VT_BOOL:
            return value.boolVal ? "b1" : "b0";
        case VT_NULL:
            return "z";
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return "o";
        default:
            return "u";
    }
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(';', start);
        fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

bool ParseDispId(std::string_view text, DISPID& id) {
    const std::string digits(text);
    char* end = nullptr;
    const long value = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
    id = static_cast<DISPID>(value);
    return true;
}

// Members of the page's JSON, read without trusting their types.
std::string StringMember(const Json::Value& object, const char* name) {
    const Json::Value& value = object[name];
    return value.isString() ? value.asString() : std::string();
}
bool BoolMember(const Json::Value& object, const char* name) {
    const Json::Value& value = object[name];
    return value.isBool() && value.asBool();
}
uint64_t UInt64Member(const Json::Value& object, const char* name) {
    const Json::Value& value = object[name];
    return value.isUInt64() ? value.asUInt64() : 0;
}
uint32_t UIntMember(const Json::Value& object, const char* name) {
    const Json::Value& value = object[name];
    return value.isUInt() ? value.asUInt() : 0;
}

std::optional<Json::Value> ParseObject(const std::string& json) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = 200;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (!reader->parse(json.data(), json.data() + json.size(), &root, &errors)) {
            return std::nullopt;
        }
    } catch (const std::exception&) {  // nesting beyond the limit
        return std::nullopt;
    }
    if (!root.isObject()) return std::nullopt;
    return root;
}

ElementData ParseElement(const Json::Value& element) {
    ElementData data;
    if (!element.isObject()) return data;
    data.tagName = Utf8ToWide(StringMember(element, "tag"));
    data.isAnchor = BoolMember(element, "anchor");
    data.href = Utf8ToWide(StringMember(element, "href"));
    data.id = UInt64Member(element, "id");
    return data;
}

DocumentSnapshot ParseSnapshot(const Json::Value& root) {
    DocumentSnapshot snapshot;
    if (!root.isObject()) return snapshot;
    snapshot.url = Utf8ToWide(StringMember(root, "url"));
    const Json::Value& elements = root["elements"];
    if (!elements.isArray()) return snapshot;
    snapshot.elements.reserve(elements.size());
    for (const Json::Value& element : elements)
        snapshot.elements.push_back(ParseElement(element));
    return snapshot;
}

}  // namespace

PageMessage ParsePageMessage(const std::string& json) {
    PageMessage message;
    const std::optional<Json::Value> root = ParseObject(json);
    if (!root) return message;
    const std::string type = StringMember(*root, "t");
    message.top = BoolMember(*root, "top");
    message.url = Utf8ToWide(StringMember(*root, "url"));
    if (type == "navigate") {
        message.kind = PageMessage::Navigate;
    } else if (type == "complete") {
        message.kind = PageMessage::Complete;
        if (message.top) message.document = ParseSnapshot((*root)["doc"]);
    } else if (type == "snapshot") {
        message.kind = PageMessage::Snapshot;
        message.request = UIntMember(*root, "id");
        message.document = ParseSnapshot((*root)["doc"]);
    } else if (type == "click") {
        message.kind = PageMessage::Click;
        message.cookie = UIntMember(*root, "cookie");
        const Json::Value& source = (*root)["src"];
        if (source.isObject()) message.source = ParseElement(source);
    }
    return message;
}

std::optional<DocumentSnapshot> ParseDocumentSnapshot(const std::string& json) {
    const std::optional<Json::Value> root = ParseObject(json);
    if (!root) return std::nullopt;
    return ParseSnapshot(*root);
}

std::string AnswerExternalRequest(IDispatch* external, const std::string& request) {
    if (request.empty() || !external) return "N";
    const char op = request[0];
    const std::string_view body = std::string_view(request).substr(1);
    if (op == 'G' || op == 'H') {
        std::u16string name = UnescapeText(body);
        OLECHAR* names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(external->GetIDsOfNames(IID_IUnknown, names, 1, LOCALE_USER_DEFAULT, &id)) ||
            id == DISPID_UNKNOWN) {
            return "N";
        }
        std::string answer = "F" + std::to_string(id);
        if (op == 'H') return answer;
        CComVariant value;
        DISPPARAMS none;
        if (FAILED(external->Invoke(id, IID_IUnknown, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                    &none, &value, nullptr, nullptr))) {
            VariantClear(&value);
        }
        return answer + ";" + EncodeValue(value);
    }
    const std::vector<std::string_view> fields = SplitFields(body);
    DISPID id;
    if (fields.empty() || !ParseDispId(fields[0], id)) return "E";
    std::vector<CComVariant> arguments;
    uint16_t flags = DISPATCH_METHOD;
    DISPID putId = -3;  // DISPID_PROPERTYPUT: the named argument of a property put
    DISPPARAMS params;
    if (op == 'I') {
        for (size_t i = fields.size(); i > 2; --i)
            arguments.push_back(DecodeValue(fields[i - 1]));
    } else if (op == 'P' && fields.size() == 2) {
        flags = DISPATCH_PROPERTYPUT;
        arguments.push_back(DecodeValue(fields[1]));
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    } else {
        return "E";
    }
    params.rgvarg = arguments.empty() ? nullptr : arguments.data();
    params.cArgs = static_cast<unsigned>(arguments.size());
    CComVariant result;
    const HRESULT hr = external->Invoke(id, IID_IUnknown, LOCALE_USER_DEFAULT, flags, &params,
                                        &result, nullptr, nullptr);
    if (FAILED(hr)) return "E";
    return "R" + EncodeValue(result);
}

}  // namespace platform
