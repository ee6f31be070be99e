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

namespace guitest {

// Runs the main loop until `done` or the time is up; returns whether `done` became true.
bool SpinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15));
// Runs the main loop for a while.
void SpinFor(std::chrono::milliseconds time);

// Runs `action` once from the main loop after `ms`; returns the timer, to cancel it sooner.
guint RunLater(std::function<void()> action, int ms = 100);

// Whether two 0xRRGGBB colours differ by at most `tolerance` in every channel.
bool ColoursNear(uint32_t a, uint32_t b, int tolerance);

// Runs xdotool with `args` (real input through the XTest extension) and waits for it, while
// the main loop keeps running. Returns its exit code.
int Xdotool(const std::vector<std::string>& args);

// Gives the X input focus to the widget's window, as a window manager would on a click.
void GiveFocus(GtkWidget* widget);

// The screen position of a widget's top-left corner.
void ScreenOrigin(GtkWidget* widget, int& x, int& y);

// Reads a rectangle of the screen back from the X server (the root window).
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel, rows top to bottom
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};
Pixels ReadScreen(int x, int y, int width, int height);

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
