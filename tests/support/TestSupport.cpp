#include "tests/support/TestSupport.h"

#include <sys/resource.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {

TempDir::TempDir(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    chmod(m_path.c_str(), 0755);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Directories a test made unwritable must become writable again to be emptied.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) chmod(it->path().c_str(), 0755);
    }
    chmod(m_path.c_str(), 0755);
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content, unsigned mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    chmod(path.c_str(), mode);
}

std::vector<std::string> ListDirectory(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SplitRecord(const std::string& record) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i < record.size(); ++i) {
        if (record[i] == '\0') {
            parts.push_back(record.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool WaitForFile(const std::filesystem::path& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {

// The argv and environment of a process to start, as execve takes them; valid while it lives.
class ExecArguments {
public:
    explicit ExecArguments(const RunOptions& options) : m_args(options.argv) {
        std::map<std::string, std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const size_t eq = entry.find('=');
            if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (const auto& name : options.unsetEnv)
            env.erase(name);
        for (const auto& [name, value] : options.env)
            env[name] = value;
        for (const auto& [name, value] : env)
            m_envStrings.push_back(name + "=" + value);
        for (auto& s : m_envStrings)
            m_envp.push_back(s.data());
        m_envp.push_back(nullptr);
        for (auto& s : m_args)
            m_argv.push_back(s.data());
        m_argv.push_back(nullptr);
    }
    char* const* argv() { return m_argv.data(); }
    char* const* envp() { return m_envp.data(); }

private:
    std::vector<std::string> m_args, m_envStrings;
    std::vector<char*> m_argv, m_envp;
};

}  // namespace

namespace {

// Writes `input` to a child's standard input and closes it (a child that stops reading ends it).
void FeedAndClose(int fd, const std::string& input) {
    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    while (written < input.size()) {
        const ssize_t n = write(fd, input.data() + written, input.size() - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    close(fd);
}

}  // namespace

RunResult Run(const RunOptions& options) {
    ExecArguments exec(options);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        if (options.fileSizeLimit) {
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
        }
        if (options.runAsUser && geteuid() == 0) {
            const passwd* user = getpwuid(*options.runAsUser);
            const gid_t group = user ? user->pw_gid : *options.runAsUser;
            if (setgroups(0, nullptr) != 0 || setgid(group) != 0 ||
                setuid(*options.runAsUser) != 0) {
                _exit(125);
            }
        }
        execve(exec.argv()[0], exec.argv(), exec.envp());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    FeedAndClose(in[1], options.input);
    RunResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

Process::Process(const RunOptions& options) {
    ExecArguments exec(options);
    int in[2] = {-1, -1};
    if (!options.input.empty() && pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    m_pid = fork();
    if (m_pid == 0) {
        const int source = options.input.empty() ? open("/dev/null", O_RDONLY) : in[0];
        dup2(source, 0);
        if (!options.outputFile.empty()) {
            const int out =
                open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (out < 0) _exit(123);
            dup2(out, 1);
            dup2(out, 2);
        }
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        execve(exec.argv()[0], exec.argv(), exec.envp());
        _exit(127);
    }
    if (options.input.empty()) return;
    close(in[0]);
    FeedAndClose(in[1], options.input);
}

void Process::Kill() {
    if (m_pid <= 0 || m_exitCode) return;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_exitCode = 128 + SIGKILL;
}

Process::~Process() {
    if (m_pid > 0 && !m_exitCode) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> Process::Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_exitCode) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_exitCode;
}

RawServer::RawServer(Responder respond) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listener, 8) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(m_wake, O_CLOEXEC) != 0) {
        throw std::runtime_error("raw server could not listen");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, respond = std::move(respond)] {
        while (true) {
            pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN)) return;
            const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            ++m_connections;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, n);
            }
            respond(client, request);
            close(client);
        }
    });
}

RawServer::~RawServer() {
    if (write(m_wake[1], "x", 1) < 0) {
    }
    m_thread.join();
    close(m_listener);
    close(m_wake[0]);
    close(m_wake[1]);
}

bool RawServer::Send(int socket, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void RawServer::Reset(int socket) {
    linger hard{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

}  // namespace testsupport
