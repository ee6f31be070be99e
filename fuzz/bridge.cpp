// window.external: the bridge's GetIDsOfNames and Invoke with arbitrary names, ids, flags and
// arguments, directly and through the page channel's requests. The login panel is a recorder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "login/ScriptBridge.h"
#include "platform/PageChannel.h"
#include "ui/LoginActiveDlg.h"

using namespace platform;

namespace {

// Takes the login text and does nothing with it: no hand-off, no window.
class RecordingPanel : public CLoginActiveDlg {
public:
    RecordingPanel() : CLoginActiveDlg(nullptr) {}
    void OnAppLogin(std::u16string) override {}
};

std::u16string WideText(FuzzedDataProvider& input, size_t max) {
    const std::string bytes = input.ConsumeRandomLengthString(max * 2);
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                        (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return text;
}

CComVariant Argument(FuzzedDataProvider& input) {
    CComVariant value;
    switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return CComVariant(WideText(input, 64));
        case 1:
            return CComVariant(input.ConsumeIntegral<int32_t>());
        case 2:
            value.vt = VT_R8;
            value.dblVal = input.ConsumeFloatingPoint<double>();
            return value;
        case 3:
            value.vt = VT_BOOL;
            value.boolVal = input.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
            return value;
        case 4:
            value.vt = VT_NULL;
            return value;
        case 5:
            value.vt = VT_DISPATCH;
            value.pdispVal = nullptr;
            return value;
        case 6:
            value.vt = VT_BSTR;
            value.bstrVal = nullptr;
            return value;  // a null BSTR
        default:
            return value;  // empty
    }
}

void DirectCalls(CImpIDispatch& bridge, FuzzedDataProvider& input) {
    std::u16string name = WideText(input, 32);
    std::u16string second = WideText(input, 32);
    OLECHAR* names[] = {name.data(), second.data()};
    DISPID ids[2] = {0, 0};
    bridge.GetIDsOfNames(IID_IUnknown, names, input.ConsumeIntegralInRange(0u, 2u),
                         LOCALE_USER_DEFAULT, ids);

    std::vector<CComVariant> arguments(input.ConsumeIntegralInRange(0, 4));
    for (CComVariant& argument : arguments)
        argument = Argument(input);
    DISPID named = input.ConsumeIntegral<DISPID>();
    DISPPARAMS params;
    params.rgvarg = arguments.empty() ? nullptr : arguments.data();
    params.cArgs = static_cast<unsigned>(arguments.size());
    if (input.ConsumeBool() && !arguments.empty()) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    const DISPID id = input.ConsumeBool() ? ids[0] : input.ConsumeIntegral<DISPID>();
    const uint16_t flags = input.ConsumeIntegral<uint16_t>();
    CComVariant result;
    unsigned argError = 0;
    const bool withParams = input.ConsumeBool();
    const bool withResult = input.ConsumeBool();
    bridge.Invoke(id, IID_IUnknown, LOCALE_USER_DEFAULT, flags, withParams ? &params : nullptr,
                  withResult ? &result : nullptr, nullptr, &argError);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    RecordingPanel panel;
    CImpIDispatch bridge;
    bridge.m_pOwner = input.ConsumeBool() ? &panel : nullptr;
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeBool()) {
            DirectCalls(bridge, input);
        } else {
            const std::string answer =
                AnswerExternalRequest(&bridge, input.ConsumeRandomLengthString(256));
            if (answer.empty()) std::abort();
        }
    }
    if (bridge.ReferenceCount() != 0) std::abort();  // every reference handed out came back
    return 0;
}
