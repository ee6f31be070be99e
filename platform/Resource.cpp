#include "platform/Resource.h"

#include <gio/gio.h>

#include <mutex>
#include <string>

// The program's resource bundle, compiled from res/resources.gresource.xml.
extern "C" void qarvelle_register_resource(void);

namespace platform {

ResourceData::~ResourceData() {
    g_bytes_unref(static_cast<GBytes*>(m_owner));
}

std::unique_ptr<ResourceData> FindResource(const char* type, unsigned id) {
    static std::once_flag registered;
    std::call_once(registered, qarvelle_register_resource);
    const std::string path = std::string("/qarvelle/") + type + "/" + std::to_string(id);
    GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (!bytes) return nullptr;
    gsize size = 0;
    const void* data = g_bytes_get_data(bytes, &size);
    return std::make_unique<ResourceData>(data, size, bytes);
}

}  // namespace platform
