#pragma once
// The two operator hosts. Each is fixed when the program is built and can be overridden by the
// environment variable of the same name (for development and tests). A host is "name",
// "name:port", or carries its scheme ("https://name:port"); a bare host means plain HTTP.

#include <string>

std::u16string GetLoginHost();     // QARVELLE_LOGIN_HOST
std::u16string GetDownloadHost();  // QARVELLE_DOWNLOAD_HOST

// "scheme://host" for a host setting: the setting itself when it carries a scheme, else
// "http://" and the host.
std::u16string HostBaseAddress(const std::u16string& host);
