// Win32 heaps, ticks and sleep, or their native stand-ins.
#include "runtime/core/platform.h"

#ifdef _WIN32
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

#else
#include <cstdlib>
#include <cstring>
#include <ctime>

// Native stand-in: every block carries its size in front, so re-allocation can zero the new tail.
// Destroying a heap does not free its blocks; native builds only run tests and fuzzers.
namespace {
struct alignas(16) BlockHeader {
  size_t size;
};
}  // namespace

HeapHandle PlatformHeapCreate(unsigned, size_t, size_t) {
  static char token;
  return &token;
}
bool PlatformHeapDestroy(HeapHandle heap) { return heap != nullptr; }
void* PlatformHeapAlloc(HeapHandle, unsigned flags, size_t size) {
  auto* h = (BlockHeader*)std::malloc(sizeof(BlockHeader) + size);
  if (!h) return nullptr;
  h->size = size;
  if (flags & kHeapZeroMemory) std::memset(h + 1, 0, size);
  return h + 1;
}
void* PlatformHeapReAlloc(HeapHandle, unsigned flags, void* block, size_t size) {
  auto* old = (BlockHeader*)block - 1;
  size_t oldSize = old->size;
  auto* h = (BlockHeader*)std::realloc(old, sizeof(BlockHeader) + size);
  if (!h) return nullptr;
  h->size = size;
  if ((flags & kHeapZeroMemory) && size > oldSize) std::memset((char*)(h + 1) + oldSize, 0, size - oldSize);
  return h + 1;
}
bool PlatformHeapFree(HeapHandle, unsigned, void* block) {
  if (block) std::free((BlockHeader*)block - 1);
  return true;
}
size_t PlatformHeapSize(HeapHandle, unsigned, const void* block) { return ((const BlockHeader*)block - 1)->size; }
uint32_t PlatformTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)(ts.tv_sec * 1000u + ts.tv_nsec / 1000000);
}
void PlatformSleep(uint32_t milliseconds) {
  timespec ts{(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}
void PlatformFreeModule(void*) {}
#endif
