// The installer tests link with --wrap for the seam's write_file, so its calls land here first.
#include "tests/installer/worker_gate.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace {

std::mutex gate_lock;
std::condition_variable gate_changed;
int writes_to_hold = 0; // 0: no write waits
bool worker_held = false;

} // namespace

// nimbic::sys::write_file(file_handle, const void*, uint32_t, uint32_t*), by its linker name.
extern "C" bool __real__ZN6nimbic3sys10write_fileEmPKvjPj(uintptr_t file, const void* data,
                                                          uint32_t size, uint32_t* written);

extern "C" bool __wrap__ZN6nimbic3sys10write_fileEmPKvjPj(uintptr_t file, const void* data,
                                                          uint32_t size, uint32_t* written)
{
    {
        std::unique_lock<std::mutex> lock(gate_lock);
        if (writes_to_hold > 0 && --writes_to_hold == 0) {
            worker_held = true;
            gate_changed.notify_all();
            gate_changed.wait(lock, [] { return !worker_held; });
        }
    }
    return __real__ZN6nimbic3sys10write_fileEmPKvjPj(file, data, size, written);
}

namespace nimbic::test {

void HoldWorkerAtWrite(int count)
{
    const std::lock_guard<std::mutex> lock(gate_lock);
    writes_to_hold = count;
    worker_held = false;
}

bool WorkerHeld()
{
    std::unique_lock<std::mutex> lock(gate_lock);
    return gate_changed.wait_for(lock, std::chrono::seconds(10), [] { return worker_held; });
}

void ReleaseWorker()
{
    const std::lock_guard<std::mutex> lock(gate_lock);
    writes_to_hold = 0;
    worker_held = false;
    gate_changed.notify_all();
}

} // namespace nimbic::test
