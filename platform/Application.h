#pragma once
// Process start-up for a GUI program on this platform. Main thread.

namespace platform {

// Takes the user's locale, asks for physical pixels (no desktop scaling) on X11, and opens the
// display. Returns false when no display could be opened.
bool InitializeApplication(int& argc, char**& argv);

}  // namespace platform
