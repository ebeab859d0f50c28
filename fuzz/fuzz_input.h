// Decodes a fuzzer's input into the values that drive a sequence of calls. Once the input is used
// up every reader gives zero, so any input decodes to some finite sequence.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return size_ == 0; }
  size_t left() const { return size_; }

  uint8_t Byte() {
    if (!size_) return 0;
    --size_;
    return *data_++;
  }

  int32_t Raw32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= (uint32_t)Byte() << (8 * i);
    return (int32_t)v;
  }

  // Mostly small values around zero and near `near`, sometimes the edges of the 32-bit range.
  int32_t Number(int32_t near = 0) {
    uint8_t kind = Byte();
    switch (kind & 7) {
      case 0:
      case 1:
      case 2:
        return (int32_t)(kind >> 3) - 8;  // -8 .. 23
      case 3:
      case 4: {
        int64_t v = (int64_t)near + (kind >> 3) - 8;
        return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
      }
      case 5: {
        static const int32_t kEdges[] = {INT32_MIN,
                                         INT32_MIN + 1,
                                         -65536,
                                         -1,
                                         0,
                                         1,
                                         16383,
                                         16384,
                                         65536,
                                         INT32_MAX - 16389,
                                         INT32_MAX - 16384,
                                         INT32_MAX - 5,
                                         INT32_MAX - 1,
                                         INT32_MAX,
                                         1 << 30,
                                         (1 << 30) + 1};
        return kEdges[(kind >> 3) % (sizeof kEdges / sizeof kEdges[0])];
      }
      case 6:
        return (int32_t)(Byte() | Byte() << 8);  // up to 65535
      default:
        return Raw32();
    }
  }

  // A run of bytes whose length comes first; it may hold zero bytes.
  std::string Bytes(size_t most) {
    size_t n = Byte();
    if (n > most) n = most;
    if (n > size_) n = size_;
    std::string s((const char*)data_, n);
    data_ += n;
    size_ -= n;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};
