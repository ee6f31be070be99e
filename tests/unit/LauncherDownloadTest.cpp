// The whole hand-off in a real process (the probe) placed in a directory of its own, against
// real servers on loopback: what lies on disk afterwards, whether the launcher ran with the
// right arguments, what the player was shown, and whether the program asked to quit.
#include <glib.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include "app/Settings.h"
#include "platform/Internet.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr char kObjectPath[] = "/dranholt/tolqa_web/velmo_tolqa_launch_1.exe";
constexpr char kLauncher[] = "velmo_tolqa_launch.exe";
constexpr char kLogin[] =
    "{\"uid\":\"1001\",\"token\":\"t0k\",\"server_id\":\"7\",\"other\":\"o\",\"sign\":\"s1g\"}";
constexpr char kArgument[] = ",id^1001,auth_key^t0k&7&o&s1g";
constexpr char kStartFailedBox[] = "【启动失败】\t启动游戏失败，请重新启动！";

const std::string& LauncherBytes() {
    static const std::string bytes = ReadFile(ARGV_RECORDER_PATH);
    return bytes;
}

// An HTTP server on loopback, on its own thread.
class HttpServer {
public:
    HttpServer() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~HttpServer() {
        server_.stop();
        thread_.join();
    }
    httplib::Server& operator*() { return server_; }
    httplib::Server* operator->() { return &server_; }
    int port() const { return port_; }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

struct Outcome {
    int exitCode = -1;
    std::vector<std::string> lines;
    bool launched = false;
    std::vector<std::string> launchArgv;

    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The lines without the progress summary, whose figures depend on how far a body came.
    std::vector<std::string> LinesBesideProgress() const {
        std::vector<std::string> kept;
        for (const std::string& line : lines)
            if (line.rfind("progress", 0) != 0) kept.push_back(line);
        return kept;
    }
};

// Polls `done` for up to 20 seconds.
bool SpinUntilFile(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Serves the launcher slowly: 4 KiB every 100 ms.
RawServer::Responder SlowLauncher() {
    return [](int s, const std::string&) {
        const std::string& bytes = LauncherBytes();
        RawServer::Send(
            s, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n\r\n");
        for (size_t at = 0; at < bytes.size(); at += 4096) {
            if (!RawServer::Send(s, bytes.substr(at, 4096))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
}

class HandOffTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = programDir_ / "qarvelle-login";
        if (link(HANDOFF_PROBE_PATH, program_.c_str()) != 0) {
            fs::copy_file(HANDOFF_PROBE_PATH, program_);
        }
        chmod(workDir_.path().c_str(), 0777);
    }

    RunOptions Options(const std::string& host, const std::vector<std::string>& options) const {
        RunOptions run;
        run.argv = {program_.string()};
        run.argv.insert(run.argv.end(), options.begin(), options.end());
        run.env = {{"QARVELLE_DOWNLOAD_HOST", host}, {"ARGV_RECORD", record().string()}};
        for (const auto& [name, value] : extraEnv_)
            run.env[name] = value;
        run.unsetEnv = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                        "HTTPS_PROXY", "all_proxy",  "ALL_PROXY"};
        run.cwd = workDir_.path();
        run.input = kLogin;
        run.fileSizeLimit = fileSizeLimit_;
        return run;
    }

    Outcome RunHandOff(const std::string& host, std::vector<std::string> options = {},
                       std::optional<uid_t> user = std::nullopt) {
        RunOptions run = Options(host, options);
        run.runAsUser = user;
        const RunResult result = testsupport::Run(run);
        Outcome outcome;
        outcome.exitCode = result.exitCode;
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);)
            outcome.lines.push_back(line);
        // A start is always followed by the quit request, so only then can a record still come.
        const bool mayHaveStarted =
            outcome.Has("quit\t16") && !outcome.Has(std::string("box\t") + kStartFailedBox);
        const auto wait = mayHaveStarted ? startWait_ : std::chrono::milliseconds(0);
        outcome.launched = WaitForFile(record(), wait);
        if (outcome.launched) outcome.launchArgv = SplitRecord(ReadFile(record()));
        return outcome;
    }

    std::string Local(int port) const { return "127.0.0.1:" + std::to_string(port); }
    fs::path launcher() const { return programDir_ / kLauncher; }
    fs::path record() const { return workDir_ / "argv.record"; }
    std::vector<std::string> ProgramDirEntries() const { return ListDirectory(programDir_.path()); }

    // `total`: the length the progress reports carried, "-" when the server announced none.
    void ExpectLaunched(const Outcome& outcome, std::string total = "") {
        const std::string size = std::to_string(LauncherBytes().size());
        if (total.empty()) total = size;
        EXPECT_TRUE(outcome.Has("progress\t" + size + "\t" + total));
        EXPECT_FALSE(outcome.Has("download failed"));
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_TRUE(outcome.launched);
        EXPECT_EQ(outcome.launchArgv, (std::vector<std::string>{launcher().string(), kArgument}));
        EXPECT_TRUE(outcome.Has("quit\t16"));
        EXPECT_TRUE(outcome.Has("unadvise"));
        EXPECT_EQ(ProgramDirEntries(), (std::vector<std::string>{"qarvelle-login", kLauncher}));
        struct stat st;
        ASSERT_EQ(stat(launcher().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0755u);
        EXPECT_EQ(ReadFile(launcher()), LauncherBytes());
    }

    // Nothing written, nothing started, the player told; the program stays open.
    void ExpectNothingHappened(const Outcome& outcome) {
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_FALSE(outcome.launched);
        EXPECT_FALSE(outcome.Has("progress out of order"));
        EXPECT_EQ(outcome.LinesBesideProgress(),
                  (std::vector<std::string>{"download failed", "unadvise", "quit\tnone"}));
        EXPECT_EQ(ProgramDirEntries(), (std::vector<std::string>{"qarvelle-login"}));
    }

    TempDir programDir_{"program dir"};
    TempDir workDir_{"work"};
    fs::path program_;
    std::map<std::string, std::string> extraEnv_;
    std::optional<uint64_t> fileSizeLimit_;
    std::chrono::milliseconds startWait_{10000};  // how long a started launcher may take to record
};

}  // namespace

TEST_F(HandOffTest, DownloadsTheLauncherWhenMissingAndStartsIt) {
    struct Case {
        std::string name;
        std::function<void(httplib::Server&)> setUp;
        std::string total;  // what progress reports announce
    };
    const std::vector<Case> servers = {
        {"with length",
         [](httplib::Server& s) {
             s.Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
                 res.set_content(LauncherBytes(), "application/octet-stream");
             });
         },
         ""},
        {"chunked",
         [](httplib::Server& s) {
             s.Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
                 res.set_chunked_content_provider(
                     "application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
                         const std::string& bytes = LauncherBytes();
                         const size_t n = std::min<size_t>(7777, bytes.size() - offset);
                         sink.write(bytes.data() + offset, n);
                         if (offset + n == bytes.size()) sink.done();
                         return true;
                     });
             });
         },
         "-"},
        {"redirected",
         [](httplib::Server& s) {
             s.Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
                 res.set_redirect("/elsewhere/launcher.bin");
             });
             s.Get("/elsewhere/launcher.bin", [](const httplib::Request&, httplib::Response& res) {
                 res.set_content(LauncherBytes(), "application/octet-stream");
             });
         },
         ""},
    };
    for (const Case& c : servers) {
        SCOPED_TRACE(c.name);
        fs::remove(launcher());
        fs::remove(record());
        HttpServer server;
        c.setUp(*server);
        ExpectLaunched(RunHandOff(Local(server.port())), c.total);
    }
}

TEST_F(HandOffTest, BodyWithoutLengthEndsAtClose) {
    RawServer server([](int socket, const std::string&) {
        RawServer::Send(socket, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + LauncherBytes());
    });
    ExpectLaunched(RunHandOff(Local(server.port())), "-");
}

TEST_F(HandOffTest, FailedDownloadsLeaveNothingAndStartNothing) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(LauncherBytes().size()) + "\r\n\r\n";
    const auto waitForClient = [](int socket) {
        pollfd fd{socket, POLLIN, 0};
        char scratch[256];
        while (poll(&fd, 1, 20000) > 0 && recv(socket, scratch, sizeof scratch, 0) > 0) {
        }
    };
    const std::vector<std::pair<std::string, RawServer::Responder>> cases = {
        {"404",
         [](int s, const std::string&) {
             RawServer::Send(s, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
         }},
        {"500 with a body",
         [](int s, const std::string&) {
             RawServer::Send(s, "HTTP/1.1 500 Oops\r\nContent-Length: 5\r\n\r\nMZ...");
         }},
        {"zero length",
         [](int s, const std::string&) {
             RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
         }},
        {"empty body without length",
         [](int s, const std::string&) {
             RawServer::Send(s, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
         }},
        {"shorter than its length",
         [head](int s, const std::string&) {
             RawServer::Send(s, head + LauncherBytes().substr(0, 1000));
         }},
        {"reset mid-body",
         [head](int s, const std::string&) {
             RawServer::Send(s, head + LauncherBytes().substr(0, 5000));
             RawServer::Reset(s);
         }},
        {"broken chunk",
         [](int s, const std::string&) {
             RawServer::Send(
                 s, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nMZab\r\nzz\r\n");
         }},
        {"stalls mid-body",
         [head, waitForClient](int s, const std::string&) {
             RawServer::Send(s, head + LauncherBytes().substr(0, 100));
             waitForClient(s);
         }},
        {"accepts and never answers",
         [waitForClient](int s, const std::string&) { waitForClient(s); }},
    };
    for (const auto& [name, respond] : cases) {
        SCOPED_TRACE(name);
        RawServer server(respond);
        const Outcome outcome =
            RunHandOff(Local(server.port()), {"--connect-timeout", "2", "--low-speed-time", "2"});
        ExpectNothingHappened(outcome);
        EXPECT_EQ(server.connections(), 1);
    }
}

TEST_F(HandOffTest, HostileResponsesAreRefused) {
    const auto endless = [](int s, const std::string&) {
        RawServer::Send(s, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        const std::string block(64 * 1024, 'M');
        while (RawServer::Send(s, block)) {
        }
    };
    const auto trickle = [](int s, const std::string&) {
        RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        for (int i = 0; i < 30 && RawServer::Send(s, "M"); ++i)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    };
    const auto withLength = [](const std::string& length) {
        return [length](int s, const std::string&) {
            RawServer::Send(
                s, "HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + LauncherBytes());
        };
    };
    struct Case {
        std::string name;
        RawServer::Responder respond;
        std::map<std::string, std::string> env;
    };
    const std::vector<Case> cases = {
        {"negative length", withLength("-5"), {}},
        {"garbage length", withLength("12abc"), {}},
        {"length past the size limit", withLength("99999999999"), {}},
        {"length past any number", withLength("999999999999999999999999"), {}},
        {"two different lengths",
         [](int s, const std::string&) {
             RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Length: " +
                                    std::to_string(LauncherBytes().size()) + "\r\n\r\n" +
                                    LauncherBytes());
         },
         {}},
        {"endless body", endless, {{"QARVELLE_LAUNCHER_MAX_BYTES", "1000000"}}},
        {"one byte a second", trickle, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        extraEnv_ = c.env;
        RawServer server(c.respond);
        const auto started = std::chrono::steady_clock::now();
        ExpectNothingHappened(
            RunHandOff(Local(server.port()), {"--connect-timeout", "2", "--low-speed-time", "3"}));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    }
}

TEST_F(HandOffTest, RedirectLoopEnds) {
    RawServer server([](int s, const std::string&) {
        RawServer::Send(s, std::string("HTTP/1.1 302 Found\r\nLocation: ") + kObjectPath +
                               "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    });
    ExpectNothingHappened(RunHandOff(Local(server.port())));
    EXPECT_EQ(server.connections(), 6) << "the first request and five redirects";
}

TEST_F(HandOffTest, FullDiskShowsTheFileErrorAndLeavesNothing) {
    HttpServer server;
    server->Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LauncherBytes(), "application/octet-stream");
    });
    fileSizeLimit_ = 4096;
    const Outcome outcome = RunHandOff(Local(server.port()));
    EXPECT_FALSE(outcome.launched);
    ASSERT_FALSE(outcome.lines.empty());
    EXPECT_EQ(outcome.lines[0].rfind("box\tqarvelle-login\t访问 ", 0), 0u) << outcome.lines[0];
    EXPECT_NE(outcome.lines[0].find("时磁盘已满。"), std::string::npos) << outcome.lines[0];
    EXPECT_FALSE(outcome.Has("download failed")) << "the file error said what went wrong";
    EXPECT_EQ(ProgramDirEntries(), (std::vector<std::string>{"qarvelle-login"}));
}

TEST_F(HandOffTest, KilledMidDownloadLeavesOnlyATemporaryFileThatTheNextRunRemoves) {
    {
        RawServer slow(SlowLauncher());
        RunOptions run = Options(Local(slow.port()), {});
        Process probe(run);
        ASSERT_TRUE(SpinUntilFile([&] {
            const std::vector<std::string> entries = ProgramDirEntries();
            return entries.size() == 2 && entries[0].rfind(".velmo_tolqa_launch.exe.part-", 0) == 0;
        }));
        probe.Kill();
    }
    const std::vector<std::string> left = ProgramDirEntries();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].rfind(".velmo_tolqa_launch.exe.part-", 0), 0u) << left[0];
    EXPECT_FALSE(fs::exists(launcher())) << "never a partial launcher under its name";

    HttpServer server;
    server->Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LauncherBytes(), "application/octet-stream");
    });
    ExpectLaunched(RunHandOff(Local(server.port())));  // the leftover is gone
}

namespace {

std::string Sha256(const std::string& bytes) {
    gchar* digest = g_compute_checksum_for_data(
        G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    std::string text = digest;
    g_free(digest);
    return text;
}

}  // namespace

TEST_F(HandOffTest, LauncherDigestDecidesWhatIsInstalledAndStarted) {
    int requests = 0;
    HttpServer server;
    server->Get(kObjectPath, [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content(LauncherBytes(), "application/octet-stream");
    });
    const std::string genuine = Sha256(LauncherBytes());
    std::string upper = genuine;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    {
        SCOPED_TRACE("a download that does not match is not installed");
        extraEnv_ = {{"QARVELLE_LAUNCHER_SHA256", std::string(64, '0')}};
        ExpectNothingHappened(RunHandOff(Local(server.port())));
    }
    {
        SCOPED_TRACE("one that matches is (the digest in either case)");
        extraEnv_ = {{"QARVELLE_LAUNCHER_SHA256", upper}};
        ExpectLaunched(RunHandOff(Local(server.port())));
        EXPECT_EQ(requests, 2);
    }
    {
        SCOPED_TRACE("a present launcher that matches starts without a request");
        fs::remove(record());
        const Outcome outcome = RunHandOff(Local(server.port()));
        EXPECT_TRUE(outcome.launched);
        EXPECT_EQ(outcome.launchArgv, (std::vector<std::string>{launcher().string(), kArgument}));
        EXPECT_EQ(requests, 2);
    }
    {
        SCOPED_TRACE("a present one that does not match is fetched again and replaced");
        WriteFile(launcher(), "#!/bin/sh\ntouch pwned\n", 0755);
        fs::remove(record());
        extraEnv_ = {{"QARVELLE_LAUNCHER_SHA256", genuine}};
        ExpectLaunched(RunHandOff(Local(server.port())));
        EXPECT_EQ(requests, 3);
        EXPECT_FALSE(fs::exists(workDir_ / "pwned"));
    }
    {
        SCOPED_TRACE("without a digest a present launcher is started as it is");
        WriteFile(launcher(), LauncherBytes() + "changed", 0755);
        fs::remove(record());
        extraEnv_ = {};
        const Outcome outcome = RunHandOff(Local(server.port()));
        EXPECT_TRUE(outcome.launched);
        EXPECT_EQ(requests, 3);
    }
}

TEST_F(HandOffTest, RefusedConnectionIsLikeAFailedStatus) {
    int port;
    {
        RawServer closed([](int, const std::string&) {});
        port = closed.port();
    }
    ExpectNothingHappened(RunHandOff(Local(port), {"--connect-timeout", "2"}));
}

TEST_F(HandOffTest, RedirectToAnotherSchemeIsRefused) {
    for (const std::string target : {"file:///bin/true", "ftp://127.0.0.1/launcher.exe"}) {
        SCOPED_TRACE(target);
        RawServer server([target](int s, const std::string&) {
            RawServer::Send(
                s, "HTTP/1.1 302 Found\r\nLocation: " + target + "\r\nContent-Length: 0\r\n\r\n");
        });
        ExpectNothingHappened(RunHandOff(Local(server.port())));
    }
}

TEST_F(HandOffTest, PresentLauncherStartsWithoutAnyRequest) {
    fs::copy_file(ARGV_RECORDER_PATH, launcher());
    RawServer server([](int, const std::string&) {});
    const Outcome outcome = RunHandOff(Local(server.port()));
    EXPECT_TRUE(outcome.launched);
    EXPECT_EQ(outcome.launchArgv, (std::vector<std::string>{launcher().string(), kArgument}));
    EXPECT_TRUE(outcome.Has("quit\t16"));
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(HandOffTest, LauncherThatCannotStartIsReportedAndTheProgramQuits) {
    for (const std::string content : {"", "neither ELF nor script nor MZ"}) {
        SCOPED_TRACE(content);
        WriteFile(launcher(), content, 0755);
        const Outcome outcome = RunHandOff(Local(1), {}, std::nullopt);
        EXPECT_FALSE(outcome.launched);
        EXPECT_EQ(outcome.lines, (std::vector<std::string>{std::string("box\t") + kStartFailedBox,
                                                           "unadvise", "quit\t16"}));
    }
}

TEST_F(HandOffTest, QuitDuringTheDownloadStopsItCleanly) {
    RawServer server(SlowLauncher());
    startWait_ = std::chrono::milliseconds(1000);  // the quit comes from the test, not a start
    const Outcome outcome = RunHandOff(Local(server.port()), {"--quit-after-ms", "500"});
    EXPECT_FALSE(outcome.launched);
    // Stopped by the player: no failure to report.
    EXPECT_EQ(outcome.LinesBesideProgress(), (std::vector<std::string>{"unadvise", "quit\t16"}));
    EXPECT_EQ(ProgramDirEntries(), (std::vector<std::string>{"qarvelle-login"}));
}

TEST_F(HandOffTest, SecondLoginDuringTheDownloadIsIgnored) {
    RawServer server(SlowLauncher());
    const Outcome outcome = RunHandOff(Local(server.port()), {"--again-after-ms", "300"});
    ExpectLaunched(outcome);
    EXPECT_FALSE(outcome.Has("unadvise again"));
    EXPECT_EQ(ReadFile(workDir_ / "log.txt"), std::string(kLogin) + "\nt0k&7&o&s1g\n");
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(HandOffTest, LongNonAsciiProgramDirectoryIsPassedWhole) {
    fs::path deep = programDir_.path();
    for (int i = 0; i < 12; ++i)
        deep /= "游戏目录 level " + std::to_string(i) + " with some length";
    fs::create_directories(deep);
    ASSERT_GT(deep.string().size(), 400u);
    program_ = deep / "qarvelle-login";
    fs::copy_file(HANDOFF_PROBE_PATH, program_);
    fs::copy_file(ARGV_RECORDER_PATH, deep / kLauncher);
    extraEnv_ = {{"LC_ALL", "C.UTF-8"}};
    const Outcome outcome = RunHandOff(Local(1));
    EXPECT_TRUE(outcome.launched);
    EXPECT_EQ(outcome.launchArgv,
              (std::vector<std::string>{(deep / kLauncher).string(), kArgument}));
}

TEST_F(HandOffTest, UnwritableProgramDirectoryShowsTheFileError) {
    HttpServer server;
    int requests = 0;
    server->Get(kObjectPath, [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content(LauncherBytes(), "application/octet-stream");
    });
    std::optional<uid_t> user;
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        user = nobody->pw_uid;
    } else {
        chmod(programDir_.path().c_str(), 0555);
    }
    const Outcome outcome = RunHandOff(Local(server.port()), {}, user);
    EXPECT_FALSE(outcome.launched);
    EXPECT_EQ(outcome.lines, (std::vector<std::string>{
                                 "box\tqarvelle-login\t拒绝访问 " + launcher().string() + "。",
                                 "unadvise", "quit\tnone"}));
    EXPECT_EQ(ProgramDirEntries(), (std::vector<std::string>{"qarvelle-login"}));
    EXPECT_EQ(requests, 1);
}

TEST_F(HandOffTest, StaleTemporaryFilesGoUnlessSomeoneHoldsThem) {
    const fs::path stale = programDir_ / ".velmo_tolqa_launch.exe.part-ab12CD";
    const fs::path held = programDir_ / ".velmo_tolqa_launch.exe.part-zz99ZZ";
    WriteFile(stale, "half a launcher");
    WriteFile(held, "another instance is writing this");
    const int holder = open(held.c_str(), O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    HttpServer server;
    server->Get(kObjectPath, [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LauncherBytes(), "application/octet-stream");
    });
    const Outcome outcome = RunHandOff(Local(server.port()));
    close(holder);
    EXPECT_TRUE(outcome.launched);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(held));
}

TEST(AfxParseURL, SplitsServerPortAndObject) {
    const struct {
        std::u16string url;
        bool ok;
        unsigned service;
        std::u16string server, object;
        unsigned port;
    } cases[] = {
        {u"http://cdn.example/dranholt/a.exe", true, platform::AFX_INET_SERVICE_HTTP,
         u"cdn.example", u"/dranholt/a.exe", 80},
        {u"http://127.0.0.1:8080/a", true, platform::AFX_INET_SERVICE_HTTP, u"127.0.0.1", u"/a",
         8080},
        {u"HTTPS://cdn.example/a?x=1", true, platform::AFX_INET_SERVICE_HTTPS, u"cdn.example",
         u"/a?x=1", 443},
        {u"http://[::1]:81/a", true, platform::AFX_INET_SERVICE_HTTP, u"::1", u"/a", 81},
        {u"http://host", true, platform::AFX_INET_SERVICE_HTTP, u"host", u"/", 80},
        {u"ftp://host/a", false, 0, u"", u"", 0},
        {u"http://:80/a", false, 0, u"", u"", 0},
        {u"http://host:99999/a", false, 0, u"", u"", 0},
        {u"http://host:8x/a", false, 0, u"", u"", 0},
        {u"http://user@host/a", false, 0, u"", u"", 0},
        {u"host/a", false, 0, u"", u"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
        unsigned service = 0;
        std::u16string server, object;
        platform::INTERNET_PORT port = 0;
        ASSERT_EQ(platform::AfxParseURL(c.url, service, server, object, port), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(service, c.service);
        EXPECT_EQ(server, c.server);
        EXPECT_EQ(object, c.object);
        EXPECT_EQ(port, c.port);
    }
}

TEST(HostBaseAddress, BareHostsArePlainHttpAndSchemesStay) {
    EXPECT_EQ(HostBaseAddress(u"cdn.example"), u"http://cdn.example");
    EXPECT_EQ(HostBaseAddress(u"cdn.example:8080/"), u"http://cdn.example:8080");
    EXPECT_EQ(HostBaseAddress(u"https://cdn.example"), u"https://cdn.example");
    EXPECT_EQ(HostBaseAddress(u"https://cdn.example:8443//"), u"https://cdn.example:8443");
}

TEST_F(HandOffTest, HttpsDownloadHostIsReachedOverTls) {
    // A plain-HTTP server answers the TLS handshake with nonsense: the download fails, which
    // shows the scheme was kept; nothing is installed from it.
    RawServer server([](int s, const std::string&) {
        RawServer::Send(s, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nMZ");
    });
    ExpectNothingHappened(RunHandOff("https://127.0.0.1:" + std::to_string(server.port()),
                                     {"--connect-timeout", "2", "--low-speed-time", "3"}));
}
