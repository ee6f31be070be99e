// Starts GTK on the X display and prepares the process as the program's start-up does (the
// control-site manager and the script bridge), with its own data directories and working
// directory, then runs the tests.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/LoginApp.h"
#include "browser/CustomControlSite.h"
#include "login/ScriptBridge.h"
#include "platform/Control.h"

int main(int argc, char** argv) {
    char pattern[] = "/tmp/qarvelle-gui-XXXXXX";
    const std::string home = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("GDK_SCALE", "1", 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    if (chdir(home.c_str()) != 0) return 2;
    std::setlocale(LC_ALL, "");
    setenv("GTK_OVERLAY_SCROLLING", "0", 1);  // scroll bars that show without hovering
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "no X display: the GUI tests need one (run them under xvfb-run)\n");
        return 1;
    }
    static CCustomOccManager manager;
    platform::AfxEnableControlContainer(&manager);
    theApp.m_pScriptBridge = new CImpIDispatch;
    const int result = RUN_ALL_TESTS();
    // WebKit's helper processes may still be writing their cache as they end: try a few times.
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::error_code error;
        std::filesystem::remove_all(home, error);
        if (!error && !std::filesystem::exists(home)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (std::filesystem::exists(home)) std::fprintf(stderr, "left behind: %s\n", home.c_str());
    return result;
}
