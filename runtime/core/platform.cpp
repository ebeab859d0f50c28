// Win32 heaps, ticks and sleep. Native builds use platform_native.cpp instead.
#include "runtime/core/platform.h"

#include <windows.h>

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
uint32_t PlatformTickCount() { return GetTickCount(); }
void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }
void PlatformFreeModule(void* module) { FreeLibrary((HMODULE)module); }
