// The benchmarks' operator on loopback: serves the files of a directory (streamed, with their
// length), logs each request's arrival, and prints the bodies posted to /result.
//   bench_server PORT DIRECTORY
// Output, one line each: "GET <path> <µs since the epoch>", "RESULT <body>".
#include <fcntl.h>
#include <httplib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

long long RealMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

// The launcher's directory holds downloads; everything else is a page.
const char* ContentType(const std::string& path) {
    return path.rfind("/dranholt/", 0) == 0 ? "application/octet-stream"
                                            : "text/html; charset=utf-8";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string root = argv[2];
    httplib::Server server;
    server.set_keep_alive_max_count(1);
    server.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::printf("GET %s %lld\n", req.path.c_str(), RealMicroseconds());
        std::fflush(stdout);
        if (req.path.find("..") != std::string::npos) {
            res.status = 403;
            return;
        }
        const std::string path = root + req.path;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0) close(fd);
            res.status = 404;
            return;
        }
        res.set_header("Cache-Control", "no-store");
        auto file = std::shared_ptr<int>(new int(fd), [](int* f) {
            close(*f);
            delete f;
        });
        res.set_content_provider(
            static_cast<size_t>(st.st_size), ContentType(path),
            [file](size_t offset, size_t length, httplib::DataSink& sink) {
                static thread_local std::string buffer(1 << 20, '\0');
                const ssize_t n = pread(*file, buffer.data(), std::min(length, buffer.size()),
                                        static_cast<off_t>(offset));
                return n > 0 && sink.write(buffer.data(), static_cast<size_t>(n));
            });
    });
    server.Post("/result", [](const httplib::Request& req, httplib::Response&) {
        std::printf("RESULT %s\n", req.body.c_str());
        std::fflush(stdout);
    });
    if (!server.bind_to_port("127.0.0.1", std::atoi(argv[1]))) return 1;
    server.listen_after_bind();
    return 0;
}
