// Makes the next inflateInit calls fail, for the "decompressor not started" paths.
#pragma once

namespace nimbic::test {

void FailNextInflateInit(int count);

} // namespace nimbic::test
