// The sizes of what an install writes, read from the payloads themselves: the space the wizard
// asks for, its progress line and the Apps entry's size all come from here.
#pragma once

#include "engine/system/system.h"

#include <cstdint>

namespace nimbic {

struct PayloadSizes {
    uint64_t plugin = 0;  // the module (resource 400), written once per plug-in folder
    uint64_t scripts = 0; // the package's files (resource 500) inflated, once per scripts folder
};

// A payload that cannot be read counts as 0 bytes: the install itself then reports it.
PayloadSizes ReadPayloadSizes(sys::module payloads = sys::own_program);

} // namespace nimbic
