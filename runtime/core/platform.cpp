// Win32 heaps, ticks and sleep. Native builds use platform_native.cpp instead.
#include "runtime/core/platform.h"

#include <windows.h>

#include <mmsystem.h>  // the multimedia timer; needs windows.h first

HeapHandle PlatformHeapCreate(unsigned options, size_t initial, size_t maximum) {
  return HeapCreate(options, initial, maximum);
}
bool PlatformHeapDestroy(HeapHandle heap) { return heap && HeapDestroy(heap); }
void* PlatformHeapAlloc(HeapHandle heap, unsigned flags, size_t size) { return HeapAlloc(heap, flags, size); }
void* PlatformHeapReAlloc(HeapHandle heap, unsigned flags, void* block, size_t size) {
  return HeapReAlloc(heap, flags, block, size);
}
bool PlatformHeapFree(HeapHandle heap, unsigned flags, void* block) { return HeapFree(heap, flags, block); }
size_t PlatformHeapSize(HeapHandle heap, unsigned flags, const void* block) {
  SIZE_T size = HeapSize(heap, flags, block);
  return size == (SIZE_T)-1 ? 0 : size;
}
// GetTickCount advances in steps of about 16 ms; timeGetTime counts the same milliseconds since
// the system started, one by one while the 1 ms timer period is held.
uint32_t PlatformTickCount() { return timeGetTime(); }
void PlatformFineTimer(bool hold) {
  if (hold)
    timeBeginPeriod(1);
  else
    timeEndPeriod(1);
}
void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }
void PlatformFreeModule(void* module) { FreeLibrary((HMODULE)module); }
