#pragma once
// Making sure the game's launcher lies beside the program, then starting it. GUI thread.

#include <cstdint>
#include <optional>
#include <string>

// The launcher's object path on the download host.
inline constexpr char16_t kLauncherObjectPath[] = u"/dranholt/tolqa_web/velmo_tolqa_launch_1.exe";

// Where the launcher lies: the program's directory and the launcher's file name.
std::u16string LauncherPath();

// The download address: the download host's base address and the launcher's object path.
std::u16string LauncherDownloadAddress();

// What the player is shown of a launcher download. GUI thread.
class LauncherDownloadView {
public:
    virtual ~LauncherDownloadView() = default;
    // Part of the body has arrived: `received` bytes of `total`, when the server announced it.
    virtual void ShowDownloadProgress(uint64_t received, std::optional<uint64_t> total) = 0;
    // The download ended, complete or not; what was shown of it goes.
    virtual void HideDownloadProgress() = 0;
    // The launcher could not be downloaded (network, server, or a body that was not whole);
    // nothing was started and the player may sign in again.
    virtual void ShowDownloadFailed() = 0;
};

// Starts the launcher with the stored login data when it lies beside the program (and matches
// the launcher digest, when one is set). Otherwise fetches it first; the fetched file appears
// under its name only when complete, within the size limit and matching the digest. A file error is
// shown to the player; a network failure or a status other than 200 leaves everything as it
// was, starts nothing, and keeps the program running. Returns when the transfer has ended;
// the windows keep working meanwhile. `view`, when given, is told how the download goes.
void EnsureLauncherAndLaunch(LauncherDownloadView* view = nullptr);
