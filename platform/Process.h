#pragma once
// Starting programs from a Windows-style command line, without any shell. GUI thread (the
// started process is reaped from the main loop).

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// WinExec results of 31 or less are failures; these are the ones given here.
constexpr unsigned ERROR_OUT_OF_RESOURCES = 0;
constexpr unsigned ERROR_FILE_NOT_FOUND = 2;
constexpr unsigned ERROR_PATH_NOT_FOUND = 3;
constexpr unsigned ERROR_ACCESS_DENIED = 5;
constexpr unsigned ERROR_BAD_FORMAT = 11;
constexpr unsigned kWinExecStarted = 33;

// Splits a command line by the Windows rules: the program name runs to the next quote when it
// starts with one, else to the first space or tab; then spaces and tabs separate arguments,
// double quotes group, 2n backslashes before a quote give n and the quote groups, 2n+1 give n
// and a literal quote, other backslashes are literal, and "" inside quotes is a literal quote.
std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine);

// Starts the program the command line names with the arguments it carries, and does not wait
// for it. The file must exist, be executable and be of a format this system runs: a native
// executable or a script with "#!"; a Windows executable ("MZ") runs through `wine` from PATH
// when there is one. Returns kWinExecStarted, or one of the error values above.
unsigned WinExec(std::string_view commandLine);

// Opens an address in the user's default browser (xdg-open, else GIO's default handler).
void OpenInDefaultBrowser(const std::string& uri);

}  // namespace platform
