#pragma once
// The quit request and nested runs of the GUI thread's main loop.
// Everything here runs on the GUI thread (the thread that owns GLib's default main context).

#include <functional>
#include <optional>

namespace platform {

// Asks the program to end with `exitCode`. Every loop that RunLoopUntil runs, now or later,
// ends at once while the request is pending; the first request's code is the one kept.
void PostQuitMessage(int exitCode);

bool IsQuitPending();

// The exit code of the pending quit request, if one was posted.
std::optional<int> PostedQuitCode();

// Runs the main loop until `done()` is true or a quit request is pending. `done` is checked
// before every iteration. Returns true when `done()` ended the run, false when a quit did.
bool RunLoopUntil(const std::function<bool()>& done);

// Forgets a posted quit request, so that one process can run several scenarios in a row.
// Only test harnesses call this; the program never takes a quit back.
void ResetQuitRequestForTesting();

}  // namespace platform
