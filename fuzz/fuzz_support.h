// What every fuzzer shares: the failure check and the runtime heap the runtime's code allocates
// from.
#pragma once
#include <cstdlib>

#include "runtime/core/heaps.h"
#include "runtime/core/platform.h"

// A broken invariant ends the run, so the fuzzer keeps the input.
inline void Check(bool ok) {
  if (!ok) abort();
}

// The RuntimeHeap, made on the first input.
inline void StartFuzzRuntime() {
  static bool started = [] {
    UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
    return true;
  }();
  (void)started;
}
