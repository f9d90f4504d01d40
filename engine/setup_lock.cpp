// The setup mutexes, through the seam.
#include "engine/setup_lock.h"

namespace nimbic {

SetupLock::~SetupLock()
{
    Release();
}

sys::lock_result SetupLock::Acquire(uint32_t timeout_ms)
{
    if (held())
        return sys::lock_result::acquired;
    const sys::lock_result result = sys::lock_named_mutex(m_name, timeout_ms, &m_held);
    if (result != sys::lock_result::not_ours)
        return result;
    m_alone = true;
    return sys::lock_result::acquired;
}

void SetupLock::Release()
{
    sys::unlock_named_mutex(m_held);
    m_held = sys::invalid_mutex;
    m_alone = false;
}

bool SetupLock::IsTaken(std::u16string_view name)
{
    return sys::named_mutex_exists(std::u16string(name));
}

} // namespace nimbic
