// The allocation failure switch behind both heap seams (Win32 and native). Tests and fuzzers set
// it to make the n-th allocation fail, or every one from the n-th on; the program never does, so
// there every allocation is only counted.
#include "runtime/core/platform.h"

namespace {

struct AllocationFailures {
  uint64_t count;   // allocations since the switch was last set
  uint64_t failAt;  // 0: none fails
  bool onward;      // every allocation from failAt on fails, not only that one
};

AllocationFailures gFailures;

}  // namespace

void PlatformFailAllocations(uint64_t nth, bool onward) { gFailures = AllocationFailures{0, nth, onward}; }

uint64_t PlatformAllocationCount() { return gFailures.count; }

bool PlatformAllocationRefused() {
  uint64_t n = ++gFailures.count;
  if (!gFailures.failAt) return false;
  return n == gFailures.failAt || (gFailures.onward && n > gFailures.failAt);
}
