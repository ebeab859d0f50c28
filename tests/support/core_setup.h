// Starts the runtime core once per test program, as the program's entry does.
#pragma once
#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"

inline void EnsureCoreStarted() {
  static bool started = [] {
    UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
    InitStringTemp();
    InitObjectNodes();
    InitLoadedModules();
    InitMemoryBlocks();
    return true;
  }();
  (void)started;
}
