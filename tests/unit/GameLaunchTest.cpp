#include <gtest/gtest.h>

#include <filesystem>

#include "login/GameLaunch.h"
#include "platform/Process.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedThreadLocale;
using Fields = std::vector<std::string>;

TEST(SplitString, DropsEmptyPieces) {
    const struct {
        std::string text, delimiter;
        Fields fields;
    } cases[] = {
        {"", ",", {}},
        {",,,", ",", {}},
        {"a", ",", {"a"}},
        {"a,b", ",", {"a", "b"}},
        {",a,,b,", ",", {"a", "b"}},
        {"a,b,c,d", ",", {"a", "b", "c", "d"}},
        {" a , b ", ",", {" a ", " b "}},
        {"a::b::::c", "::", {"a", "b", "c"}},
        {"a,b", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.delimiter);
        Fields fields;
        EXPECT_EQ(SplitString(c.text, fields, c.delimiter), 0);
        EXPECT_EQ(fields, c.fields);
    }
}

TEST(SplitString, AppendsToWhatTheListHolds) {
    Fields fields{"x"};
    SplitString("a,b", fields, ",");
    EXPECT_EQ(fields, (Fields{"x", "a", "b"}));
}

TEST(BuildLaunchCommandLine, PiecesForEachFieldCount) {
    const std::string path = "\"/opt/game/velmo_tolqa_launch.exe\"";
    const struct {
        std::u16string loginData;
        std::string arguments;
    } cases[] = {
        {u"1001,tok&7&x&sig", " ,id^1001,auth_key^tok&7&x&sig"},
        {u"1001,key,parent", " ,id^1001,auth_key^key,parent^parent"},
        {u"1001,key,parent,extra,more", " ,id^1001,auth_key^key,parent^parent"},
        {u",1001,,key,", " ,id^1001,auth_key^key"},
        {u",,1001,,,key,,,p,,", " ,id^1001,auth_key^key,parent^p"},
        {u"only", " ,id^only,auth_key^"},
        {u",&&&", " ,id^&&&,auth_key^"},
        {u"", " ,id^,auth_key^"},
        {u"a b,\"q\";$(x)`y`|z", " ,id^a b,auth_key^\"q\";$(x)`y`|z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(BuildLaunchCommandLine(u"/opt/game", c.loginData), path + c.arguments);
    }
}

TEST(BuildLaunchCommandLine, DirectoryIsQuotedAndConvertedInTheThreadCodeSet) {
    {
        ScopedThreadLocale locale("C.UTF-8");
        EXPECT_EQ(BuildLaunchCommandLine(u"/home/p q/游戏", u"u,k"),
                  "\"/home/p q/\xE6\xB8\xB8\xE6\x88\x8F/velmo_tolqa_launch.exe\" ,id^u,auth_key^k");
        EXPECT_EQ(BuildLaunchCommandLine(u"/x", u"玩家,k"),
                  "\"/x/velmo_tolqa_launch.exe\" ,id^\xE7\x8E\xA9\xE5\xAE\xB6,auth_key^k");
    }
    {
        ScopedThreadLocale locale("C");
        EXPECT_EQ(BuildLaunchCommandLine(u"/home/p q/游戏", u"玩家,k"),
                  "\"/home/p q/?"
                  "?/velmo_tolqa_launch.exe\" ,id^?"
                  "?,auth_key^k");
    }
}

TEST(SplitWindowsCommandLine, WindowsRules) {
    const struct {
        std::string line;
        Fields argv;
    } cases[] = {
        {"\"/a b/x.exe\" ,id^1,auth_key^2", {"/a b/x.exe", ",id^1,auth_key^2"}},
        {"/a/x.exe one\ttwo   three", {"/a/x.exe", "one", "two", "three"}},
        {"\"/a\\\"b\" c", {"/a\\", "b c"}},  // no escapes in the program name
        {"x \"a b\" c", {"x", "a b", "c"}},
        {"x a\"b c\"d", {"x", "ab cd"}},
        {"x \\\"a\\\"", {"x", "\"a\""}},
        {"x a\\\\\"b c\"", {"x", "a\\b c"}},
        {"x a\\\\\\\"b", {"x", "a\\\"b"}},
        {"x a\\b\\\\c", {"x", "a\\b\\\\c"}},
        {"x \"a\"\"b\"", {"x", "a\"b"}},
        {"x \"\" y", {"x", "", "y"}},
        {"x \"unterminated arg", {"x", "unterminated arg"}},
        {"x ;$(rm -rf /)`id`|cat", {"x", ";$(rm", "-rf", "/)`id`|cat"}},
        {"", {""}},
        {"\"", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(platform::SplitWindowsCommandLine(c.line), c.argv);
    }
}

TEST(GetModuleDirectory, IsTheDirectoryOfThisProgram) {
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::u16string directory = GetModuleDirectory();
    EXPECT_EQ(std::filesystem::path(directory), self.parent_path());
    EXPECT_NE(directory.back(), u'/');
}
