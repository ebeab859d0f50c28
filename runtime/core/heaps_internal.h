// What the runtime's libraries share about its heaps: the core's state record with the four private
// heaps, and the RuntimeHeap helpers every library allocates its records with.
// RuntimeHeap holds registries, library states, window records and built-in lists; ObjectNodeHeap
// the nodes of dynamic objects; BlockHeap what the application asks for with AllocBlock.
// (The StringHeap belongs to the text module.)
#pragma once
#include <cstddef>

#include "runtime/core/heaps.h"
#include "runtime/core/platform.h"

struct CoreState {
  HeapHandle runtimeHeap;     // created by the program's entry, destroyed just before it exits
  void* instance;             // the program's module handle
  HeapHandle stringHeap;      // string variables and the StringTemp (no serialisation)
  HeapHandle objectNodeHeap;  // ObjectNode blocks
  HeapHandle blockHeap;       // AllocBlock
};
extern CoreState gCore;

// RuntimeHeap helpers used by every library. Blocks are zeroed unless said otherwise.
void* RuntimeAlloc(size_t size);
void* RuntimeAllocRaw(size_t size);
void* RuntimeReAlloc(void* block, size_t size);  // new tail zeroed
void RuntimeFree(void* block);
