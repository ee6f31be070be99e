// Runs one login hand-off as the program does, from the directory this file lies in, and
// reports what a player would have seen. The login text comes on standard input (UTF-8).
// Options: --connect-timeout S, --low-speed-time S (network time-outs, seconds);
// --quit-after-ms N posts the quit request (exit code 16) from the main loop after N ms, as a
// player confirming "close" during a download would; --again-after-ms N hands the same login
// over a second time from the main loop after N ms.
// Output, one line each: "box<TAB>caption<TAB>text" per message box, "unadvise" when the page
// hooks were dropped, and last "quit<TAB>code" or "quit<TAB>none".
#include <glib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "login/LoginPayload.h"
#include "platform/Internet.h"
#include "platform/MainLoop.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace {
std::u16string g_login;
}

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    platform::InternetTimeouts timeouts = platform::GetInternetTimeouts();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--connect-timeout") == 0)
            timeouts.connectSeconds = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--low-speed-time") == 0)
            timeouts.lowSpeedSeconds = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--quit-after-ms") == 0) {
            const auto quit = [](gpointer) -> gboolean {
                platform::PostQuitMessage(16);
                return G_SOURCE_REMOVE;
            };
            g_timeout_add(static_cast<guint>(std::atol(argv[i + 1])), quit, nullptr);
        }
        if (std::strcmp(argv[i], "--again-after-ms") == 0) {
            const auto again = [](gpointer) -> gboolean {
                HandOffLogin(g_login, [] { std::printf("unadvise again\n"); });
                return G_SOURCE_REMOVE;
            };
            g_timeout_add(static_cast<guint>(std::atol(argv[i + 1])), again, nullptr);
        }
    }
    platform::SetInternetTimeouts(timeouts);
    platform::SetMessageBoxPresenter(
        [](platform::CWnd*, const std::u16string& text, const std::u16string& caption, unsigned) {
            std::printf("box\t%s\t%s\n", platform::WideToUtf8(caption).c_str(),
                        platform::WideToUtf8(text).c_str());
            return platform::IDOK;
        });
    const std::string input((std::istreambuf_iterator<char>(std::cin)),
                            std::istreambuf_iterator<char>());
    g_login = platform::Utf8ToWide(input);
    HandOffLogin(g_login, [] { std::printf("unadvise\n"); });
    if (const auto code = platform::PostedQuitCode()) {
        std::printf("quit\t%d\n", *code);
    } else {
        std::printf("quit\tnone\n");
    }
    return 0;
}
