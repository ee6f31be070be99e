// The login text as a page hands it over: logged, parsed, turned into the credential and the
// stored login data, and from there into the launcher's command line (recorded, not run).
// Input: UTF-16 code units, little-endian, so NULs and lone surrogates come through.
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/LoginApp.h"
#include "login/GameLaunch.h"
#include "login/LoginPayload.h"
#include "login/TextConversion.h"
#include "platform/Process.h"

namespace {

constexpr char16_t kDirectory[] = u"/opt/qarvelle login";

std::string ReadLog() {
    std::ifstream in("log.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");  // as a player's desktop has it
    char dir[] = "/tmp/qarvelle-fuzz-login-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    std::filesystem::remove("log.txt");
    theApp.m_strLoginData = "before";

    const bool recorded = RecordLogin(text);
    const std::string log = ReadLog();
    const std::string narrow = WideToNarrow(text);
    // The text is logged first and whole, whatever it is.
    if (log.compare(0, narrow.size() + 1, narrow + "\n") != 0) std::abort();
    if (!recorded) {
        if (log.size() != narrow.size() + 1 || theApp.m_strLoginData != "before") std::abort();
        return 0;
    }
    const std::optional<LoginResult> result = ParseLoginResult(narrow);
    if (!result) std::abort();
    const std::string credential = WideToNarrow(BuildCredential(*result));
    if (log != narrow + "\n" + credential + "\n") std::abort();
    if (theApp.m_strLoginData != result->uid + "," + credential) std::abort();

    // What the launcher would be started with: its own path first, always.
    const std::string commandLine =
        BuildLaunchCommandLine(kDirectory, NarrowToWide(theApp.m_strLoginData));
    const std::vector<std::string> argv = platform::SplitWindowsCommandLine(commandLine);
    if (argv.empty() ||
        argv[0] != WideToNarrow(std::u16string(kDirectory) + u"/" + kLauncherFileName)) {
        std::abort();
    }
    return 0;
}
