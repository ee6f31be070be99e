#pragma once
// SHA-256 digests, as lower-case hexadecimal text. Any thread; one object per thread.

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything given so far; no more data may follow.
    std::string HexDigest();

private:
    void* m_checksum;  // GChecksum
};

// The digest of a file's contents; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::u16string& path);

}  // namespace platform
