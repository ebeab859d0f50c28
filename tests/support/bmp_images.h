// BMP files built in memory for tests: a 40-byte info header, a grey colour table for 8-bit
// images, rows bottom-up and padded to 4 bytes. Pixels are given top row first.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

// colour(x, y) with y counted from the top: 0xAARRGGBB for 24 and 32 bits, a 5-5-5 value for 16,
// an index for 8.
inline std::vector<uint8_t> MakeBmp(int width, int height, int bits, const std::function<uint32_t(int, int)>& colour) {
  const int pitch = (width * bits + 31) / 32 * 4;
  const int tableBytes = bits == 8 ? 256 * 4 : 0;
  const uint32_t offset = 54 + tableBytes;
  std::vector<uint8_t> file(offset + static_cast<size_t>(pitch) * height, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    file[at] = static_cast<uint8_t>(v);
    file[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, offset);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, static_cast<uint32_t>(bits));
  for (int i = 0; i < tableBytes / 4; ++i) put32(54 + 4 * i, 0x010101u * static_cast<uint32_t>(i));
  for (int y = 0; y < height; ++y) {
    size_t row = offset + static_cast<size_t>(height - 1 - y) * pitch;
    for (int x = 0; x < width; ++x) {
      uint32_t c = colour(x, y);
      if (bits == 8) file[row + x] = static_cast<uint8_t>(c);
      if (bits == 16) put16(row + 2 * x, c);
      if (bits == 24) {
        put16(row + 3 * x, c);
        file[row + 3 * x + 2] = static_cast<uint8_t>(c >> 16);
      }
      if (bits == 32) put32(row + 4 * x, c);
    }
  }
  return file;
}

inline void PatchU32(std::vector<uint8_t>& file, size_t at, uint32_t value) { memcpy(file.data() + at, &value, 4); }
inline void PatchU16(std::vector<uint8_t>& file, size_t at, uint16_t value) { memcpy(file.data() + at, &value, 2); }

// A BMP of any bit count and compression from its packed pixel bytes (rows bottom-up as the file
// stores them) and its colour table of 0x00RRGGBB entries.
inline std::vector<uint8_t> MakeBmpFile(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                                        const std::vector<uint32_t>& table, const std::vector<uint8_t>& pixels) {
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(table.size());
  std::vector<uint8_t> file(offset, 0);
  file[0] = 'B';
  file[1] = 'M';
  PatchU32(file, 2, offset + static_cast<uint32_t>(pixels.size()));
  PatchU32(file, 10, offset);
  PatchU32(file, 14, 40);
  PatchU32(file, 18, static_cast<uint32_t>(width));
  PatchU32(file, 22, static_cast<uint32_t>(height));
  PatchU16(file, 26, 1);
  PatchU16(file, 28, bits);
  PatchU32(file, 30, compression);
  PatchU32(file, 34, static_cast<uint32_t>(pixels.size()));
  PatchU32(file, 46, static_cast<uint32_t>(table.size()));
  for (size_t i = 0; i < table.size(); ++i) PatchU32(file, 54 + 4 * i, table[i]);
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}
