#include <gtest/gtest.h>

#include "login/TextConversion.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedThreadLocale;

namespace {

struct Case {
    const char* name;
    std::u16string wide;
    std::string utf8Narrow;   // WideToNarrow in a UTF-8 locale
    std::string asciiNarrow;  // WideToNarrow in the C locale
};

const Case kCases[] = {
    {"empty", u"", "", ""},
    {"ascii", u"uid=42&sign", "uid=42&sign", "uid=42&sign"},
    {"chinese", u"启动游戏", "\xE5\x90\xAF\xE5\x8A\xA8\xE6\xB8\xB8\xE6\x88\x8F", "????"},
    {"latin", u"caf\u00E9", "caf\xC3\xA9", "caf?"},
    {"surrogate pair", u"a\U0001F600b",
     "a\xF0\x9F\x98\x80"
     "b",
     "a?b"},
    {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b", "a?b"},
    {"lone low surrogate at end", std::u16string(u"a") + char16_t(0xDC00), "a?", "a?"},
    {"embedded NUL", std::u16string(u"a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
};

}  // namespace

TEST(TextConversion, WideToNarrowInUtf8AndCLocales) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        {
            ScopedThreadLocale locale("C.UTF-8");
            ASSERT_TRUE(locale.ok());
            EXPECT_EQ(WideToNarrow(c.wide), c.utf8Narrow);
        }
        {
            ScopedThreadLocale locale("C");
            EXPECT_EQ(WideToNarrow(c.wide), c.asciiNarrow);
        }
    }
}

TEST(TextConversion, NarrowToWideRoundTripsWhatTheCodeSetHolds) {
    ScopedThreadLocale locale("C.UTF-8");
    for (const Case& c : kCases) {
        if (c.wide.find(char16_t(0xD800)) != std::u16string::npos ||
            c.wide.find(char16_t(0xDC00)) != std::u16string::npos) {
            continue;  // unpaired surrogates have no narrow form
        }
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NarrowToWide(c.utf8Narrow), c.wide);
    }
}

TEST(TextConversion, InvalidNarrowBytesBecomeReplacementCharacters) {
    const std::u16string fffd(1, char16_t(0xFFFD));
    {
        ScopedThreadLocale locale("C.UTF-8");
        EXPECT_EQ(NarrowToWide("a\xFF"
                               "b"),
                  u"a" + fffd + u"b");
        EXPECT_EQ(NarrowToWide("\xE5\x90"), fffd + fffd);             // cut sequence
        EXPECT_EQ(NarrowToWide("\xC0\xAF"), fffd + fffd);             // overlong '/'
        EXPECT_EQ(NarrowToWide("\xED\xA0\x80"), fffd + fffd + fffd);  // encoded surrogate
    }
    {
        ScopedThreadLocale locale("C");
        EXPECT_EQ(NarrowToWide("a\xE5\x90\xAF"
                               "b"),
                  u"a" + fffd + fffd + fffd + u"b");
    }
}

TEST(TextConversion, LongTextConvertsWhole) {
    ScopedThreadLocale locale("C");
    std::u16string wide(100000, u'x');
    wide[50000] = u'启';
    const std::string narrow = WideToNarrow(wide);
    ASSERT_EQ(narrow.size(), wide.size());
    EXPECT_EQ(narrow[50000], '?');
    EXPECT_EQ(NarrowToWide(narrow).size(), wide.size());
}
