// The built program, started as a player would start it, on its own display, against an
// operator served on loopback: each way the program ends, with its exit code and what it did.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include <gdk/gdk.h>

#include "tests/support/Screen.h"
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

TEST_F(ProgramTest, CredentialGoesOnlyToTheLogAndTheLauncher) {
    Page("/client",
         "<!doctype html><script>setTimeout(() => window.external.AppLogin(JSON.stringify("
         "{uid: 'u-51c2', token: 'tok-9f3a7c', server_id: '7', other: 'o', sign: 'sig-4e1d'})),"
         " 300)</script>");
    const std::string launcher = ReadFile(ARGV_RECORDER_PATH);
    operator_->Get(kObjectPath, [launcher](const httplib::Request&, httplib::Response& res) {
        res.set_content(launcher, "application/octet-stream");
    });
    RunOptions options = Options();
    options.outputFile = home_ / "output";
    Process program(options);
    EXPECT_EQ(program.Wait(seconds(60)), 16);
    const std::vector<std::string> argv = LaunchedWith();
    ASSERT_EQ(argv.size(), 2u);
    EXPECT_EQ(argv[1], ",id^u-51c2,auth_key^tok-9f3a7c&7&o&sig-4e1d");
    EXPECT_NE(ReadFile(home_ / "log.txt").find("tok-9f3a7c&7&o&sig-4e1d"), std::string::npos);
    const std::string output = ReadFile(home_ / "output");
    for (const std::string secret : {"tok-9f3a7c", "sig-4e1d"})
        EXPECT_EQ(output.find(secret), std::string::npos) << "in the program's output: " << output;
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

namespace {

std::string Xdotool(std::vector<std::string> args) {
    RunOptions run;
    run.argv = {"/usr/bin/xdotool"};
    run.argv.insert(run.argv.end(), args.begin(), args.end());
    return testsupport::Run(run).output;
}

// The first visible window whose name matches, once there is one (up to 30 s). xdotool's own
// --sync can fail when a window goes away while it looks through the tree, so this asks again.
std::string FindWindow(const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string ids = Xdotool({"search", "--onlyvisible", "--name", name});
        if (!ids.empty()) return ids.substr(0, ids.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

int VisibleProgramWindows() {
    const std::string ids = Xdotool({"search", "--onlyvisible", "--class", "qarvelle-login"});
    return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
}

}  // namespace

TEST_F(ProgramTest, ClosingTheMainWindowEndsWith0) {
    Page("/client", "a login page");
    Process program(Options());
    // The window manager's close key, as a player presses it on the active backdrop. The panel
    // maps just after the backdrop and takes the focus, so the backdrop is activated again
    // once both are up.
    const std::string backdrop = FindWindow("^Qarvelle$");
    ASSERT_FALSE(backdrop.empty());
    Xdotool({"windowactivate", "--sync", backdrop});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Xdotool({"windowactivate", "--sync", backdrop});
    Xdotool({"key", "alt+F4"});
    EXPECT_EQ(program.Wait(seconds(30)), 0);
    EXPECT_FALSE(fs::exists(home_ / "argv"));
}

TEST_F(ProgramTest, WindowsArePhysicalPixelsAndThePanelFollowsTheBackdropsMinimise) {
    Page("/client", "a login page");
    RunOptions options = Options();
    options.env["GDK_SCALE"] = "2";  // a desktop scaled to 200 %
    Process program(options);
    const std::string window = FindWindow("^Qarvelle$");
    ASSERT_FALSE(window.empty());
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
    const std::string geometry = Xdotool({"getwindowgeometry", FindWindow("^Qarvelle$")});
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
    EXPECT_FALSE(FindWindow("演示启动器").empty());
    Xdotool({"search", "--name", "演示启动器", "windowkill"});
}

namespace {

// The test's own connection to the display, for reading the screen.
Pixels ScreenArea(int x, int y, int width, int height) {
    static const bool opened = gdk_init_check(nullptr, nullptr);
    if (!opened) return {};
    return ReadScreen(x, y, width, height);
}

// The download box over the panel, as the player sees it.
struct DownloadBox {
    static constexpr int kLeft = 600, kTop = 201, kWidth = 551, kHeight = 96;
    static constexpr uint32_t kBorder = 0xD8A83F, kBackground = 0x1E1A14, kBarBack = 0x3C3228,
                              kFailedTitle = 0xF07060;
    Pixels pixels;

    static DownloadBox Read(int backdropX, int backdropY) {
        return {ScreenArea(backdropX + kLeft, backdropY + kTop, kWidth, kHeight)};
    }
    bool Shown() const {
        return pixels.width == kWidth && ColoursNear(pixels.at(0, 0), kBorder, 8) &&
               ColoursNear(pixels.at(kWidth - 1, kHeight - 1), kBorder, 8) &&
               ColoursNear(pixels.at(4, 4), kBackground, 8);
    }
    // The bar's row: its filled width, or nothing when the box has no bar.
    std::optional<int> BarFilled() const {
        const int row = kHeight - 12 - 4;
        if (!ColoursNear(pixels.at(kWidth - 13, row), kBarBack, 8) &&
            !ColoursNear(pixels.at(kWidth - 13, row), kBorder, 8)) {
            return std::nullopt;
        }
        int filled = 0;
        for (int x = 12; x < kWidth - 12; ++x)
            filled += ColoursNear(pixels.at(x, row), kBorder, 8);
        return filled;
    }
    int FailedTitlePixels() const { return pixels.Count(kFailedTitle, 40); }
};

// Waits until `condition` holds for the box, or the time is up.
std::optional<DownloadBox> WaitForBox(int x, int y,
                                      const std::function<bool(const DownloadBox&)>& condition,
                                      std::chrono::milliseconds limit = seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        DownloadBox box = DownloadBox::Read(x, y);
        if (condition(box)) return box;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
}

// Serves `size` bytes of launcher slowly: 32 KiB every 100 ms.
void ServeSlowly(httplib::Server& server, size_t size) {
    server.Get(kObjectPath, [size](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(size, "application/octet-stream",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                     const std::string piece(std::min<size_t>(length, 32 * 1024),
                                                             static_cast<char>(offset));
                                     return sink.write(piece.data(), piece.size());
                                 });
    });
}

}  // namespace

TEST_F(ProgramTest, SlowDownloadShowsItsProgressAndClosingDuringItStopsCleanly) {
    Page("/client", kSignIn);
    ServeSlowly(*operator_.operator->(), 4 * 1024 * 1024);
    Process program(Options());
    const auto [x, y] = BackdropOrigin();
    const std::optional<DownloadBox> first =
        WaitForBox(x, y, [](const DownloadBox& box) { return box.Shown() && box.BarFilled(); });
    ASSERT_TRUE(first) << "the progress box shows, with a bar";
    const std::optional<DownloadBox> later = WaitForBox(x, y, [&](const DownloadBox& box) {
        return box.Shown() && box.BarFilled() > first->BarFilled();
    });
    EXPECT_TRUE(later) << "and the bar grows";

    ClickScreen(x + 1208 + 27, y + 115 + 27);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ClickScreen(x + (1334 - 256) / 2 + 77, y + (725 - 110) / 2 + 85);  // OK
    EXPECT_EQ(program.Wait(seconds(30)), 16);
    EXPECT_FALSE(fs::exists(home_ / "argv"));
    EXPECT_EQ(ListDirectory(programDir_.path()), (std::vector<std::string>{"qarvelle-login"}));
}

TEST_F(ProgramTest, FailedDownloadTellsThePlayerWhoCanSignInAgain) {
    // The page signs in, and once more a few seconds after the first attempt has returned.
    Page("/client",
         "<!doctype html><body>signing in<script>"
         "const login = () => window.external.AppLogin(JSON.stringify("
         "{uid: '1001', token: 't0k', server_id: '7', other: 'o', sign: 's1g'}));"
         "setTimeout(() => { login(); setTimeout(login, 4000); }, 300)</script>");
    const std::string launcher = ReadFile(ARGV_RECORDER_PATH);
    std::atomic<int> requests{0};
    operator_->Get(kObjectPath, [&](const httplib::Request&, httplib::Response& res) {
        if (++requests == 1) {
            res.status = 503;
            res.set_content("busy", "text/plain");
            return;
        }
        res.set_content(launcher, "application/octet-stream");
    });
    Process program(Options());
    const auto [x, y] = BackdropOrigin();
    const std::optional<DownloadBox> failed = WaitForBox(x, y, [](const DownloadBox& box) {
        return box.Shown() && !box.BarFilled() && box.FailedTitlePixels() > 20;
    });
    EXPECT_TRUE(failed) << "the failure shows over the panel";
    EXPECT_FALSE(fs::exists(home_ / "argv"));

    EXPECT_EQ(program.Wait(seconds(60)), 16);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(LaunchedWith(),
              (std::vector<std::string>{(programDir_ / kLauncher).string(), kArgument}));
    EXPECT_EQ(ReadFile(programDir_ / kLauncher), launcher);
}

namespace {

std::pair<int, int> WindowPosition(const std::string& window) {
    const std::string geometry = Xdotool({"getwindowgeometry", window});
    int x = 0, y = 0;
    std::sscanf(geometry.c_str() + geometry.find("Position: ") + 10, "%d,%d", &x, &y);
    return {x, y};
}

// The backdrop's and the panel's window ids, once both show.
std::pair<std::string, std::string> BackdropAndPanel() {
    const std::string backdropId = FindWindow("^Qarvelle$");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string all = Xdotool({"search", "--onlyvisible", "--class", "qarvelle-login"});
    std::istringstream ids(all);
    for (std::string id; std::getline(ids, id);)
        if (id != backdropId) return {backdropId, id};
    return {backdropId, ""};
}

// A point of the backdrop's art that is fully opaque all around and no part of the panel
// shows over: where a player grabs the window.
std::pair<int, int> OpaqueArtPoint() {
    GdkPixbuf* art =
        gdk_pixbuf_new_from_file(QARVELLE_SOURCE_DIR "/res/art/backdrop-155.png", nullptr);
    if (!art) return {-1, -1};
    const int stride = gdk_pixbuf_get_rowstride(art), channels = gdk_pixbuf_get_n_channels(art);
    const guchar* data = gdk_pixbuf_get_pixels(art);
    const auto opaque = [&](int x, int y) { return data[y * stride + x * channels + 3] == 255; };
    std::pair<int, int> found{-1, -1};
    for (int y = 20; y < gdk_pixbuf_get_height(art) - 20 && found.first < 0; y += 10) {
        for (int x = 20; x < 540 && found.first < 0; x += 10) {  // left of the browser
            bool all = true;
            for (int dy = -8; dy <= 8 && all; dy += 4)
                for (int dx = -8; dx <= 8 && all; dx += 4)
                    all = opaque(x + dx, y + dy);
            if (all) found = {x, y};
        }
    }
    g_object_unref(art);
    return found;
}

}  // namespace

TEST_F(ProgramTest, MovingThePanelOrDraggingTheBackdropMovesBoth) {
    Page("/client", "a login page");
    Process program(Options());
    const auto [backdrop, panel] = BackdropAndPanel();
    ASSERT_FALSE(panel.empty());
    const auto [x0, y0] = WindowPosition(backdrop);
    EXPECT_EQ(WindowPosition(panel), std::make_pair(x0, y0));

    // The panel leads until the backdrop is grabbed.
    Xdotool({"windowmove", "--sync", panel, "30", "40"});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(WindowPosition(panel), std::make_pair(30, 40));
    EXPECT_EQ(WindowPosition(backdrop), std::make_pair(30, 40)) << "the backdrop follows";

    const auto [artX, artY] = OpaqueArtPoint();
    ASSERT_GE(artX, 0);
    const int x = 30, y = 40;
    Xdotool({"mousemove", std::to_string(x + artX), std::to_string(y + artY), "mousedown", "1",
             "sleep", "0.2", "mousemove", std::to_string(x + artX + 40),
             std::to_string(y + artY + 20), "sleep", "0.2", "mousemove",
             std::to_string(x + artX + 90), std::to_string(y + artY + 50), "sleep", "0.3",
             "mouseup", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(WindowPosition(backdrop), std::make_pair(x + 90, y + 50));
    EXPECT_EQ(WindowPosition(panel), std::make_pair(x + 90, y + 50)) << "the panel follows";
    EXPECT_FALSE(program.Wait(std::chrono::milliseconds(100)));
}

TEST_F(ProgramTest, WithoutADisplayItSaysSoAndEnds) {
    RunOptions options = Options();
    options.unsetEnv.push_back("DISPLAY");
    options.unsetEnv.push_back("WAYLAND_DISPLAY");
    const RunResult result = testsupport::Run(options);
    EXPECT_EQ(result.exitCode, 1);
}
