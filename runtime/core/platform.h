// The few operating-system services the core needs: private heaps, the tick count, sleeping and
// unloading modules. On Windows these are the Win32 calls themselves (platform.cpp); native builds
// link platform_native.cpp instead, so the platform-free logic runs under sanitizers and fuzzers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/heaps.h"  // HeapHandle

// Flag values are those of Win32, so they can be passed straight through.
constexpr unsigned kHeapNoSerialize = 0x00000001;
constexpr unsigned kHeapZeroMemory = 0x00000008;

HeapHandle PlatformHeapCreate(unsigned options, size_t initial, size_t maximum);
bool PlatformHeapDestroy(HeapHandle heap);
void* PlatformHeapAlloc(HeapHandle heap, unsigned flags, size_t size);
void* PlatformHeapReAlloc(HeapHandle heap, unsigned flags, void* block, size_t size);
bool PlatformHeapFree(HeapHandle heap, unsigned flags, void* block);
size_t PlatformHeapSize(HeapHandle heap, unsigned flags, const void* block);

// Memory outside the private heaps, for code that manages its own blocks (libpng's structures).
void* PlatformMemoryAlloc(size_t size);
void PlatformMemoryFree(void* block);
// The number of blocks a heap holds, for tests that check nothing was leaked.
size_t PlatformHeapBlockCount(HeapHandle heap);

// Allocation failures on request, for tests and fuzzers only: the program never sets them. Every
// heap creation, allocation and re-allocation above counts. After PlatformFailAllocations(n, false)
// the n-th of them from then on fails; with onward, every one from the n-th on fails; n = 0 lets
// all succeed. PlatformAllocationCount tells how many were asked for since the switch was set.
void PlatformFailAllocations(uint64_t nth, bool onward);
uint64_t PlatformAllocationCount();
// Counts one allocation and tells whether it is to fail: called by the seam's implementations.
bool PlatformAllocationRefused();

// Milliseconds since the system started, wrapping after about 49.7 days.
uint32_t PlatformTickCount();
// Holds (true) or lets go (false) the system's 1 ms timer period, which gives the tick count its
// single milliseconds. Each hold needs its own release; a release without a hold does nothing.
void PlatformFineTimer(bool hold);
// The holds not yet released, for tests that check every hold has its release.
int32_t PlatformFineTimerHolds();
void PlatformSleep(uint32_t milliseconds);
void PlatformFreeModule(void* module);
