// The bundled demo operator: serves the login page at /client, a code-callback page, and the
// demo game launcher at the launcher's download path. demo_operator PORT LAUNCHER-FILE
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tools/demo_operator/login_page.h"

namespace {

httplib::Server* g_server = nullptr;

std::string ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_operator PORT LAUNCHER-FILE\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string launcher = ReadAll(argv[2]);
    if (launcher.empty()) {
        std::fprintf(stderr, "demo_operator: cannot read the launcher %s\n", argv[2]);
        return 1;
    }
    httplib::Server server;
    g_server = &server;
    std::signal(SIGTERM, [](int) { g_server->stop(); });
    std::signal(SIGINT, [](int) { g_server->stop(); });
    server.Get("/client", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kLoginPage, "text/html; charset=utf-8");
    });
    server.Get("/orbyl/codeCallback.htm", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<!doctype html><meta charset=\"utf-8\"><body "
            "style=\"background:#140d18;color:#f1e2c0\">"
            "正在进入游戏……</body>",
            "text/html; charset=utf-8");
    });
    server.Get("/dranholt/tolqa_web/velmo_tolqa_launch_1.exe",
               [&launcher](const httplib::Request&, httplib::Response& res) {
                   res.set_content(launcher, "application/octet-stream");
               });
    // Port 0: any free port, told on standard output.
    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "demo_operator: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", bound);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
