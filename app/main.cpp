// Program entry of the demonstration: starts the runtime libraries, runs, shuts down, exits 0.
#include <windows.h>

#include "runtime/core/heaps.h"
#include "runtime/core/linked_list.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HANDLE heap = HeapCreate(0, 4096, 0);
  UseRuntimeHeap(heap, instance);
  InitStringTemp();
  InitObjectNodes();
  InitLoadedModules();
  InitMemoryBlocks();

  EndMemoryBlocks();
  EndLoadedModules();
  EndObjectNodes();
  HeapDestroy(heap);
  ExitProcess(0);
}
