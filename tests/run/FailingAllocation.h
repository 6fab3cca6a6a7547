#pragma once

namespace torvex::test {

// Makes one allocation of the calling thread fail: the one after `n` more have succeeded. The
// test binary replaces operator new for this; other threads and later allocations are not
// affected.
void failAllocationAfter(long n);

// Ends the countdown; true when the allocation did fail.
bool allocationFailed();

} // namespace torvex::test
