// Drives the StringTemp and the text functions with a decoded sequence of calls: texts from the
// input, from string variables and from inside the StringTemp itself, with start offsets, counts
// and positions that may be negative, huge or beyond the text held. Every result is compared with
// a plain model, and every text must end inside its block with the slack the word copies need.
#include <cstdlib>
#include <deque>
#include <string>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/text.h"

namespace {

constexpr int kVariables = 4;
constexpr int kMostCalls = 200;

size_t BlockSize(const void* block) { return PlatformHeapSize(gCore.stringHeap, kHeapNoSerialize, block); }

// TempPosition lies inside the area's block, with the slack for word copies after it; after a
// producer a terminator lies there.
void CheckTemp(bool terminated = true) {
  Check(gTemp.position >= 0);
  Check((size_t)gTemp.position + 4 <= BlockSize(gTemp.buffer));
  if (terminated) Check(gTemp.buffer[gTemp.position] == 0);
}

void CheckVariable(const char* variable, const std::string& expected) {
  if (!variable) {
    Check(expected.empty());
    return;
  }
  Check(variable == expected);
  Check(BlockSize(variable) >= expected.size() + 5);
}

struct Source {
  const char* text;
  std::string model;  // what the text says, taken before the call
};

class Session {
 public:
  explicit Session(FuzzInput& in) : in_(in) {}

  void Run() {
    for (int calls = 0; calls < kMostCalls && !in_.empty(); ++calls) Step();
    for (char*& v : variables_) AssignString(&v, nullptr);
  }

 private:
  Source PickSource() {
    uint8_t kind = in_.Byte();
    switch (kind % 4) {
      case 0:
        return {nullptr, ""};
      case 1: {
        const char* v = variables_[(kind >> 2) % kVariables];
        return {v, v ? v : ""};
      }
      case 2: {
        // A text inside the StringTemp, at an offset within what it holds.
        int32_t offset = (int32_t)((uint32_t)in_.Raw32() % ((uint32_t)gTemp.position + 1));
        const char* t = TempAt(offset);
        if (!memchr(t, 0, BlockSize(gTemp.buffer) - (size_t)offset)) return {nullptr, ""};
        return {t, t};
      }
      default: {
        literals_.push_back(in_.Bytes(255));
        const char* t = literals_.back().c_str();
        return {t, t};
      }
    }
  }

  // The offset at which a text is placed: usually TempPosition, as the runtime's callers do, else
  // negative, a little beyond, just below the area's limit or past it (other starts far beyond the
  // text only make the area big).
  int32_t PickStart() {
    int32_t start = in_.Number(gTemp.position);
    if (start > gTemp.position + 65536 && start < kTempLimit - 64) {
      start = start & 0x1000 ? kTempLimit - 48 + (start & 63) : gTemp.position + (start & 0xFFF);
    }
    return start;
  }

  // A producer either placed its text at its start, or (only when the reservation could not be
  // held by the area) gave the empty text and left TempPosition alone.
  void CheckPlaced(const char* result, int32_t start, int32_t reserved, int32_t before, const std::string& expected) {
    int32_t at = start < 0 ? 0 : start;
    int64_t from = at > before ? at : before;
    if (from + reserved > kTempLimit) {
      Check(result && *result == 0);
      Check(gTemp.position == before);
      CheckTemp(false);  // left as it was, terminated or not
    } else {
      Check(result == gTemp.buffer + at);
      Check(gTemp.position == at + (int32_t)expected.size());
      Check(std::string(result) == expected);
      CheckTemp();
    }
  }

  void Step() {
    uint8_t call = in_.Byte();
    int32_t before = gTemp.position;
    switch (call % 12) {
      case 0: {
        Source s = PickSource();
        AppendTempText(s.text);
        if ((int64_t)before + (int64_t)s.model.size() > kTempLimit) {
          Check(gTemp.position == before);
          CheckTemp(false);
        } else {
          Check(gTemp.position == before + (int32_t)s.model.size());
          Check(std::string(TempAt(before)) == s.model);
          CheckTemp();
        }
        break;
      }
      case 1: {
        int32_t value = in_.Number(), start = PickStart();
        CheckPlaced(NumberToString(value, start), start, 32, before, std::to_string(value));
        break;
      }
      case 2: {
        Source s = PickSource();
        int32_t count = in_.Number(), start = PickStart();
        size_t n = count < 0 ? 0 : (size_t)count;
        std::string expected = s.model.substr(0, n);
        CheckPlaced(TakeLeading(s.text, count, start), start, (int32_t)expected.size(), before, expected);
        break;
      }
      case 3: {
        Source s = PickSource();
        int32_t first = in_.Number(), length = in_.Number(), start = PickStart();
        size_t skip = first > 1 ? (size_t)first - 1 : 0;
        std::string expected = skip >= s.model.size() ? "" : s.model.substr(skip, length < 0 ? 0 : (size_t)length);
        CheckPlaced(TakeSlice(s.text, first, length, start), start, (int32_t)expected.size(), before, expected);
        break;
      }
      case 4: {
        Source s = PickSource();
        int32_t index = in_.Number();
        Source separator = PickSource();
        int32_t start = PickStart();
        std::string expected = Field(s.model, index, separator.model);
        int32_t length = TakeField(s.text, index, separator.text, start);
        int32_t at = start < 0 ? 0 : start;
        int64_t from = at > before ? at : before;
        if (from + (int64_t)s.model.size() > kTempLimit) {
          Check(length == 0 && gTemp.position == before);
          CheckTemp(false);
        } else {
          Check(length == (int32_t)expected.size());
          CheckPlaced(TempAt(at), start, length, before, expected);
        }
        break;
      }
      case 5: {
        Source s = PickSource(), pattern = PickSource();
        int32_t start = in_.Number();
        Check(SearchText(s.text, pattern.text, start) == Search(s.model, pattern.model, start));
        break;
      }
      case 6: {
        Source s = PickSource();
        Check(ParseInteger(s.text) == Parse(s.model));
        Check(TextLength(s.text) == (int32_t)s.model.size());
        break;
      }
      case 7: {
        char*& v = variables_[in_.Byte() % kVariables];
        Source s = PickSource();
        int32_t result = AssignString(&v, s.text);
        Check(result == (int32_t)s.model.size() + 1);
        if (!s.text) Check(v == nullptr);
        CheckVariable(v, s.model);
        break;
      }
      case 8: {
        char*& v = variables_[in_.Byte() % kVariables];
        int32_t start = in_.Byte() & 1 ? in_.Number(before) : Mark();
        int32_t at = start < 0 ? 0 : start > before ? before : start;
        if (before - at > (1 << 20)) break;  // a text that long only costs time
        std::string expected(TempAt(at), (size_t)(before - at));
        expected.resize(strlen(expected.c_str()));  // the variable holds the text up to a terminator
        AssignStringFromTemp(&v, start);
        Check(strncmp(v ? v : "", expected.c_str(), expected.size() + 1) == 0);
        if (v) Check(BlockSize(v) >= (size_t)(before - at) + 5);
        Check(gTemp.position == at);
        CheckTemp(false);
        break;
      }
      case 9: {
        char*& v = variables_[in_.Byte() % kVariables];
        Source s = PickSource();
        char* old = v;
        NewStringCopy(&v, s.text);
        if (s.text) {
          FreeString(old);  // the copy does not free the old block; the caller does
          CheckVariable(v, s.model);
        } else {
          Check(v == old);
        }
        break;
      }
      case 10:
        // Remember where an expression starts, or pop back to a remembered start.
        if (in_.Byte() & 1) {
          marks_.push_back(gTemp.position);
        } else {
          gTemp.position = Mark();
          if (!marks_.empty()) marks_.pop_back();
          CheckTemp(false);
        }
        break;
      default: {
        // An application reservation: reserve, write, give back what was not written.
        int32_t length = in_.Number(), start = PickStart();
        char* out = ReserveTemp(length, start);
        int32_t at = start < 0 ? 0 : start, reserved = length < 0 ? 0 : length;
        int64_t from = at > before ? at : before;
        if (from + reserved > kTempLimit) {
          Check(out == nullptr && gTemp.position == before);
          CheckTemp(false);
          break;
        }
        Check(out == gTemp.buffer + at && gTemp.position == at + reserved);
        int32_t written = reserved < 64 ? reserved : 64;
        memset(out, 'r', (size_t)written);
        out[reserved] = 0;  // the byte at the end of a reservation is writable
        out[written] = 0;
        ReleaseTemp(reserved - written);
        CheckTemp();
        break;
      }
    }
  }

  int32_t Mark() const {
    int32_t m = marks_.empty() ? 0 : marks_.back();
    return m > gTemp.position ? gTemp.position : m;
  }

  static std::string Field(const std::string& text, int32_t index, const std::string& separator) {
    if (index < 1) index = 1;
    if (separator.empty()) return index == 1 ? text : "";
    size_t begin = 0;
    for (int32_t field = 1; field < index; ++field) {
      size_t at = text.find(separator[0], begin);
      if (at == std::string::npos) return "";
      begin = at + 1;
    }
    size_t end = text.find(separator[0], begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  }

  static int32_t Search(const std::string& text, const std::string& pattern, int32_t start) {
    if (text.empty() || pattern.empty()) return 0;
    int64_t from = start < 1 ? 0 : (int64_t)start - 1;
    if (from > (int64_t)text.size()) return 0;
    size_t at = text.find(pattern, (size_t)from);
    return at == std::string::npos ? 0 : (int32_t)at + 1;
  }

  static int32_t Parse(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10u + (uint32_t)(text[i++] - '0');
    return (int32_t)(negative ? 0u - value : value);
  }

  FuzzInput& in_;
  char* variables_[kVariables] = {};
  std::deque<std::string> literals_;
  std::deque<int32_t> marks_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartFuzzRuntime();
  // A fresh StringHeap and StringTemp for every input.
  if (gCore.stringHeap) PlatformHeapDestroy(gCore.stringHeap);
  gCore.stringHeap = nullptr;
  gTemp = StringTempState{};
  InitStringTemp();
  FuzzInput in(data, size);
  Session(in).Run();
  return 0;
}
