// SplitString, the launcher's command line built from login data, and its split by the
// Windows rules. Input: a selector byte, then text.
#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "login/GameLaunch.h"
#include "login/TextConversion.h"
#include "platform/Process.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");  // as a player's desktop has it
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string delimiter = input.ConsumeRandomLengthString(4);
    const std::string directory = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRemainingBytesAsString();

    // Every piece is non-empty and holds no delimiter; together they are no longer than the text.
    std::vector<std::string> fields;
    if (SplitString(text, fields, delimiter) != 0) std::abort();
    size_t total = 0;
    for (const std::string& field : fields) {
        if (field.empty() || field.find(delimiter) != std::string::npos) std::abort();
        total += field.size();
    }
    if (total > text.size()) std::abort();

    // Any command line splits; the pieces never hold more than the line did.
    size_t pieces = 0;
    for (const std::string& argument : platform::SplitWindowsCommandLine(text))
        pieces += argument.size();
    if (pieces > text.size()) std::abort();

    // The launcher's own path comes back first whatever the login data, as long as the
    // directory can be quoted at all (a quote or NUL in it cannot be).
    const std::u16string wideDirectory = NarrowToWide(directory);
    const std::string commandLine = BuildLaunchCommandLine(wideDirectory, NarrowToWide(text));
    const std::string path = WideToNarrow(wideDirectory + u"/" + kLauncherFileName);
    if (path.find_first_of(std::string("\"\0", 2)) == std::string::npos) {
        const std::vector<std::string> argv = platform::SplitWindowsCommandLine(commandLine);
        if (argv.empty() || argv[0] != path) std::abort();
    }
    return 0;
}
