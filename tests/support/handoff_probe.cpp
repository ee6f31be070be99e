// Runs one login hand-off as the program does, from the directory this file lies in, and
// reports what a player would have seen. The login text comes on standard input (UTF-8).
// Options: --connect-timeout S, --low-speed-time S (network time-outs, seconds);
// --quit-after-ms N posts the quit request (exit code 16) from the main loop after N ms, as a
// player confirming "close" during a download would; --again-after-ms N hands the same login
// over a second time from the main loop after N ms.
// Output, one line each: "box<TAB>caption<TAB>text" per message box; at the end of a download
// that reported progress, "progress<TAB>received<TAB>total" (the last report; total "-" when
// unknown), or "progress out of order" when a report went backwards or changed the total;
// "download failed" when the player would be told so; "unadvise" when the page hooks were
// dropped; and last "quit<TAB>code" or "quit<TAB>none".
#include <glib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "login/LauncherDownload.h"
#include "login/LoginPayload.h"
#include "platform/Internet.h"
#include "platform/MainLoop.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace {

std::u16string g_login;

class RecordingView : public LauncherDownloadView {
public:
    void ShowDownloadProgress(uint64_t received, std::optional<uint64_t> total) override {
        if (m_reports > 0 && (received < m_received || total != m_total)) m_inOrder = false;
        ++m_reports;
        m_received = received;
        m_total = total;
    }
    void HideDownloadProgress() override {
        if (m_reports == 0) return;
        if (!m_inOrder) {
            std::printf("progress out of order\n");
        } else {
            std::printf("progress\t%llu\t%s\n", static_cast<unsigned long long>(m_received),
                        m_total ? std::to_string(*m_total).c_str() : "-");
        }
        m_reports = 0;
    }
    void ShowDownloadFailed() override { std::printf("download failed\n"); }

private:
    unsigned m_reports = 0;
    uint64_t m_received = 0;
    std::optional<uint64_t> m_total;
    bool m_inOrder = true;
};
RecordingView g_view;

}  // namespace

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
                HandOffLogin(
                    g_login, [] { std::printf("unadvise again\n"); }, &g_view);
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
    HandOffLogin(
        g_login, [] { std::printf("unadvise\n"); }, &g_view);
    if (const auto code = platform::PostedQuitCode()) {
        std::printf("quit\t%d\n", *code);
    } else {
        std::printf("quit\tnone\n");
    }
    return 0;
}
