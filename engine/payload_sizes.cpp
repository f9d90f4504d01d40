// Payload sizes without inflating anything: the module's resource size, and the sizes the
// package's file records claim (the extractor refuses data that holds more).
#include "engine/payload_sizes.h"

#include "engine/install_worker.h"
#include "engine/script_package.h"

namespace nimbic {

namespace {

const void* Payload(int id, sys::module from, uint32_t* size)
{
    *size = 0;
    const sys::resource found = sys::find_resource(id, from);
    const uintptr_t loaded = found ? sys::load_resource(found, from) : 0;
    const void* bytes = loaded ? sys::lock_resource(loaded) : nullptr;
    if (bytes)
        *size = sys::resource_size(found, from);
    return bytes;
}

} // namespace

PayloadSizes ReadPayloadSizes(sys::module payloads)
{
    PayloadSizes sizes;
    uint32_t size = 0;
    if (Payload(plugin_resource_id, payloads, &size))
        sizes.plugin = size;
    if (const void* package = Payload(scripts_resource_id, payloads, &size)) {
        uint64_t inflated = 0;
        if (PackageInflatedSize(package, size, &inflated) == package_status::ok)
            sizes.scripts = inflated;
    }
    return sizes;
}

} // namespace nimbic
