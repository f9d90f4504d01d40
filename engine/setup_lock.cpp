// The setup mutex, through the seam.
#include "engine/setup_lock.h"

#include <string>

namespace nimbic {

SetupLock::~SetupLock()
{
    sys::unlock_named_mutex(m_held);
}

sys::lock_result SetupLock::Acquire(uint32_t timeout_ms)
{
    if (held())
        return sys::lock_result::acquired;
    return sys::lock_named_mutex(std::u16string(setup_mutex_name), timeout_ms, &m_held);
}

bool SetupLock::IsTaken()
{
    return sys::named_mutex_exists(std::u16string(setup_mutex_name));
}

} // namespace nimbic
