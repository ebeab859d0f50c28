// The runtime's heap and the memory-block commands of the application: the program hands the
// runtime the heap it keeps its records in, and allocates records of its own with AllocBlock.
#pragma once
#include <cstdint>

// A Win32 heap handle (HANDLE), kept untyped so that this header needs no windows.h.
using HeapHandle = void*;

// Hands the runtime the RuntimeHeap the program created (HeapCreate) and the program's module
// handle; called before any library's start routine.
void UseRuntimeHeap(HeapHandle heap, void* instance);

// Memory-block library: start creates the BlockHeap; its end routine has nothing to do.
void InitMemoryBlocks();
void EndMemoryBlocks();
void* AllocBlock(int32_t size);  // zeroed; null for size <= 0 or when the heap refuses
void FreeBlock(void* block);     // null is ignored
