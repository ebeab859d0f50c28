// String variables, the StringTemp in which string expressions are built, number-to-text
// conversion and the text functions. A string variable is a pointer to NUL-terminated text in the
// StringHeap (null is the empty string); its block is always length + 5 bytes.
// Texts in the StringTemp are addressed by offset while they are built, since the area may move.
#pragma once
#include <cstdint>

struct StringTempState {
  char* buffer;      // TempBuffer: the area's block in the StringHeap
  int32_t position;  // TempPosition: end of the text held; a terminator lies there after each append
  int32_t capacity;  // TempCapacity: starts at 16, only grows
};
extern StringTempState gTemp;

// Start routine: creates the StringHeap and the initial 16-byte area. When memory runs out the area
// stays empty and is made by the first reservation (or by the start, called again).
void InitStringTemp();

// The StringTemp's texts never reach past this offset: the area stays below about 1 GiB, and its
// bookkeeping can never overflow. (The fuzzers build with a lower limit, so that reaching it is cheap.)
#ifndef HURZ_TEMP_LIMIT
#define HURZ_TEMP_LIMIT (1 << 30)
#endif
constexpr int32_t kTempLimit = HURZ_TEMP_LIMIT;

// StringTemp primitives. A reservation whose end would lie beyond kTempLimit, or which the heap
// refuses, gives null and leaves TempPosition as it was; producers then give the empty text.
char* ReserveTemp(int32_t length, int32_t start);
int32_t ReleaseTemp(int32_t n);
void AppendTempText(const char* text);
inline char* TempAt(int32_t offset) { return gTemp.buffer + offset; }

// String variables.
void NewStringCopy(char** variable, const char* text);
int32_t AssignString(char** variable, const char* text);  // length + 1 (1 for null); 0 when memory ran out
void AssignStringFromTemp(char** variable, int32_t start);
void FreeString(char* block);

// Functions that produce text place it in the StringTemp at the start offset and return its
// address (valid until the area next grows); TempPosition ends at the text's terminator.
char* NumberToString(int32_t value, int32_t start);
char* TakeLeading(const char* text, int32_t count, int32_t start);
char* TakeSlice(const char* text, int32_t first, int32_t length, int32_t start);
int32_t TakeField(const char* text, int32_t index, const char* separator, int32_t start);  // field length

int32_t TextLength(const char* text);
int32_t SearchText(const char* text, const char* pattern, int32_t start);
int32_t ParseInteger(const char* text);
