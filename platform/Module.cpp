#include "platform/Module.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/TextCodec.h"

namespace platform {

std::string PathToNative(const std::u16string& path) {
    return WideToThreadCodeSet(path);
}

std::u16string PathFromNative(const std::string& path) {
    return ThreadCodeSetToWide(path);
}

std::u16string GetModuleFileNameW() {
    std::vector<char> buffer(256);
    while (true) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            return PathFromNative(std::string(buffer.data(), static_cast<size_t>(n)));
        }
        buffer.resize(buffer.size() * 2);  // possibly cut: try again with room to spare
    }
}

bool PathFileExistsW(const std::u16string& path) {
    struct stat st;
    return !path.empty() && stat(PathToNative(path).c_str(), &st) == 0;
}

}  // namespace platform
