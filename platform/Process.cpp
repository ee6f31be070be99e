#include "platform/Process.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

extern char** environ;

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

enum class Format { Unknown, Native, Script, Windows };

Format ReadFormat(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Format::Unknown;
    unsigned char magic[4] = {};
    const ssize_t n = read(fd, magic, sizeof magic);
    close(fd);
    if (n == 4 && std::memcmp(magic,
                              "\x7f"
                              "ELF",
                              4) == 0)
        return Format::Native;
    if (n >= 2 && magic[0] == '#' && magic[1] == '!') return Format::Script;
    if (n >= 2 && magic[0] == 'M' && magic[1] == 'Z') return Format::Windows;
    return Format::Unknown;
}

std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = dirs.find(':');
        std::string candidate(colon == 0 ? std::string_view(".") : dirs.substr(0, colon));
        candidate.append("/").append(name);
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) return std::nullopt;
        dirs.remove_prefix(colon + 1);
    }
}

unsigned ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case ENOEXEC:
            return ERROR_BAD_FORMAT;
        default:
            return ERROR_OUT_OF_RESOURCES;
    }
}

// Checks that `path` names a non-empty executable file and returns how to run it.
unsigned CheckProgram(const std::string& path, Format& format) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return ErrorFromErrno(errno);
    if (!S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (access(path.c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
    if (st.st_size == 0) return ERROR_BAD_FORMAT;
    format = ReadFormat(path);
    return format == Format::Unknown ? ERROR_BAD_FORMAT : kWinExecStarted;
}

// The started program belongs to no terminal of ours and starts with default signals; none of
// our descriptors but the standard three reach it.
unsigned Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return ErrorFromErrno(rc);
    // Reap it when it ends, so that a long-running host leaves no zombie behind.
    g_child_watch_add(
        pid, [](GPid child, gint, gpointer) { g_spawn_close_pid(child); }, nullptr);
    return kWinExecStarted;
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    // The program name: no escapes, quotes only delimit.
    std::string program;
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"')
            program += line[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !IsBlank(line[i]))
            program += line[i++];
    }
    args.push_back(program);

    while (true) {
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\')
                    ++slashes, ++i;
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) arg += line[i++];
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

void OpenInDefaultBrowser(const std::string& uri) {
    if (const std::optional<std::string> opener = FindOnPath("xdg-open")) {
        if (Spawn({*opener, uri}) == kWinExecStarted) return;
    }
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

unsigned WinExec(std::string_view commandLine) {
    std::vector<std::string> argv = SplitWindowsCommandLine(commandLine);
    if (argv[0].empty()) return ERROR_FILE_NOT_FOUND;
    Format format = Format::Unknown;
    if (const unsigned check = CheckProgram(argv[0], format); check != kWinExecStarted) {
        return check;
    }
    if (format == Format::Windows) {
        const std::optional<std::string> wine = FindOnPath("wine");
        if (!wine) return ERROR_BAD_FORMAT;
        argv.insert(argv.begin(), *wine);
    }
    return Spawn(argv);
}

}  // namespace platform
