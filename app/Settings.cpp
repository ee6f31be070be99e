#include "app/Settings.h"

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

std::u16string HostBaseAddress(const std::u16string& host) {
    std::u16string base = host.find(u"://") == std::u16string::npos ? u"http://" + host : host;
    while (!base.empty() && base.back() == u'/')
        base.pop_back();
    return base;
}
