#pragma once
// The two operator hosts. Each is fixed when the program is built and can be overridden by the
// environment variable of the same name (for development and tests). A host is "name",
// "name:port", or carries its scheme ("https://name:port"); a bare host means plain HTTP.

#include <cstdint>
#include <optional>
#include <string>

std::u16string GetLoginHost();     // QARVELLE_LOGIN_HOST
std::u16string GetDownloadHost();  // QARVELLE_DOWNLOAD_HOST

// The SHA-256 the launcher must have, lower-case hex; nothing when it is not checked
// (QARVELLE_LAUNCHER_SHA256). A value that is no SHA-256 matches no file.
std::optional<std::string> GetLauncherSha256();

// The largest launcher download accepted, in bytes (QARVELLE_LAUNCHER_MAX_BYTES; a value that is
// no positive number leaves the built-in one).
uint64_t GetLauncherSizeLimit();

// "scheme://host" for a host setting: the setting itself when it carries a scheme, else
// "http://" and the host.
std::u16string HostBaseAddress(const std::u16string& host);
