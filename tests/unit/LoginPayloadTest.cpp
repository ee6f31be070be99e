#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/LoginApp.h"
#include "login/LoginPayload.h"
#include "platform/TextCodec.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;

namespace {

// Runs each test in a fresh working directory, where "log.txt" is written.
class RecordLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        theApp.m_strLoginData = "previous,login";
    }
    void TearDown() override { std::filesystem::current_path(previous_); }
    std::string Log() const { return ReadFile(dir_ / "log.txt"); }

    TempDir dir_{"record-login"};
    std::filesystem::path previous_;
    ScopedThreadLocale locale_{"C.UTF-8"};
};

constexpr char16_t kGood[] =
    u"{\"uid\":\"1001\",\"token\":\"t0k\",\"server_id\":\"7\",\"other\":\"o\",\"sign\":\"s1g\"}";

}  // namespace

TEST_F(RecordLoginTest, LogsTextAndCredentialAndStoresLoginData) {
    const struct {
        const char* name;
        std::u16string json;
        std::string credential;  // empty: the text is not a login result
        std::string loginData;
    } cases[] = {
        {"plain", kGood, "t0k&7&o&s1g", "1001,t0k&7&o&s1g"},
        {"reordered with extra members",
         u"{\"sign\":\"s\",\"extra\":[1,{}],\"other\":\"o\",\"server_id\":\"9\",\"token\":\"t\","
         u"\"uid\":\"u\"}",
         "t&9&o&s", "u,t&9&o&s"},
        {"comments",
         u"// line comment\n{\"uid\":\"u\", /* block */ \"token\":\"t\",\"server_id\":\"1\","
         u"\"other\":\"\",\"sign\":\"x\"}",
         "t&1&&x", "u,t&1&&x"},
        {"all empty",
         u"{\"uid\":\"\",\"token\":\"\",\"server_id\":\"\",\"other\":\"\",\"sign\":\"\"}", "&&&",
         ",&&&"},
        {"NUL escapes cut the value",
         u"{\"uid\":\"ab\\u0000cd\",\"token\":\"t\\u0000\",\"server_id\":\"1\",\"other\":\"o\","
         u"\"sign\":\"s\"}",
         "t&1&o&s", "ab,t&1&o&s"},
        {"numbers and booleans by their text",
         u"{\"uid\":1001,\"token\":\"t\",\"server_id\":007.50,\"other\":true,\"sign\":-1e3}",
         "t&007.50&true&-1e3", "1001,t&007.50&true&-1e3"},
        {"non-ASCII",
         u"{\"uid\":\"玩家\",\"token\":\"令牌\",\"server_id\":\"1\",\"other\":\"o\",\"sign\":"
         u"\"s\"}",
         "令牌&1&o&s", "玩家,令牌&1&o&s"},
        {"commas inside values",
         u"{\"uid\":\"a,b\",\"token\":\"t,u\",\"server_id\":\"1\",\"other\":\"o\",\"sign\":\"s\"}",
         "t,u&1&o&s", "a,b,t,u&1&o&s"},
        {"empty text", u"", "", ""},
        {"malformed", u"{\"uid\":", "", ""},
        {"root is an array", u"[\"uid\",\"token\"]", "", ""},
        {"root is a string", u"\"uid\"", "", ""},
        {"member missing", u"{\"uid\":\"u\",\"token\":\"t\",\"server_id\":\"1\",\"other\":\"o\"}",
         "", ""},
        {"member null",
         u"{\"uid\":null,\"token\":\"t\",\"server_id\":\"1\",\"other\":\"o\",\"sign\":\"s\"}", "",
         ""},
        {"member array",
         u"{\"uid\":\"u\",\"token\":[],\"server_id\":\"1\",\"other\":\"o\",\"sign\":\"s\"}", "",
         ""},
        {"member object",
         u"{\"uid\":\"u\",\"token\":\"t\",\"server_id\":{},\"other\":\"o\",\"sign\":\"s\"}", "",
         ""},
        {"deep nesting", std::u16string(100000, u'['), "", ""},
        {"deep nesting inside a member", u"{\"uid\":" + std::u16string(5000, u'[') + u"}", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_ / "log.txt");
        theApp.m_strLoginData = "previous,login";
        const bool recorded = RecordLogin(c.json);
        const std::string firstLine = platform::WideToUtf8(c.json) + "\n";
        if (c.credential.empty()) {
            EXPECT_FALSE(recorded);
            EXPECT_EQ(Log(), firstLine);
            EXPECT_EQ(theApp.m_strLoginData, "previous,login");
        } else {
            EXPECT_TRUE(recorded);
            EXPECT_EQ(Log(), firstLine + c.credential + "\n");
            EXPECT_EQ(theApp.m_strLoginData, c.loginData);
        }
    }
}

TEST_F(RecordLoginTest, AppendsToAnExistingLogAndCreatesItPrivate) {
    RecordLogin(u"not json");
    struct stat st;
    ASSERT_EQ(stat("log.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    RecordLogin(kGood);
    EXPECT_EQ(Log(), "not json\n" + platform::WideToUtf8(kGood) + "\nt0k&7&o&s1g\n");
}

TEST_F(RecordLoginTest, UnwritableLogDoesNotStopTheLogin) {
    std::filesystem::create_directory("log.txt");  // cannot be opened as a file, even by root
    EXPECT_TRUE(RecordLogin(kGood));
    EXPECT_EQ(theApp.m_strLoginData, "1001,t0k&7&o&s1g");
}

TEST_F(RecordLoginTest, CharactersTheCodeSetLacksBecomeQuestionMarks) {
    ScopedThreadLocale c("C");
    RecordLogin(
        u"{\"uid\":\"玩家\",\"token\":\"t\",\"server_id\":\"1\",\"other\":\"o\",\"sign\":\"s\"}");
    EXPECT_EQ(theApp.m_strLoginData, "??,t&1&o&s");
    EXPECT_EQ(Log(),
              "{\"uid\":\"??\",\"token\":\"t\",\"server_id\":\"1\",\"other\":\"o\",\"sign\":\"s\"}"
              "\nt&1&o&s\n");
}
