#include "app/Settings.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "login/TextConversion.h"

namespace {

std::u16string Setting(const char* name, const char* builtIn) {
    const char* value = std::getenv(name);
    return NarrowToWide(value && *value ? value : builtIn);
}

}  // namespace

std::u16string GetLoginHost() {
    return Setting("QARVELLE_LOGIN_HOST", QARVELLE_DEFAULT_LOGIN_HOST);
}

std::u16string GetDownloadHost() {
    return Setting("QARVELLE_DOWNLOAD_HOST", QARVELLE_DEFAULT_DOWNLOAD_HOST);
}

std::optional<std::string> GetLauncherSha256() {
    const char* value = std::getenv("QARVELLE_LAUNCHER_SHA256");
    std::string digest = value && *value ? value : QARVELLE_DEFAULT_LAUNCHER_SHA256;
    if (digest.empty()) return std::nullopt;
    for (char& c : digest)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return digest;
}

uint64_t GetLauncherSizeLimit() {
    const char* value = std::getenv("QARVELLE_LAUNCHER_MAX_BYTES");
    if (value && *value) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long limit = std::strtoull(value, &end, 10);
        if (errno == 0 && *end == '\0' && limit > 0 && value[0] != '-') return limit;
    }
    return QARVELLE_DEFAULT_LAUNCHER_MAX_BYTES;
}

std::u16string HostBaseAddress(const std::u16string& host) {
    std::u16string base = host.find(u"://") == std::u16string::npos ? u"http://" + host : host;
    while (!base.empty() && base.back() == u'/')
        base.pop_back();
    return base;
}
