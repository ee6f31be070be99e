#pragma once
// Helpers for tests with real windows under an X server (Xvfb): running the main loop until
// something happens, reading pixels back from the server, and real input through xdotool.

#include <gtk/gtk.h>
#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Screen.h"

namespace guitest {

// Runs the main loop until `done` or the time is up; returns whether `done` became true.
bool SpinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15));
// Runs the main loop for a while.
void SpinFor(std::chrono::milliseconds time);

// Runs `action` once from the main loop after `ms`; returns the timer, to cancel it sooner.
guint RunLater(std::function<void()> action, int ms = 100);

using testsupport::ColoursNear;
using testsupport::Pixels;
using testsupport::ReadScreen;

// Runs xdotool with `args` (real input through the XTest extension) and waits for it, while
// the main loop keeps running. Returns its exit code.
int Xdotool(const std::vector<std::string>& args);

// Gives the X input focus to the widget's window, as a window manager would on a click.
void GiveFocus(GtkWidget* widget);

// The screen position of a widget's top-left corner.
void ScreenOrigin(GtkWidget* widget, int& x, int& y);

// Whether a popup window (a menu) of this process is showing.
bool AnyPopupShowing();

// An HTTP server on loopback, on its own thread.
class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    httplib::Server* operator->() { return &server_; }
    int port() const { return port_; }
    std::string Url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(port_) + path;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace guitest
