#pragma once
// The program's resources, compiled into its file and found by type and integer id, as
// ("PNG", 155), ("BITMAP", 177), ("GROUP_ICON", 128), ("DIALOG", 102). Any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace platform {

// The bytes of one resource, kept alive for as long as the object lives.
class ResourceData {
public:
    ResourceData(const void* data, size_t size, void* owner)
        : m_data(data), m_size(size), m_owner(owner) {}
    ~ResourceData();
    ResourceData(const ResourceData&) = delete;
    ResourceData& operator=(const ResourceData&) = delete;

    std::span<const uint8_t> Bytes() const { return {static_cast<const uint8_t*>(m_data), m_size}; }

private:
    const void* m_data;
    size_t m_size;
    void* m_owner;  // the GBytes behind the data
};

// The resource of `type` and `id`, or null when there is none.
std::unique_ptr<ResourceData> FindResource(const char* type, unsigned id);

}  // namespace platform
