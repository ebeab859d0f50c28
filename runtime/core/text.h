/// \file
/// String variables, the StringTemp in which string expressions are built, number-to-text
/// conversion and the text functions.
///
/// A string variable is a `char*` pointing to NUL-terminated 8-bit text in the StringHeap; null is
/// the empty string. Its block is always length + 5 bytes. Texts in the StringTemp are addressed by
/// offset while they are built, since the area may move whenever it grows. Positions in texts
/// (SearchText, TakeSlice) count from 1.
#pragma once
#include <cstdint>

/// The StringTemp: one scratch area in which string expressions are built. A program reads
/// `gTemp.position` to know where its next text starts, and hands that offset to the producers.
struct StringTempState {
  char* buffer;      ///< TempBuffer: the area's block in the StringHeap (moves when it grows)
  int32_t position;  ///< TempPosition: end of the text held; a terminator lies there after each append
  int32_t capacity;  ///< TempCapacity: starts at 16, only grows
};
/// The StringTemp of the program.
extern StringTempState gTemp;

/// Start routine of the text library: creates the StringHeap and the initial 16-byte StringTemp.
/// When memory runs out the area stays empty and is made by the first reservation (or by this
/// start, called again). Calling it again once the area exists does nothing.
void InitStringTemp();

#ifndef HURZ_TEMP_LIMIT
/// The StringTemp's texts never reach past this offset: the area stays below about 1 GiB, and its
/// bookkeeping can never overflow. (The fuzzers build with a lower limit, so that reaching it is cheap.)
#define HURZ_TEMP_LIMIT (1 << 30)
#endif
/// The highest offset a StringTemp text may end at (HURZ_TEMP_LIMIT).
constexpr int32_t kTempLimit = HURZ_TEMP_LIMIT;

/// Reserves `length` bytes of the StringTemp from offset `start` (negative values count as 0) and
/// moves TempPosition to start + length; the area grows as needed.
/// \return the address of the reserved bytes (valid until the area next grows), or null when the
///   end would lie beyond kTempLimit or the heap refuses to grow the area; TempPosition is then
///   left as it was.
char* ReserveTemp(int32_t length, int32_t start);
/// Gives the last `n` bytes of the StringTemp back: moves TempPosition back by n.
/// \return n.
int32_t ReleaseTemp(int32_t n);
/// Appends a copy of `text` (null: the empty text) at TempPosition and terminates it there. The
/// text may itself lie in the StringTemp. When the area cannot hold it, nothing is appended.
void AppendTempText(const char* text);
/// The address of a StringTemp offset, valid until the area next grows.
inline char* TempAt(int32_t offset) { return gTemp.buffer + offset; }

/// Makes `*variable` a new copy of `text`, without freeing what it held (for a variable that holds
/// no text of its own yet, such as a procedure's private copy of an argument). A null text, or
/// memory running out, leaves the variable as it was.
void NewStringCopy(char** variable, const char* text);
/// Assigns a copy of `text` to the string variable, re-using or replacing its block; the text may
/// lie in the variable's own block. A null text frees the block and makes the variable null.
/// \return the text's length + 1 (1 for a null text), or 0 when memory ran out: the variable then
///   keeps its old text.
int32_t AssignString(char** variable, const char* text);
/// Assigns the text built in the StringTemp from offset `start` (clamped to 0..TempPosition) up to
/// TempPosition to the string variable, then moves TempPosition back to start. When memory runs
/// out the variable keeps its old text.
void AssignStringFromTemp(char** variable, int32_t start);
/// Frees a string variable's block; null is ignored. The variable is left as it was: set it to null.
void FreeString(char* block);

/// The decimal form of `value` (a leading "-" when negative), placed in the StringTemp at offset
/// `start`; TempPosition ends at its terminator.
/// \return its address (valid until the area next grows), or the empty text, outside the area,
///   when the area cannot hold it.
char* NumberToString(int32_t value, int32_t start);
/// The first `count` characters of `text` (all of it when shorter; none for a count below 1),
/// placed in the StringTemp at offset `start`; TempPosition ends at its terminator. The text may
/// lie in the StringTemp.
/// \return its address, or the empty text when the area cannot hold it.
char* TakeLeading(const char* text, int32_t count, int32_t start);
/// At most `length` characters of `text` from position `first` (1 is the first character; lower
/// values count as 1, past the end gives the empty text), placed in the StringTemp at offset
/// `start`; TempPosition ends at its terminator. The text may lie in the StringTemp.
/// \return its address, or the empty text when the area cannot hold it.
char* TakeSlice(const char* text, int32_t first, int32_t length, int32_t start);
/// Field number `index` (1 is the first; lower values count as 1) of `text` split at the first
/// character of `separator`, placed in the StringTemp at offset `start`, where TempAt(start) finds
/// it; TempPosition ends at its terminator. Without a separator the whole text is field 1. A field
/// beyond the last is the empty text.
/// \return the field's length, or 0 when the area cannot hold the text.
int32_t TakeField(const char* text, int32_t index, const char* separator, int32_t start);

/// \return the length of `text` in bytes; 0 for null.
int32_t TextLength(const char* text);
/// Finds `pattern` in `text` from position `start` on (1 is the first character; lower values
/// count as 1).
/// \return the 1-based position of the first match, or 0 when there is none or either text is empty.
int32_t SearchText(const char* text, const char* pattern, int32_t start);
/// Reads a decimal integer: leading spaces and tabs, an optional sign, then digits up to the first
/// other character. Values beyond 32 bits wrap.
/// \return the value; 0 for null or a text without digits.
int32_t ParseInteger(const char* text);
