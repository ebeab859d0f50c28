// Reading a whole file into a RuntimeHeap block for the loaders (sprites, sounds): one way to open,
// size and read a file, and one wording for why it could not be read.
#pragma once
#include <cstdint>

// Files past this size are refused: loaders take lengths as 32-bit numbers.
constexpr uint32_t kMostFileBytes = 0x7FFFFFFF;

struct FileBytes {
  uint8_t* data;  // RuntimeHeap block; the caller frees it with RuntimeFree
  uint32_t size;  // the bytes that were read
};

// True with the file's bytes; false with nothing allocated and the runtime's error text saying
// why, beginning with `library` ("sprites", "sound"). An empty file counts as unreadable.
bool ReadWholeFile(const char* name, const char* library, FileBytes* file);
