// Stops the install worker in the middle of a file, so a test can act while a run is going.
#pragma once

namespace nimbic::test {

// The `count`-th write of the seam from now on (1: the next one) waits, before any byte reaches
// the file, until ReleaseWorker. The plug-in copy is a run's first write.
void HoldWorkerAtWrite(int count);
// Whether the worker reached the held write within a few seconds.
bool WorkerHeld();
// Lets a held worker go on (also one not yet held: the write then does not wait).
void ReleaseWorker();

} // namespace nimbic::test
