/// \file
/// The runtime's heap and the memory-block commands of the application: the program hands the
/// runtime the heap it keeps its records in, and allocates records of its own with AllocBlock.
#pragma once
#include <cstdint>

/// A Win32 heap handle (HANDLE), kept untyped so that this header needs no windows.h.
using HeapHandle = void*;

/// Hands the runtime the RuntimeHeap (a heap the program made with HeapCreate, in which the runtime
/// keeps its registries, library states and lists) and the program's module handle
/// (GetModuleHandleA(nullptr)). Called before any library's start routine; the program destroys
/// the heap after the last end routine.
void UseRuntimeHeap(HeapHandle heap, void* instance);

/// Start routine of the memory blocks: creates the BlockHeap behind AllocBlock. Calling it again
/// does nothing.
void InitMemoryBlocks();
/// End routine of the memory blocks: nothing to do (the BlockHeap goes with the process).
void EndMemoryBlocks();
/// Allocates a zeroed block of `size` bytes in the BlockHeap.
/// \return the block, or null for a size of 0 or less, before InitMemoryBlocks, or when the heap
///   refuses.
void* AllocBlock(int32_t size);
/// Frees a block from AllocBlock; null is ignored.
void FreeBlock(void* block);
