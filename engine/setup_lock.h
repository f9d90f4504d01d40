// One setup at a time: the wizard, its elevated copies, the uninstaller and nimbic-deploy share
// one named mutex in the global namespace while they write, so that two of them never write the
// same folders; a second mutex keeps one setup window open at a time.
#pragma once

#include "engine/system/system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbic {

// Held while files are written or removed: by the wizard's run, the uninstaller's removal and
// nimbic-deploy's changing commands.
inline constexpr std::u16string_view setup_mutex_name = u"Global\\Vantrel.NimbicPlugin.Setup";
// Held for the life of the wizard's or the uninstaller's window, which writes nothing while it
// only waits for the user: a second window brings this one forward instead.
inline constexpr std::u16string_view setup_window_mutex_name =
    u"Global\\Vantrel.NimbicPlugin.Window";
// How long nimbic-deploy waits for another setup to end before it gives up.
inline constexpr uint32_t deploy_lock_wait_ms = 30000;

// One of the two mutexes, held for the owner's lifetime (or until Release).
class SetupLock {
public:
    explicit SetupLock(std::u16string_view name = setup_mutex_name) : m_name(name) {}
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;
    ~SetupLock();

    // Waits at most `timeout_ms` for another setup to end. `failed` (the mutex cannot be made)
    // is for callers a taken lock. A mutex of that name that a standard user made first is
    // no setup of ours: the lock is then taken at once, holding nothing, so that nobody without
    // administrator rights can keep every setup waiting or pretend that one runs.
    sys::lock_result Acquire(uint32_t timeout_ms);
    void Release();
    bool held() const { return m_held != sys::invalid_mutex || m_alone; }

    // Whether a setup of ours has the mutex open now, without taking it (only an administrator's
    // process can tell).
    static bool IsTaken(std::u16string_view name = setup_mutex_name);

private:
    std::u16string m_name;
    sys::mutex_handle m_held = sys::invalid_mutex;
    bool m_alone = false; // the name is someone else's: nothing to hold
};

} // namespace nimbic
