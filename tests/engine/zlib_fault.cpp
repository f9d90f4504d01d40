// The test executables link with --wrap=inflateInit_, so the engine's calls land here first.
#include "tests/engine/zlib_fault.h"

#include <zlib.h>

#include <atomic>

namespace {
std::atomic<int> failures_left{0};
}

extern "C" int __real_inflateInit_(z_streamp stream, const char* version, int size);

extern "C" int __wrap_inflateInit_(z_streamp stream, const char* version, int size)
{
    if (failures_left.load() > 0) {
        failures_left.fetch_sub(1);
        return Z_MEM_ERROR;
    }
    return __real_inflateInit_(stream, version, size);
}

namespace nimbic::test {

void FailNextInflateInit(int count)
{
    failures_left.store(count);
}

} // namespace nimbic::test
