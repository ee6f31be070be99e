// The code-callback road, new windows, a crashing web process, an unreachable login host and
// the browser's persistent storage, with real WebKit under an X server.
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "platform/BrowserHost.h"
#include "tests/gui/PanelFixture.h"

using namespace guitest;

namespace {

// Puts a copy of the launcher stand-in beside this test program, where the launch looks.
void PlaceLauncherBesideProgram() {
    const fs::path beside =
        fs::canonical("/proc/self/exe").parent_path() / "velmo_tolqa_launch.exe";
    if (fs::exists(beside)) return;
    const fs::path temporary = beside.string() + ".placing-" + std::to_string(getpid());
    fs::copy_file(ARGV_RECORDER_PATH, temporary, fs::copy_options::overwrite_existing);
    fs::rename(temporary, beside);
}

// The web processes this process started.
std::vector<pid_t> WebProcesses() {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(WebKitWebProces") == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid()) found.push_back(pid);
    }
    closedir(proc);
    return found;
}

}  // namespace

TEST_F(BrowserTest, CodeCallbackAddressStartsTheLauncherWithIt) {
    PlaceLauncherBesideProgram();
    testsupport::TempDir records("records");
    Page("/orbyl/codeCallback.htm", "signed in");
    Page("/orbyl/CodeCallback.htm", "signed in");
    Page("/login", "a login page");
    Page("/outer", "<iframe src=\"/orbyl/codeCallback.htm?code=in-a-frame\"></iframe>");
    const struct {
        std::string path;         // where the panel goes
        std::string launchedFor;  // the address the launcher gets; empty: no start
    } cases[] = {
        {"/orbyl/codeCallback.htm?code=abc", "/orbyl/codeCallback.htm?code=abc"},
        {"/orbyl/codeCallback.htm?code=abc&needCode=1", ""},
        {"/login?needCode=1&next=/orbyl/codeCallback.htm?code=abc", ""},
        {"/orbyl/CodeCallback.htm?code=abc", ""},
        {"/outer", "/orbyl/codeCallback.htm?code=in-a-frame"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ResetQuitRequestForTesting();
        const fs::path record = records / ("argv-" + std::to_string(n++));
        setenv("ARGV_RECORD", record.c_str(), 1);
        TestPanel panel;
        panel.StartBrowser(Utf8ToWide(Url(c.path)));
        ASSERT_TRUE(panel.WaitForCompleted(Url(c.path)));
        if (c.launchedFor.empty()) {
            SpinFor(milliseconds(300));
            EXPECT_FALSE(fs::exists(record));
            EXPECT_FALSE(IsQuitPending());
            continue;
        }
        ASSERT_TRUE(testsupport::WaitForFile(record, seconds(10)));
        const std::vector<std::string> argv =
            testsupport::SplitRecord(testsupport::ReadFile(record));
        ASSERT_EQ(argv.size(), 2u);
        EXPECT_EQ(argv[1], ",id^" + Url(c.launchedFor) + ",auth_key^");
        EXPECT_EQ(PostedQuitCode(), 16);
        EXPECT_TRUE(panel.m_mapElementConnections.empty());
    }
    unsetenv("ARGV_RECORD");
}

TEST_F(BrowserTest, NewWindowsOpenInTheDefaultBrowser) {
    testsupport::TempDir bin("bin");
    fs::copy_file(ARGV_RECORDER_PATH, bin / "xdg-open");
    const std::string savedPath = std::getenv("PATH");
    setenv("PATH", (bin.path().string() + ":" + savedPath).c_str(), 1);
    setenv("ARGV_RECORD", (bin / "opened").c_str(), 1);
    Page("/popups",
         "<body style=\"margin:0\"><a href=\"" + Url("/elsewhere") +
             "\" target=\"_blank\" style=\"display:block;width:300px;height:100px\">away</a>"
             "<button onclick=\"window.open('" +
             Url("/scripted") +
             "')\" style=\"display:block;width:300px;height:100px\">open</button></body>");
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/popups")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/popups")));
    panel.ClickAt(50, 50);
    ASSERT_TRUE(SpinUntil([&] { return fs::exists(bin / "opened"); }, seconds(10)));
    EXPECT_EQ(testsupport::SplitRecord(testsupport::ReadFile(bin / "opened")),
              (std::vector<std::string>{(bin / "xdg-open").string(), Url("/elsewhere")}));
    fs::remove(bin / "opened");
    panel.ClickAt(50, 150);
    ASSERT_TRUE(SpinUntil([&] { return fs::exists(bin / "opened"); }, seconds(10)));
    EXPECT_EQ(testsupport::SplitRecord(testsupport::ReadFile(bin / "opened")),
              (std::vector<std::string>{(bin / "xdg-open").string(), Url("/scripted")}));
    EXPECT_EQ(panel.navigated, std::vector<std::string>{Url("/popups")});  // the panel stayed
    setenv("PATH", savedPath.c_str(), 1);
    unsetenv("ARGV_RECORD");
}

TEST_F(BrowserTest, PageComesBackAfterTheWebProcessCrashes) {
    std::atomic_int loads{0};
    server_->Get("/page", [&](const httplib::Request&, httplib::Response& res) {
        ++loads;
        res.set_header("Cache-Control", "no-store");  // a reload must come back here
        res.set_content("<body style=\"background:#3366cc\">login</body>", "text/html");
    });
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/page")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/page")));
    const std::vector<pid_t> processes = WebProcesses();
    ASSERT_FALSE(processes.empty());
    for (pid_t pid : processes)
        kill(pid, SIGKILL);
    EXPECT_TRUE(SpinUntil([&] { return loads == 2; }));
    EXPECT_TRUE(SpinUntil([&] {
        return std::count(panel.completed.begin(), panel.completed.end(), Url("/page")) == 2;
    }));
}

TEST_F(BrowserTest, UnreachableLoginHostStillShowsTheBrowser) {
    int port;
    {
        testsupport::RawServer closed([](int, const std::string&) {});
        port = closed.port();
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/client";
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(url));
    EXPECT_FALSE(panel.m_browser.IsWindowVisible());
    ASSERT_TRUE(panel.WaitForNavigated(url));
    EXPECT_TRUE(panel.m_browser.IsWindowVisible());
}

TEST_F(BrowserTest, FloodOfHugeAndBadLoginsIsEachLoggedAndTheNextGoodOneStillWorks) {
    std::atomic_bool done{false};
    server_->Post("/done", [&](const httplib::Request&, httplib::Response&) { done = true; });
    Page("/flood", R"(<!doctype html><script>
for (let i = 0; i < 2000; ++i) window.external.AppLogin('junk ' + i);
window.external.AppLogin('x'.repeat(8 * 1024 * 1024));
for (const odd of [{}, null, [1, 2], 1e308, -0, true]) window.external.AppLogin(odd);
for (let i = 0; i < 100; ++i) window.external.AppLogin('{"uid":' + i + '}');
const x = new XMLHttpRequest(); x.open('POST', '/done', false); x.send('');
</script>)");
    PlaceLauncherBesideProgram();
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/flood")));
    ASSERT_TRUE(SpinUntil([&] { return done.load(); }, seconds(120)));
    EXPECT_FALSE(IsQuitPending()) << "nothing was a login";
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2000 + 1 + 100)
        << "an argument that is no text hands nothing over";
    EXPECT_NE(log.find("\n" + std::string(8 * 1024 * 1024, 'x') + "\n"), std::string::npos);

    panel.OnAppLogin(
        u"{\"uid\":\"1\",\"token\":\"t\",\"server_id\":\"2\",\"other\":\"o\",\"sign\":\"s\"}");
    EXPECT_EQ(PostedQuitCode(), 16);
}

TEST_F(BrowserTest, LoginHostThatNeverAnswersGetsAPageWithAWayToTryAgain) {
    testsupport::RawServer silent([](int socket, const std::string&) {
        pollfd fd{socket, POLLIN, 0};
        char scratch[256];
        while (poll(&fd, 1, 20000) > 0 && recv(socket, scratch, sizeof scratch, 0) > 0) {
        }
    });
    SetPageLoadTimeout(1500);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(silent.port()) + "/client?a=1&b=\"";
    const std::string href =
        "http://127.0.0.1:" + std::to_string(silent.port()) + "/client?a=1&b=%22";
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(url));
    EXPECT_TRUE(SpinUntil([&] { return panel.m_browser.IsWindowVisible(); }, seconds(20)));
    EXPECT_TRUE(SpinUntil([&] { return panel.Keys().count(href) == 1; }, seconds(10)))
        << "the page links back to the login address; links: " << [&] {
               std::string all;
               for (const std::string& key : panel.Keys())
                   all += key + " ";
               for (const std::string& done : panel.completed)
                   all += "| completed " + done;
               for (const std::string& done : panel.navigated)
                   all += "| navigated " + done;
               return all;
           }();
    SetPageLoadTimeout(30000);
}

TEST_F(BrowserTest, LoginAddressThatIsNoPageStillShowsTheBrowser) {
    server_->Get("/client", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("not a page",
                        "application/octet-stream");  // the browser would only download it
    });
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/client")));
    ASSERT_TRUE(panel.WaitForNavigated(Url("/client")));
    EXPECT_TRUE(panel.m_browser.IsWindowVisible());
}

TEST_F(BrowserTest, CookiesAreKeptInTheUsersDataDirectory) {
    server_->Get("/remember", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "remember_me=player-1001; Max-Age=2592000; Path=/");
        res.set_content("signed in", "text/html");
    });
    std::string cookieSeen;
    server_->Get("/again", [&](const httplib::Request& req, httplib::Response& res) {
        cookieSeen = req.get_header_value("Cookie");
        res.set_content("welcome back", "text/html");
    });
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/remember")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/remember")));
    panel.m_browser.Navigate(Utf8ToWide(Url("/again")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/again")));
    EXPECT_EQ(cookieSeen, "remember_me=player-1001");
    const fs::path store =
        fs::path(std::getenv("XDG_DATA_HOME")) / "qarvelle-login" / "cookies.sqlite";
    EXPECT_TRUE(SpinUntil(
        [&] { return testsupport::ReadFile(store).find("player-1001") != std::string::npos; },
        seconds(15)))
        << store;
}
