#include <gtest/gtest.h>

#include "app/LoginApp.h"
#include "browser/CustomControlSite.h"
#include "login/ScriptBridge.h"
#include "ui/LoginActiveDlg.h"

using namespace platform;

namespace {

// A panel that records the texts AppLogin hands it.
class RecordingPanel : public CLoginActiveDlg {
public:
    RecordingPanel() : CLoginActiveDlg(nullptr) {}
    void OnAppLogin(std::u16string text) override { logins.push_back(std::move(text)); }
    std::vector<std::u16string> logins;
};

HRESULT Lookup(CImpIDispatch& bridge, std::u16string name, DISPID& id) {
    OLECHAR* names[] = {name.data()};
    return bridge.GetIDsOfNames(IID_IUnknown, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT Call(CImpIDispatch& bridge, DISPID id, uint16_t flags, std::vector<CComVariant> reversed,
             VARIANT* result = nullptr) {
    DISPPARAMS params;
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<unsigned>(reversed.size());
    return bridge.Invoke(id, IID_IUnknown, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                         nullptr);
}

}  // namespace

TEST(ScriptBridge, NamesAreDecidedByTheirFirstThreeCharacters) {
    const struct {
        std::u16string name;
        DISPID id;
    } cases[] = {
        {u"xxyyzz", 12345},
        {u"xxy", 12345},
        {u"xxyQ", 12345},
        {u"ｘｘｙ", 12345},  // full-width letters equal their half-width forms
        {u"ｘxｙzz", 12345},
        {u"AppLogin", 10001},
        {u"Apple", 10001},
        {u"AppLoginX", 10001},
        {u"Ａｐｐ", 10001},
        {u"appLogin", DISPID_UNKNOWN},  // case matters
        {u"APPLOGIN", DISPID_UNKNOWN},
        {u"XXYyzz", DISPID_UNKNOWN},
        {u"Ap", DISPID_UNKNOWN},  // shorter than three characters: nothing
        {u"A", DISPID_UNKNOWN},
        {u"", DISPID_UNKNOWN},
        {u"xx", DISPID_UNKNOWN},
        {u"Ap\u3000", DISPID_UNKNOWN},
        {u"toString", DISPID_UNKNOWN},
    };
    CImpIDispatch bridge;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        DISPID id = 0;
        EXPECT_EQ(Lookup(bridge, c.name, id), c.id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK);
        EXPECT_EQ(id, c.id);
    }
}

TEST(ScriptBridge, SeveralNamesAtOnceReportTheUnknownOnes) {
    CImpIDispatch bridge;
    std::u16string a = u"AppLogin", b = u"nope", c = u"xxyyzz";
    OLECHAR* names[] = {a.data(), b.data(), c.data(), nullptr};
    DISPID ids[4] = {};
    EXPECT_EQ(bridge.GetIDsOfNames(IID_IUnknown, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 10001);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], 12345);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);
}

TEST(ScriptBridge, TestPropertyYieldsWibble) {
    CImpIDispatch bridge;
    CComVariant result;
    EXPECT_EQ(Call(bridge, 12345, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"Wibble");
    CComVariant untouched;
    EXPECT_EQ(Call(bridge, 12345, DISPATCH_METHOD, {}, &untouched), S_OK);
    EXPECT_EQ(untouched.vt, VT_EMPTY);
    EXPECT_EQ(Call(bridge, 12345, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
}

TEST(ScriptBridge, AppLoginHandsTheLastStringArgumentToTheOwner) {
    RecordingPanel panel;
    CImpIDispatch bridge;
    EXPECT_EQ(Call(bridge, 10001, DISPATCH_METHOD, {CComVariant(u"before owner")}), S_OK);
    bridge.m_pOwner = &panel;
    const std::u16string withNul(u"cut\0here", 8);
    const struct {
        std::vector<CComVariant> reversed;
        uint16_t flags;
    } calls[] = {
        {{CComVariant(u"{\"uid\":\"1\"}")}, DISPATCH_METHOD},
        {{CComVariant(u"second"), CComVariant(u"first")}, DISPATCH_METHOD},  // rgvarg[0] is last
        {{CComVariant(withNul)}, DISPATCH_METHOD},
        {{CComVariant(u"")}, DISPATCH_METHOD | DISPATCH_PROPERTYGET},
        {{}, DISPATCH_METHOD},                           // no argument: nothing
        {{CComVariant(42)}, DISPATCH_METHOD},            // not a string: nothing
        {{CComVariant(u"read")}, DISPATCH_PROPERTYGET},  // a property read: nothing
    };
    for (const auto& call : calls)
        EXPECT_EQ(Call(bridge, 10001, call.flags, call.reversed), S_OK);
    EXPECT_EQ(panel.logins,
              (std::vector<std::u16string>{u"{\"uid\":\"1\"}", u"second", u"cut", u""}));
    EXPECT_EQ(Call(bridge, 777, DISPATCH_METHOD, {CComVariant(u"x")}), S_OK);
}

TEST(ScriptBridge, ReferencesAreCountedButNeverFreeTheBridge) {
    RecordingPanel panel;
    CImpIDispatch bridge;
    bridge.m_pOwner = &panel;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(bridge.QueryInterface(IID_IDispatchEx, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(bridge.QueryInterface(IID_IDispatch, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatch*>(&bridge));
    EXPECT_EQ(bridge.QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(bridge.ReferenceCount(), 2);
    EXPECT_EQ(bridge.Release(), 1u);
    EXPECT_EQ(bridge.Release(), 0u);
    EXPECT_EQ(Call(bridge, 10001, DISPATCH_METHOD, {CComVariant(u"still here")}), S_OK);
    EXPECT_EQ(panel.logins, std::vector<std::u16string>{u"still here"});
    unsigned count = 99;
    EXPECT_EQ(bridge.GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 99u);
}

TEST(CompareStringW, IgnoresWidthOnlyWhenAsked) {
    const struct {
        std::u16string a, b;
        uint32_t flags;
        int result;
    } cases[] = {
        {u"abc", u"abc", 0, CSTR_EQUAL},
        {u"ａｂｃ", u"abc", NORM_IGNOREWIDTH, CSTR_EQUAL},
        {u"ａｂｃ", u"abc", 0, CSTR_GREATER_THAN},
        {u"a\u3000b", u"a b", NORM_IGNOREWIDTH, CSTR_EQUAL},
        {u"！～", u"!~", NORM_IGNOREWIDTH, CSTR_EQUAL},
        {u"ABC", u"abc", NORM_IGNOREWIDTH, CSTR_LESS_THAN},
        {u"ab", u"abc", NORM_IGNOREWIDTH, CSTR_LESS_THAN},
        {u"abd", u"abc", 0, CSTR_GREATER_THAN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            CompareStringW(0, c.flags, c.a.c_str(), static_cast<int>(c.a.size()), c.b.c_str(), -1),
            c.result);
    }
    EXPECT_EQ(CompareStringW(0, 0, nullptr, 3, u"abc", 3), 0);
}

TEST(UIHandler, AnswersAsTheHostWants) {
    CImpIDispatch bridge;
    theApp.m_pScriptBridge = &bridge;
    COleControlContainer container(nullptr);
    CCustomOccManager manager;
    std::unique_ptr<COleControlSite> site(manager.CreateSite(&container));
    ASSERT_NE(dynamic_cast<CCustomControlSite*>(site.get()), nullptr);

    void* out = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IDocHostUIHandler, &out), S_OK);
    auto* handler = static_cast<IDocHostUIHandler*>(out);
    void* identity = nullptr;
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(site.get()));
    EXPECT_EQ(handler->QueryInterface(IID_IDocHostUIHandler, &out), S_OK);
    EXPECT_EQ(out, handler);

    DOCHOSTUIINFO info;
    info.cbSize = 1234;
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 12u);
    EXPECT_EQ(info.dwDoubleClick, 0u);
    EXPECT_EQ(info.cbSize, 1234u);
    EXPECT_EQ(handler->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->HideUI(), S_OK);
    EXPECT_EQ(handler->UpdateUI(), S_OK);
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
    EXPECT_EQ(handler->EnableModeless(true), E_NOTIMPL);
    EXPECT_EQ(handler->OnDocWindowActivate(true), E_NOTIMPL);
    EXPECT_EQ(handler->OnFrameWindowActivate(true), E_NOTIMPL);
    EXPECT_EQ(handler->ResizeBorder(nullptr, nullptr, true), E_NOTIMPL);
    EXPECT_EQ(handler->GetOptionKeyPath(nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(handler->GetDropTarget(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(handler->TranslateUrl(0, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(handler->FilterDataObject(nullptr, nullptr), E_NOTIMPL);

    for (int asked = 1; asked <= 3; ++asked) {
        IDispatch* external = nullptr;
        EXPECT_EQ(handler->GetExternal(&external), S_OK);
        EXPECT_EQ(external, static_cast<IDispatch*>(&bridge));
        EXPECT_EQ(bridge.ReferenceCount(), asked);
    }
    theApp.m_pScriptBridge = nullptr;
}
