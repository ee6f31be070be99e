// The page's messages and the window.external channel, as data.
#include <gtest/gtest.h>

#include "login/ScriptBridge.h"
#include "platform/PageChannel.h"

using namespace platform;

TEST(PageChannel, MessagesWithBadMembersKeepWhatIsGood) {
    const PageMessage complete = ParsePageMessage(
        R"({"t":"complete","top":true,"url":"http://x/","doc":{"url":"http://x/","elements":[
            {"tag":"A","anchor":true,"href":"http://x/a","id":7},
            {"tag":["A"],"anchor":"yes","href":{"x":1},"id":-3},
            5,
            {"tag":"P","id":18446744073709551615}]}})");
    ASSERT_EQ(complete.kind, PageMessage::Complete);
    EXPECT_TRUE(complete.top);
    ASSERT_EQ(complete.document.elements.size(), 4u);
    EXPECT_EQ(complete.document.elements[0].href, u"http://x/a");
    EXPECT_EQ(complete.document.elements[0].id, 7u);
    EXPECT_TRUE(complete.document.elements[0].isAnchor);
    EXPECT_EQ(complete.document.elements[1].tagName, u"");  // wrong types read as empty
    EXPECT_FALSE(complete.document.elements[1].isAnchor);
    EXPECT_EQ(complete.document.elements[1].id, 0u);
    EXPECT_EQ(complete.document.elements[3].id, UINT64_MAX);

    const PageMessage snapshot = ParsePageMessage(
        R"({"t":"snapshot","id":3,"doc":{"url":"http://x/","elements":[{"tag":"A"}]}})");
    EXPECT_EQ(snapshot.kind, PageMessage::Snapshot);
    EXPECT_EQ(snapshot.request, 3u);
    EXPECT_EQ(snapshot.document.elements.size(), 1u);

    const PageMessage click = ParsePageMessage(R"({"t":"click","cookie":-1,"src":"a"})");
    EXPECT_EQ(click.kind, PageMessage::Click);
    EXPECT_EQ(click.cookie, 0u);
    EXPECT_FALSE(click.source);

    for (const std::string& bad :
         std::vector<std::string>{"", "[]", "\"complete\"", "{\"t\":7}", "{", "{\"t\":\"other\"}",
                                  std::string(100000, '[') + std::string(100000, ']')}) {
        EXPECT_EQ(ParsePageMessage(bad).kind, PageMessage::None) << bad.substr(0, 20);
    }
    EXPECT_FALSE(ParseDocumentSnapshot("[1]"));
    EXPECT_TRUE(ParseDocumentSnapshot("{}"));
}

TEST(PageChannel, TextsPassWholeThroughTheEscapes) {
    const std::u16string text = std::u16string(u"a;b\\c\0d\xD800 e\u00e9\u4e2d", 11);
    EXPECT_EQ(UnescapeText(EscapeText(text)), text);
    EXPECT_EQ(EscapeText(u";\\"), "\\u003b\\u005c");
    EXPECT_EQ(UnescapeText("\\u00"), u"\\u00");  // a cut escape stays as written
    EXPECT_EQ(UnescapeText("\\uzzzz"), u"\\uzzzz");
}

TEST(PageChannel, RequestsAgainstTheBridge) {
    CImpIDispatch bridge;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "N"},
        {"Gxxyyzz", "F12345;sWibble"},
        {"GAppLogin", "F10001;u"},  // a method: its value is empty
        {"GAPPLOGIN", "N"},         // names are matched by case
        {"Hxxyyzz", "F12345"},
        {"Gnothing", "N"},
        {"I10001;o;sabc", "Ru"},  // no panel yet: AppLogin does nothing
        {"I99;o", "Ru"},          // the bridge answers every id
        {"Ixyz;o", "E"},
        {"I99999999999;o", "E"},
        {"P12345;n1", "Ru"},
        {"P12345", "E"},
        {"X", "E"},
    };
    for (const auto& [request, answer] : cases)
        EXPECT_EQ(AnswerExternalRequest(&bridge, request), answer) << request;
    EXPECT_EQ(AnswerExternalRequest(nullptr, "Gxxyyzz"), "N");
}
