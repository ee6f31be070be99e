#include "login/GameLaunch.h"

#include "app/LoginApp.h"
#include "login/TextConversion.h"
#include "platform/MainLoop.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Process.h"

namespace {

constexpr unsigned kLastWinExecError = 31;

}  // namespace

std::u16string GetModuleDirectory() {
    // Paths here use '/' only; a backslash is an ordinary character of a file name.
    const std::u16string path = platform::GetModuleFileNameW();
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

int SplitString(const std::string& text, std::vector<std::string>& fields, std::string delimiter) {
    if (text.empty() || delimiter.empty()) return 0;
    size_t position = text.find_first_not_of(delimiter);
    while (position != std::string::npos) {
        const size_t next = text.find(delimiter, position);
        const size_t end = next == std::string::npos ? text.size() : next;
        if (end > position) fields.push_back(text.substr(position, end - position));
        position = next == std::string::npos ? std::string::npos : next + delimiter.size();
    }
    return 0;
}

std::string BuildLaunchCommandLine(const std::u16string& directory,
                                   const std::u16string& loginData) {
    std::string commandLine = WideToNarrow(u"\"" + directory + u"/" + kLauncherFileName + u"\"");
    std::vector<std::string> fields;
    SplitString(WideToNarrow(loginData), fields, ",");
    if (fields.size() < 2) fields.resize(2);  // a missing identity or key is passed empty
    commandLine += " ,id^" + fields[0] + ",auth_key^" + fields[1];
    if (fields.size() >= 3) commandLine += ",parent^" + fields[2];
    return commandLine;
}

void LaunchGameClient(const std::u16string& loginData) {
    const std::string commandLine = BuildLaunchCommandLine(GetModuleDirectory(), loginData);
    if (platform::WinExec(commandLine) <= kLastWinExecError) {
        platform::MessageBoxW(nullptr, kStartFailedText, kStartFailedCaption, platform::MB_OK);
    }
    platform::PostQuitMessage(kLaunchExitCode);
}
