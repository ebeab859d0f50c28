// Win32 heaps, ticks and sleep. Native builds use platform_native.cpp instead.
#include "runtime/core/platform.h"

#include <windows.h>
#include <mmsystem.h>  // the multimedia timer; needs windows.h first

#include <cstdlib>

HeapHandle PlatformHeapCreate(unsigned options, size_t initial, size_t maximum) {
  if (PlatformAllocationRefused()) return nullptr;
  return HeapCreate(options, initial, maximum);
}
bool PlatformHeapDestroy(HeapHandle heap) { return heap && HeapDestroy(heap); }
// A heap that could not be made is null; asking it for memory is refused, as natively.
void* PlatformHeapAlloc(HeapHandle heap, unsigned flags, size_t size) {
  if (!heap || PlatformAllocationRefused()) return nullptr;
  return HeapAlloc(heap, flags, size);
}
void* PlatformHeapReAlloc(HeapHandle heap, unsigned flags, void* block, size_t size) {
  if (!heap || PlatformAllocationRefused()) return nullptr;
  return HeapReAlloc(heap, flags, block, size);
}
bool PlatformHeapFree(HeapHandle heap, unsigned flags, void* block) { return heap && HeapFree(heap, flags, block); }
size_t PlatformHeapSize(HeapHandle heap, unsigned flags, const void* block) {
  if (!heap) return 0;
  SIZE_T size = HeapSize(heap, flags, block);
  return size == (SIZE_T)-1 ? 0 : size;
}
void* PlatformMemoryAlloc(size_t size) { return PlatformAllocationRefused() ? nullptr : malloc(size); }
void PlatformMemoryFree(void* block) { free(block); }
size_t PlatformHeapBlockCount(HeapHandle heap) {
  if (!heap) return 0;
  size_t count = 0;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry)) count += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
  return count;
}
// GetTickCount advances in steps of about 16 ms; timeGetTime counts the same milliseconds since
// the system started, one by one while the 1 ms timer period is held.
uint32_t PlatformTickCount() { return timeGetTime(); }
namespace {
int32_t gFineTimerHolds;
}
void PlatformFineTimer(bool hold) {
  if (hold) {
    timeBeginPeriod(1);
    ++gFineTimerHolds;
  } else if (gFineTimerHolds > 0) {
    timeEndPeriod(1);
    --gFineTimerHolds;
  }
}
int32_t PlatformFineTimerHolds() { return gFineTimerHolds; }
void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }
void PlatformFreeModule(void* module) { FreeLibrary((HMODULE)module); }
