// RuntimeHeap access and the BlockHeap behind AllocBlock.
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"

CoreState gCore;

void UseRuntimeHeap(HeapHandle heap, void* instance) {
  gCore.runtimeHeap = heap;
  gCore.instance = instance;
}

void* RuntimeAlloc(size_t size) { return PlatformHeapAlloc(gCore.runtimeHeap, kHeapZeroMemory, size); }
void* RuntimeAllocRaw(size_t size) { return PlatformHeapAlloc(gCore.runtimeHeap, 0, size); }
void* RuntimeReAlloc(void* block, size_t size) {
  if (!block) return RuntimeAlloc(size);
  return PlatformHeapReAlloc(gCore.runtimeHeap, kHeapZeroMemory, block, size);
}
void RuntimeFree(void* block) {
  if (block) PlatformHeapFree(gCore.runtimeHeap, 0, block);
}

void InitMemoryBlocks() {
  if (!gCore.blockHeap) gCore.blockHeap = PlatformHeapCreate(0, 4096, 0);
}

void EndMemoryBlocks() {}

void* AllocBlock(int32_t size) {
  if (size <= 0 || !gCore.blockHeap) return nullptr;
  return PlatformHeapAlloc(gCore.blockHeap, kHeapZeroMemory, (size_t)size);
}

void FreeBlock(void* block) {
  if (block && gCore.blockHeap) PlatformHeapFree(gCore.blockHeap, 0, block);
}
