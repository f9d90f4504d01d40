// The licence agreement shown on the License page: installer/license/license_agreement.html,
// compiled in by a source generated at build time.
#pragma once

#include <span>

namespace nimbic {

extern const std::span<const unsigned char> license_agreement;

} // namespace nimbic
