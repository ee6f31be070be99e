// Starts a program and watches the screen: how long until the pixel at (X, Y) shows COLOUR
// (the page painted), the program's peak resident size at that moment, and then its context
// switches (all threads) per second over IDLE seconds of nothing happening. Prints one JSON
// line; the program is killed at the end.
//   page_timer X Y RRGGBB IDLE_SECONDS TIMEOUT_SECONDS -- PROGRAM ARGS...
#include <gdk/gdk.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

unsigned PixelAt(int x, int y) {
    GdkPixbuf* image = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1);
    if (!image) return 0;
    const guchar* p = gdk_pixbuf_get_pixels(image);
    const unsigned rgb = (p[0] << 16) | (p[1] << 8) | p[2];
    g_object_unref(image);
    return rgb;
}

// A field of /proc/PID/status (kB or a count), summed over the process's threads when `threads`.
long long StatusField(pid_t pid, const char* field, bool threads) {
    long long total = 0;
    const std::string base = "/proc/" + std::to_string(pid);
    auto read = [&](const std::string& status) {
        std::ifstream in(status);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(field, 0) == 0) total += std::atoll(line.c_str() + std::strlen(field));
        }
    };
    if (!threads) {
        read(base + "/status");
        return total;
    }
    DIR* tasks = opendir((base + "/task").c_str());
    if (!tasks) return -1;
    while (const dirent* task = readdir(tasks)) {
        if (task->d_name[0] != '.') read(base + "/task/" + task->d_name + "/status");
    }
    closedir(tasks);
    return total;
}

long long ContextSwitches(pid_t pid) {
    return StatusField(pid, "voluntary_ctxt_switches:", true) +
           StatusField(pid, "nonvoluntary_ctxt_switches:", true);
}

}  // namespace

int main(int argc, char** argv) {
    int separator = 0;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--") == 0) separator = i;
    if (separator != 6 || separator + 1 >= argc || !gdk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "usage: page_timer X Y RRGGBB IDLE_SECONDS TIMEOUT -- PROGRAM...\n");
        return 2;
    }
    const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
    const unsigned colour = std::strtoul(argv[3], nullptr, 16);
    const double idle = std::atof(argv[4]), timeout = std::atof(argv[5]);

    const double start = Now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[separator + 1], nullptr, nullptr, argv + separator + 1, environ) !=
        0) {
        return 3;
    }
    double shown = -1;
    while (Now() - start < timeout) {
        if (PixelAt(x, y) == colour) {
            shown = Now();
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) return 4;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const long long peakKb = StatusField(pid, "VmHWM:", false);
    double wakeups = -1;
    if (shown > 0 && idle > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let the first paint settle
        const long long before = ContextSwitches(pid);
        const double from = Now();
        std::this_thread::sleep_for(std::chrono::duration<double>(idle));
        wakeups = (ContextSwitches(pid) - before) / (Now() - from);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::printf("{\"page_ms\": %.2f, \"peak_rss_kb\": %lld, \"wakeups_per_s\": %.2f}\n",
                shown > 0 ? (shown - start) * 1000 : -1.0, peakKb, wakeups);
    return shown > 0 ? 0 : 5;
}
