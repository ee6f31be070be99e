#pragma once
// Starting the game's launcher with the player's identity and key, then ending the program.
// GUI thread.

#include <string>
#include <vector>

// The launcher's file name beside the program.
inline constexpr char16_t kLauncherFileName[] = u"velmo_tolqa_launch.exe";

// The program file's directory, without a trailing slash; empty if it cannot be told.
std::u16string GetModuleDirectory();

// Appends to `fields` the non-empty pieces of `text` between occurrences of `delimiter`
// (leading, doubled and trailing delimiters give no pieces). Always returns 0.
int SplitString(const std::string& text, std::vector<std::string>& fields, std::string delimiter);

// The command line that starts the launcher in `directory` for `loginData` (identity, key and
// an optional parent, separated by commas): the quoted launcher path, then " ,id^" identity,
// ",auth_key^" key and, when there is a third field, ",parent^" parent. Missing fields are
// empty.
std::string BuildLaunchCommandLine(const std::u16string& directory,
                                   const std::u16string& loginData);

// Starts the launcher beside the program for `loginData`; tells the player when it could not
// be started; then asks the program to quit with exit code 16, in both cases.
void LaunchGameClient(const std::u16string& loginData);

inline constexpr int kLaunchExitCode = 16;
