// The built program, started as a player would start it, on its own display, against an
// operator served on loopback: each way the program ends, with its exit code and what it did.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/support/TestSupport.h"

using namespace testsupport;
namespace fs = std::filesystem;
using std::chrono::seconds;

namespace {

constexpr char kObjectPath[] = "/dranholt/tolqa_web/velmo_tolqa_launch_1.exe";
constexpr char kLauncher[] = "velmo_tolqa_launch.exe";
constexpr char kArgument[] = ",id^1001,auth_key^t0k&7&o&s1g";
constexpr char kSignIn[] =
    "<!doctype html><body>signing in<script>setTimeout(() => "
    "window.external.AppLogin(JSON.stringify("
    "{uid: '1001', token: 't0k', server_id: '7', other: 'o', sign: 's1g'})), 300)</script>";

class Operator {
public:
    Operator() {
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Operator() {
        server_.stop();
        thread_.join();
    }
    httplib::Server* operator->() { return &server_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(QARVELLE_LOGIN_PATH, programDir_ / "qarvelle-login");
        chmod((programDir_ / "qarvelle-login").c_str(), 0755);
    }

    RunOptions Options() const {
        RunOptions options;
        options.argv = {(programDir_ / "qarvelle-login").string()};
        options.env = {{"QARVELLE_LOGIN_HOST", operator_.Host()},
                       {"QARVELLE_DOWNLOAD_HOST", operator_.Host()},
                       {"XDG_DATA_HOME", (home_ / "data").string()},
                       {"XDG_CACHE_HOME", (home_ / "cache").string()},
                       {"ARGV_RECORD", (home_ / "argv").string()}};
        options.unsetEnv = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"};
        options.cwd = home_.path();
        return options;
    }
    std::vector<std::string> LaunchedWith() {
        if (!WaitForFile(home_ / "argv", seconds(10))) return {};
        return SplitRecord(ReadFile(home_ / "argv"));
    }
    void PlaceLauncher() { fs::copy_file(ARGV_RECORDER_PATH, programDir_ / kLauncher); }
    void Page(const std::string& path, const std::string& html) {
        operator_->Get(path, [html](const httplib::Request&, httplib::Response& res) {
            res.set_content(html, "text/html; charset=utf-8");
        });
    }

    TempDir programDir_{"program"};
    TempDir home_{"home"};
    mutable Operator operator_;
};

}  // namespace

TEST_F(ProgramTest, SignInOnThePageStartsTheLauncherAndEndsWith16) {
    PlaceLauncher();
    Page("/client", kSignIn);
    Process program(Options());
    EXPECT_EQ(program.Wait(seconds(60)), 16);
    EXPECT_EQ(LaunchedWith(),
              (std::vector<std::string>{(programDir_ / kLauncher).string(), kArgument}));
    EXPECT_EQ(ReadFile(home_ / "log.txt"),
              "{\"uid\":\"1001\",\"token\":\"t0k\",\"server_id\":\"7\",\"other\":\"o\",\"sign\":"
              "\"s1g\"}\n"
              "t0k&7&o&s1g\n");
}

TEST_F(ProgramTest, MissingLauncherIsDownloadedFirst) {
    Page("/client", kSignIn);
    const std::string launcher = ReadFile(ARGV_RECORDER_PATH);
    operator_->Get(kObjectPath, [launcher](const httplib::Request&, httplib::Response& res) {
        res.set_content(launcher, "application/octet-stream");
    });
    Process program(Options());
    EXPECT_EQ(program.Wait(seconds(60)), 16);
    EXPECT_EQ(LaunchedWith(),
              (std::vector<std::string>{(programDir_ / kLauncher).string(), kArgument}));
    EXPECT_EQ(ReadFile(programDir_ / kLauncher), launcher);
}

TEST_F(ProgramTest, CodeCallbackAddressStartsTheLauncherAndEndsWith16) {
    PlaceLauncher();
    Page("/client", "<script>location.href = '/orbyl/codeCallback.htm?code=k9'</script>");
    Page("/orbyl/codeCallback.htm", "signed in");
    Process program(Options());
    EXPECT_EQ(program.Wait(seconds(60)), 16);
    EXPECT_EQ(LaunchedWith(),
              (std::vector<std::string>{
                  (programDir_ / kLauncher).string(),
                  ",id^http://" + operator_.Host() + "/orbyl/codeCallback.htm?code=k9,auth_key^"}));
}

TEST_F(ProgramTest, ClosingTheMainWindowEndsWith0) {
    Page("/client", "a login page");
    Process program(Options());
    // The window manager's close key, as a player presses it on the active backdrop. The panel
    // maps just after the backdrop and takes the focus, so the backdrop is activated again
    // once both are up.
    RunOptions activate;
    activate.argv = {"/usr/bin/xdotool", "search",     "--sync",         "--onlyvisible",
                     "--name",           "^Qarvelle$", "windowactivate", "--sync"};
    testsupport::Run(activate);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    testsupport::Run(activate);
    RunOptions close;
    close.argv = {"/usr/bin/xdotool", "key", "alt+F4"};
    testsupport::Run(close);
    EXPECT_EQ(program.Wait(seconds(30)), 0);
    EXPECT_FALSE(fs::exists(home_ / "argv"));
}

namespace {

std::string Xdotool(std::vector<std::string> args) {
    RunOptions run;
    run.argv = {"/usr/bin/xdotool"};
    run.argv.insert(run.argv.end(), args.begin(), args.end());
    return testsupport::Run(run).output;
}

int VisibleProgramWindows() {
    const std::string ids = Xdotool({"search", "--onlyvisible", "--class", "qarvelle-login"});
    return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
}

}  // namespace

TEST_F(ProgramTest, WindowsArePhysicalPixelsAndThePanelFollowsTheBackdropsMinimise) {
    Page("/client", "a login page");
    RunOptions options = Options();
    options.env["GDK_SCALE"] = "2";  // a desktop scaled to 200 %
    Process program(options);
    const std::string id = Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Qarvelle$"});
    ASSERT_FALSE(id.empty());
    const std::string window = id.substr(0, id.find('\n'));
    EXPECT_NE(Xdotool({"getwindowgeometry", window}).find("Geometry: 1334x725"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(VisibleProgramWindows(), 2);

    Xdotool({"windowminimize", "--sync", window});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(VisibleProgramWindows(), 0) << "the owned panel goes with its owner";
    Xdotool({"windowactivate", "--sync", window});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(VisibleProgramWindows(), 2) << "and comes back with it";
}

// The backdrop's top-left corner on the screen, once it shows.
std::pair<int, int> BackdropOrigin() {
    const std::string id = Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Qarvelle$"});
    const std::string geometry = Xdotool({"getwindowgeometry", id.substr(0, id.find('\n'))});
    int x = 0, y = 0;
    std::sscanf(geometry.c_str() + geometry.find("Position: ") + 10, "%d,%d", &x, &y);
    return {x, y};
}

void ClickScreen(int x, int y) {
    Xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}

TEST_F(ProgramTest, CloseAsksFirstThenOkEndsWith16AndCancelChangesNothing) {
    Page("/client", "a login page");
    Process program(Options());
    const auto [x, y] = BackdropOrigin();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const int closeX = x + 1208 + 27, closeY = y + 115 + 27;
    const int boxX = x + (1334 - 256) / 2, boxY = y + (725 - 110) / 2;

    ClickScreen(closeX, closeY);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ClickScreen(boxX + 177, boxY + 85);  // Cancel
    EXPECT_FALSE(program.Wait(std::chrono::milliseconds(1500))) << "Cancel changes nothing";

    ClickScreen(closeX, closeY);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ClickScreen(boxX + 77, boxY + 85);  // OK
    EXPECT_EQ(program.Wait(seconds(30)), 16);
    EXPECT_FALSE(fs::exists(home_ / "argv"));
}

// A port nobody listens on now.
int FreePort() {
    RawServer probe([](int, const std::string&) {});
    return probe.port();
}

TEST_F(ProgramTest, BundledDemoOperatorSignsInAndStartsTheDemoLauncher) {
    const int port = FreePort();
    RunOptions demo;
    demo.argv = {DEMO_OPERATOR_PATH, std::to_string(port), DEMO_LAUNCHER_PATH};
    Process demoOperator(demo);
    RunOptions options = Options();
    const std::string host = "127.0.0.1:" + std::to_string(port);
    options.env["QARVELLE_LOGIN_HOST"] = host;
    options.env["QARVELLE_DOWNLOAD_HOST"] = host;
    Process program(options);
    const auto [x, y] = BackdropOrigin();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // Into the page, then the keyboard: account, password, Enter. The page may still be loading
    // on a busy machine, so the player tries again, as a player would.
    std::optional<int> ended;
    for (int attempt = 0; attempt < 8 && !ended; ++attempt) {
        ClickScreen(x + 600, y + 200);
        Xdotool({"key", "Tab", "ctrl+a"});
        Xdotool({"type", "--delay", "20", "player1001"});
        Xdotool({"key", "Tab", "ctrl+a"});
        Xdotool({"type", "--delay", "20", "secret"});
        Xdotool({"key", "Return"});
        ended = program.Wait(seconds(3));
    }
    if (!ended) ended = program.Wait(seconds(30));
    EXPECT_EQ(ended, 16);
    EXPECT_EQ(ReadFile(programDir_ / kLauncher), ReadFile(DEMO_LAUNCHER_PATH));
    const std::string log = ReadFile(home_ / "log.txt");
    EXPECT_NE(log.find("\"uid\":\"player1001\""), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    // The demo launcher shows what it was started with.
    EXPECT_FALSE(Xdotool({"search", "--sync", "--onlyvisible", "--name", "演示启动器"}).empty());
    Xdotool({"search", "--name", "演示启动器", "windowkill"});
}

TEST_F(ProgramTest, WithoutADisplayItSaysSoAndEnds) {
    RunOptions options = Options();
    options.unsetEnv.push_back("DISPLAY");
    options.unsetEnv.push_back("WAYLAND_DISPLAY");
    const RunResult result = testsupport::Run(options);
    EXPECT_EQ(result.exitCode, 1);
}
