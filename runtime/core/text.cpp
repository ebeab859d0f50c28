// StringTemp, string variables and text functions. Every producer reserves an upper bound,
// writes, and gives back what it did not use, so TempPosition ends at its terminator.
#include <climits>
#include <cstring>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/text_internal.h"

StringTempState gTemp;

namespace {

constexpr int32_t kTempGrowth = 16384;
constexpr int32_t kSlack = 5;  // terminator plus the margin that word-wise copies may touch

void* StringAlloc(size_t size) { return PlatformHeapAlloc(gCore.stringHeap, kHeapNoSerialize, size); }

void* StringReAlloc(void* block, size_t size) {
  if (!block) return StringAlloc(size);
  return PlatformHeapReAlloc(gCore.stringHeap, kHeapNoSerialize, block, size);
}

int32_t BoundedLength(const char* text) { return text ? (int32_t)strlen(text) : 0; }

// What a producer gives when its reservation cannot be held: the empty text, outside the area.
char* NoText() {
  static char empty[1];
  empty[0] = 0;
  return empty;
}

// A source may itself lie in the StringTemp; a reservation can move the area, so such a source is
// remembered by offset and found again afterwards.
struct TempSource {
  const char* text;
  int32_t offset;  // 1-based, 0 when the text lies elsewhere
  explicit TempSource(const char* t) : text(t), offset(t ? TempOffsetOf(t) : 0) {}
  const char* get() const { return offset ? gTemp.buffer + offset - 1 : text; }
};

}  // namespace

void InitStringTemp() {
  if (!gCore.stringHeap) gCore.stringHeap = PlatformHeapCreate(kHeapNoSerialize, 4096, 0);
  if (gTemp.buffer) return;
  // Without its block the area stays empty (capacity 0): the first reservation then allocates it,
  // and a start repeated later makes it as usual.
  gTemp.position = 0;
  gTemp.capacity = 0;
  gTemp.buffer = (char*)StringAlloc(16);
  if (!gTemp.buffer) return;
  gTemp.buffer[0] = 0;
  gTemp.capacity = 16;
}

char* ReserveTemp(int32_t length, int32_t start) {
  if (length < 0) length = 0;
  if (start < 0) start = 0;
  // The growth test uses TempPosition; a start beyond it (never used by the runtime) is counted
  // too, so a reservation can never reach past the block. The sums are 64-bit, and an end beyond
  // the limit is refused, so the bookkeeping cannot overflow.
  int64_t from = start > gTemp.position ? start : gTemp.position;
  int64_t end = from + length;
  if (end > kTempLimit) return nullptr;
  if (end >= gTemp.capacity - 4) {
    int32_t capacity = (int32_t)end + kTempGrowth;
    char* grown = (char*)StringReAlloc(gTemp.buffer, (size_t)capacity + kSlack);
    if (!grown) return nullptr;
    gTemp.buffer = grown;
    gTemp.capacity = capacity;
  }
  gTemp.position = start + length;
  return gTemp.buffer + start;
}

int32_t ReleaseTemp(int32_t n) {
  gTemp.position -= n;
  return n;
}

void AppendTempText(const char* text) {
  TempSource source(text);
  int32_t length = BoundedLength(text);
  char* destination = ReserveTemp(length, gTemp.position);
  if (destination) CopyTextRun(destination, source.get(), length);
}

int32_t TempOffsetOf(const char* pointer) {
  if (!gTemp.buffer || pointer < gTemp.buffer || pointer > gTemp.buffer + gTemp.position) return 0;
  return (int32_t)(pointer - gTemp.buffer) + 1;
}

void CopyTextRun(char* destination, const char* source, int32_t n) {
  if (n > 0) memmove(destination, source, (size_t)n);
  destination[n > 0 ? n : 0] = 0;
}

void NewStringCopy(char** variable, const char* text) {
  if (!text) return;
  int32_t length = BoundedLength(text);
  char* block = (char*)StringAlloc((size_t)length + kSlack);
  if (!block) return;
  CopyTextRun(block, text, length);
  *variable = block;
}

int32_t AssignString(char** variable, const char* text) {
  if (!text) {
    FreeString(*variable);
    *variable = nullptr;
    return 1;
  }
  int32_t length = BoundedLength(text);
  char* old = *variable;
  // A text taken from the variable's own block must survive the re-size.
  bool aliased = old && text >= old && text < old + PlatformHeapSize(gCore.stringHeap, kHeapNoSerialize, old);
  char* block =
      aliased ? (char*)StringAlloc((size_t)length + kSlack) : (char*)StringReAlloc(old, (size_t)length + kSlack);
  if (!block) return 0;  // the variable keeps its old text
  CopyTextRun(block, text, length);
  if (aliased) FreeString(old);
  *variable = block;
  return length + 1;
}

void AssignStringFromTemp(char** variable, int32_t start) {
  // The text lies between the start and TempPosition; a start outside that range is clamped to it.
  if (start < 0) start = 0;
  if (start > gTemp.position) start = gTemp.position;
  int32_t length = gTemp.position - start;
  char* block = (char*)StringReAlloc(*variable, (size_t)length + kSlack);
  if (block) {
    CopyTextRun(block, gTemp.buffer + start, length);
    *variable = block;
  }
  gTemp.position = start;
}

void FreeString(char* block) {
  if (block) PlatformHeapFree(gCore.stringHeap, kHeapNoSerialize, block);
}

char* NumberToString(int32_t value, int32_t start) {
  char* out = ReserveTemp(32, start);
  if (!out) return NoText();
  int32_t n = 0;
  if (value == 0) {
    out[n++] = '0';
  } else {
    uint32_t magnitude = (uint32_t)value;
    if (value < 0) {
      out[n++] = '-';
      magnitude = 0u - magnitude;  // also right for INT32_MIN
    }
    char digits[10];
    int32_t count = 0;
    while (magnitude) {
      digits[count++] = (char)('0' + magnitude % 10);
      magnitude /= 10;
    }
    while (count) out[n++] = digits[--count];
  }
  out[n] = 0;
  ReleaseTemp(32 - n);
  return out;
}

char* TakeLeading(const char* text, int32_t count, int32_t start) {
  if (count < 0) count = 0;
  TempSource source(text);
  int32_t available = BoundedLength(text);
  int32_t n = count < available ? count : available;
  // Only what the source can fill is reserved, so a huge count cannot outgrow the area.
  char* out = ReserveTemp(n, start);
  if (!out) return NoText();
  CopyTextRun(out, source.get(), n);
  return out;
}

char* TakeSlice(const char* text, int32_t first, int32_t length, int32_t start) {
  if (length < 0) length = 0;
  TempSource source(text);
  int32_t available = BoundedLength(text);
  int32_t skip = first > 1 ? first - 1 : 0;
  if (skip > available) skip = available;
  int32_t n = available - skip < length ? available - skip : length;
  char* out = ReserveTemp(n, start);
  if (!out) return NoText();
  CopyTextRun(out, source.get() ? source.get() + skip : "", n);
  return out;
}

int32_t TakeField(const char* text, int32_t index, const char* separator, int32_t start) {
  if (index < 1) index = 1;
  TempSource source(text);
  int32_t available = BoundedLength(text);
  char sep = separator ? separator[0] : 0;  // before the reservation, which may move a separator in the area
  char* out = ReserveTemp(available, start);
  if (!out) return 0;
  const char* s = source.get();
  int32_t fieldStart = 0, fieldEnd = available, field = 1;
  if (sep) {
    int32_t i = 0;
    // Walk to the start of the wanted field.
    while (field < index && i < available) {
      if (s[i] == sep) {
        ++field;
        fieldStart = i + 1;
      }
      ++i;
    }
    if (field < index) {
      fieldStart = fieldEnd = available;
    } else {
      fieldEnd = fieldStart;
      while (fieldEnd < available && s[fieldEnd] != sep) ++fieldEnd;
    }
  } else if (index > 1) {
    fieldStart = fieldEnd = available;
  }
  int32_t n = fieldEnd - fieldStart;
  CopyTextRun(out, s ? s + fieldStart : "", n);
  ReleaseTemp(available - n);
  return n;
}

int32_t TextLength(const char* text) { return BoundedLength(text); }

int32_t SearchText(const char* text, const char* pattern, int32_t start) {
  int32_t length = BoundedLength(text), patternLength = BoundedLength(pattern);
  if (length == 0 || patternLength == 0) return 0;
  if (start < 1) start = 1;
  if (start > length + 1) start = length + 1;
  for (int32_t i = start - 1; i + patternLength <= length; ++i) {
    if (memcmp(text + i, pattern, (size_t)patternLength) == 0) return i + 1;
  }
  return 0;
}

int32_t ParseInteger(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  uint32_t value = 0;  // wraps at 32 bits, as documented
  while (*text >= '0' && *text <= '9') value = value * 10u + (uint32_t)(*text++ - '0');
  return (int32_t)(negative ? 0u - value : value);
}
