#pragma once
// Making sure the game's launcher lies beside the program, then starting it. GUI thread.

#include <string>

// The launcher's object path on the download host.
inline constexpr char16_t kLauncherObjectPath[] = u"/dranholt/tolqa_web/velmo_tolqa_launch_1.exe";

// Where the launcher lies: the program's directory and the launcher's file name.
std::u16string LauncherPath();

// The download address: the download host's base address and the launcher's object path.
std::u16string LauncherDownloadAddress();

// Starts the launcher with the stored login data when it lies beside the program. Otherwise
// fetches it first; the fetched file appears under its name only when complete. A file error is
// shown to the player; a network failure or a status other than 200 leaves everything as it
// was, starts nothing, and keeps the program running. Returns when the transfer has ended;
// the windows keep working meanwhile.
void EnsureLauncherAndLaunch();
