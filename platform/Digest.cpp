#include "platform/Digest.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/Module.h"

namespace platform {

CSha256::CSha256() : m_checksum(g_checksum_new(G_CHECKSUM_SHA256)) {}

CSha256::~CSha256() {
    g_checksum_free(static_cast<GChecksum*>(m_checksum));
}

void CSha256::Update(const void* data, size_t size) {
    auto* checksum = static_cast<GChecksum*>(m_checksum);
    const auto* bytes = static_cast<const guchar*>(data);
    while (size > 0) {  // g_checksum_update takes a signed length
        const size_t piece = std::min<size_t>(size, 1u << 30);
        g_checksum_update(checksum, bytes, static_cast<gssize>(piece));
        bytes += piece;
        size -= piece;
    }
}

std::string CSha256::HexDigest() {
    return g_checksum_get_string(static_cast<GChecksum*>(m_checksum));
}

std::optional<std::string> Sha256OfFile(const std::u16string& path) {
    const int fd = open(PathToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    CSha256 digest;
    std::vector<char> buffer(256 * 1024);
    while (true) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        digest.Update(buffer.data(), static_cast<size_t>(n));
    }
    close(fd);
    return digest.HexDigest();
}

}  // namespace platform
