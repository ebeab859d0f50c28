// The runtime's four private heaps and the memory-block commands of the application.
// RuntimeHeap holds registries, library states, window records and built-in lists; ObjectNodeHeap
// the nodes of dynamic objects; BlockHeap what the application asks for with AllocBlock.
// (The StringHeap belongs to the text module.)
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/platform.h"

struct CoreState {
  HeapHandle runtimeHeap;     // created by the program's entry, destroyed just before it exits
  void* instance;             // the program's module handle
  HeapHandle stringHeap;      // string variables and the StringTemp (no serialisation)
  HeapHandle objectNodeHeap;  // ObjectNode blocks
  HeapHandle blockHeap;       // AllocBlock
};
extern CoreState gCore;

// The entry creates the RuntimeHeap itself and hands it, with its instance handle, to the runtime.
void UseRuntimeHeap(HeapHandle heap, void* instance);

// RuntimeHeap helpers used by every library. Blocks are zeroed unless said otherwise.
void* RuntimeAlloc(size_t size);
void* RuntimeAllocRaw(size_t size);
void* RuntimeReAlloc(void* block, size_t size);  // new tail zeroed
void RuntimeFree(void* block);

// Memory-block library: start creates the BlockHeap; its end routine has nothing to do.
void InitMemoryBlocks();
void EndMemoryBlocks();
void* AllocBlock(int32_t size);  // zeroed; null for size <= 0 or when the heap refuses
void FreeBlock(void* block);     // null is ignored
