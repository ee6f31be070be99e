#include "platform/MainLoop.h"

#include <glib.h>

namespace platform {
namespace {

std::optional<int> g_quitCode;

}  // namespace

void PostQuitMessage(int exitCode) {
    if (!g_quitCode) g_quitCode = exitCode;
    g_main_context_wakeup(nullptr);
}

bool IsQuitPending() {
    return g_quitCode.has_value();
}

std::optional<int> PostedQuitCode() {
    return g_quitCode;
}

bool RunLoopUntil(const std::function<bool()>& done) {
    while (true) {
        if (IsQuitPending()) return false;
        if (done()) return true;
        g_main_context_iteration(nullptr, TRUE);
    }
}

void ResetQuitRequestForTesting() {
    g_quitCode.reset();
}

}  // namespace platform
