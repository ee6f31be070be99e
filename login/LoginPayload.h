#pragma once
// From the login result the page hands over to the stored login data. GUI thread.

#include <functional>
#include <optional>
#include <string>

class LauncherDownloadView;

// The five members of a login result, in the narrow code set, each cut at its first NUL.
struct LoginResult {
    std::string uid;
    std::string token;
    std::string serverId;
    std::string other;
    std::string sign;
};

// Parses a login result: a JSON object (comments allowed) whose "uid", "token", "server_id",
// "other" and "sign" are strings, numbers or booleans; numbers and booleans are taken by their
// text as written. Anything else, including text that does not parse, gives nothing.
std::optional<LoginResult> ParseLoginResult(const std::string& json);

// token, "&", server_id, "&", other, "&", sign.
std::u16string BuildCredential(const LoginResult& result);

// Replaces the application object's login data with the narrow form of `loginData`.
void SetLoginData(const std::u16string& loginData);

// Appends the text to "log.txt" in the working directory, parses it, appends the credential and
// stores the login data. Returns whether the text was a login result; when it was not, only the
// text was logged and nothing else changed.
bool RecordLogin(const std::u16string& json);

// What the login panel does with a login result from the page: RecordLogin, then, when the text
// was a login result, EnsureLauncherAndLaunch and `dropElementHooks`. A login that arrives while
// another is being handed off, or once the program is quitting, is ignored. `view` is told how
// a launcher download goes.
void HandOffLogin(const std::u16string& json, const std::function<void()>& dropElementHooks,
                  LauncherDownloadView* view = nullptr);

// The code-callback road: the completed address itself is the login data. LaunchGameClient with
// `url`, then `dropElementHooks`; ignored like a login while another hand-off runs.
void HandOffCodeCallback(const std::u16string& url, const std::function<void()>& dropElementHooks);
