// One setup at a time: the wizard, its elevated copies, the uninstaller and nimbic-deploy share
// one named mutex in the global namespace, so that two of them never write the same folders.
#pragma once

#include "engine/system/system.h"

#include <cstdint>
#include <string_view>

namespace nimbic {

inline constexpr std::u16string_view setup_mutex_name = u"Global\\Vantrel.NimbicPlugin.Setup";
// How long nimbic-deploy waits for another setup to end before it gives up.
inline constexpr uint32_t deploy_lock_wait_ms = 30000;

// The mutex held for the owner's lifetime, released when destroyed.
class SetupLock {
public:
    SetupLock() = default;
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;
    ~SetupLock();

    // Waits at most `timeout_ms` for another setup to end. `failed` (the mutex cannot be made
    // or opened, as for a process without administrator rights) is for callers a taken lock.
    sys::lock_result Acquire(uint32_t timeout_ms);
    bool held() const { return m_held != sys::invalid_mutex; }

    // Whether another setup runs now, without taking the lock: what the unelevated first copy
    // asks, so that it hands over to its elevated copy without holding anything.
    static bool IsTaken();

private:
    sys::mutex_handle m_held = sys::invalid_mutex;
};

} // namespace nimbic
