#pragma once
// Helpers for tests that use real files, processes and sockets.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& name = "qarvelle-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content, unsigned mode = 0644);
std::vector<std::string> ListDirectory(const std::filesystem::path& dir);

// Splits a record of NUL-terminated strings (argv_recorder's format).
std::vector<std::string> SplitRecord(const std::string& record);

// Waits until the file exists or the time is up.
bool WaitForFile(const std::filesystem::path& path, std::chrono::milliseconds limit);

struct RunOptions {
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;  // added to (or replacing in) this environment
    std::vector<std::string> unsetEnv;
    std::filesystem::path cwd;
    std::string input;
    std::optional<uid_t> runAsUser;  // drop to this user (and its group) when running as root
    // The largest file the process may write (RLIMIT_FSIZE), as on a full disk: writes past it
    // fail with EFBIG.
    std::optional<uint64_t> fileSizeLimit;
    // A background Process writes its standard output and error here (else they are the test's).
    std::filesystem::path outputFile;
};

struct RunResult {
    int exitCode = -1;  // or 128 + signal
    std::string output;
};

// Starts a process, feeds it `input`, collects its standard output and waits for it.
RunResult Run(const RunOptions& options);

// A process started in the background; killed if still running when the object goes.
class Process {
public:
    explicit Process(const RunOptions& options);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Waits for the process to end; its exit code (or 128 + signal), or nothing on time-out.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    // Ends it at once (SIGKILL), as a crash or a power cut would.
    void Kill();

private:
    pid_t m_pid = -1;
    std::optional<int> m_exitCode;
};

// A one-connection-at-a-time TCP server on 127.0.0.1 for responses an HTTP library will not
// produce. For each connection it reads the request head, then calls `respond` with the socket
// and the request text. Runs on its own thread until destroyed.
class RawServer {
public:
    using Responder = std::function<void(int socket, const std::string& request)>;
    explicit RawServer(Responder respond);
    ~RawServer();
    int port() const { return m_port; }
    int connections() const { return m_connections; }

    // Helpers for responders.
    static bool Send(int socket, const std::string& bytes);  // false once the peer is gone
    static void Reset(int socket);                           // closes with a TCP reset

private:
    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::atomic_int m_connections{0};
    std::thread m_thread;
};

}  // namespace testsupport

#include <locale.h>

namespace testsupport {

// Switches the calling thread to a locale for the object's lifetime.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(const char* name)
        : m_locale(newlocale(LC_ALL_MASK, name, nullptr)),
          m_previous(m_locale ? uselocale(m_locale) : nullptr) {}
    ~ScopedThreadLocale() {
        if (m_locale) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    bool ok() const { return m_locale != nullptr; }

private:
    locale_t m_locale;
    locale_t m_previous;
};

}  // namespace testsupport
