// Native stand-ins for the Win32 heaps, ticks and sleep, for the builds that run the platform-free
// code under sanitizers and fuzzers. Every block is a malloc block of its own (so the address
// sanitizer sees each one), carrying a header that links it into its heap: destroying a heap frees
// what it still holds, and a block handed to the wrong heap is refused.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "runtime/core/platform.h"

namespace {

struct NativeHeap;

struct alignas(16) BlockHeader {
  BlockHeader* prev;
  BlockHeader* next;
  NativeHeap* heap;
  size_t size;
};

struct NativeHeap {
  BlockHeader* blocks;
};

BlockHeader* HeaderOf(const void* block) { return (BlockHeader*)block - 1; }

// The block's header when the block belongs to the heap, else null.
BlockHeader* OwnedHeader(HeapHandle heap, const void* block) {
  if (!heap || !block) return nullptr;
  BlockHeader* h = HeaderOf(block);
  return h->heap == (NativeHeap*)heap ? h : nullptr;
}

void Link(NativeHeap* heap, BlockHeader* h) {
  h->heap = heap;
  h->prev = nullptr;
  h->next = heap->blocks;
  if (heap->blocks) heap->blocks->prev = h;
  heap->blocks = h;
}

void Unlink(BlockHeader* h) {
  if (h->prev)
    h->prev->next = h->next;
  else
    h->heap->blocks = h->next;
  if (h->next) h->next->prev = h->prev;
}

// Sizes a real heap could never hold are refused, as HeapAlloc refuses them.
bool TooLarge(size_t size) { return size > ((size_t)1 << 40); }

}  // namespace

HeapHandle PlatformHeapCreate(unsigned, size_t, size_t) {
  if (PlatformAllocationRefused()) return nullptr;
  return std::calloc(1, sizeof(NativeHeap));
}

bool PlatformHeapDestroy(HeapHandle heap) {
  if (!heap) return false;
  auto* h = (NativeHeap*)heap;
  while (BlockHeader* b = h->blocks) {
    h->blocks = b->next;
    std::free(b);
  }
  std::free(h);
  return true;
}

void* PlatformHeapAlloc(HeapHandle heap, unsigned flags, size_t size) {
  if (!heap || PlatformAllocationRefused() || TooLarge(size)) return nullptr;
  auto* h = (BlockHeader*)std::malloc(sizeof(BlockHeader) + size);
  if (!h) return nullptr;
  h->size = size;
  Link((NativeHeap*)heap, h);
  // Blocks are cleared even without kHeapZeroMemory: whatever a heap block holds before it is
  // written is unspecified, and clearing it keeps each run independent of what earlier runs left
  // in reused memory, so that a fuzzer's input always behaves as it does when replayed alone.
  std::memset(h + 1, 0, size);
  return h + 1;
}

void* PlatformHeapReAlloc(HeapHandle heap, unsigned flags, void* block, size_t size) {
  BlockHeader* old = OwnedHeader(heap, block);
  if (!old || PlatformAllocationRefused() || TooLarge(size)) return nullptr;
  size_t oldSize = old->size;
  Unlink(old);
  auto* h = (BlockHeader*)std::realloc(old, sizeof(BlockHeader) + size);
  if (!h) {
    Link((NativeHeap*)heap, old);  // the block stays as it was
    return nullptr;
  }
  h->size = size;
  Link((NativeHeap*)heap, h);
  if (size > oldSize) std::memset((char*)(h + 1) + oldSize, 0, size - oldSize);  // as for a new block
  return h + 1;
}

bool PlatformHeapFree(HeapHandle heap, unsigned, void* block) {
  if (!block) return true;
  BlockHeader* h = OwnedHeader(heap, block);
  if (!h) return false;
  Unlink(h);
  std::free(h);
  return true;
}

size_t PlatformHeapSize(HeapHandle heap, unsigned, const void* block) {
  BlockHeader* h = OwnedHeader(heap, block);
  return h ? h->size : 0;
}

size_t PlatformHeapBlockCount(HeapHandle heap) {
  size_t count = 0;
  for (BlockHeader* b = heap ? ((NativeHeap*)heap)->blocks : nullptr; b; b = b->next) ++count;
  return count;
}

void* PlatformMemoryAlloc(size_t size) { return PlatformAllocationRefused() ? nullptr : std::malloc(size); }
void PlatformMemoryFree(void* block) { std::free(block); }

uint32_t PlatformTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

// The monotonic clock counts milliseconds already; the holds are only counted.
namespace {
int32_t gFineTimerHolds;
}
void PlatformFineTimer(bool hold) {
  if (hold)
    ++gFineTimerHolds;
  else if (gFineTimerHolds > 0)
    --gFineTimerHolds;
}
int32_t PlatformFineTimerHolds() { return gFineTimerHolds; }

void PlatformSleep(uint32_t milliseconds) {
  timespec ts{(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void PlatformFreeModule(void*) {}
