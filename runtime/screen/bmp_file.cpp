// BMP files: the header reader and the palette expansion (1, 4 and 8 bits, plain or RLE8) to
// 24-bit blue, green, red rows, bottom row first as in the file. Every header field is checked
// against the file's size before use, and every pixel is written only inside the image's own rows
// of the caller's buffer.
#include "runtime/screen/bmp_file.h"

#include "runtime/screen/sprite_pixels.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;  // the smallest header with 32-bit sizes
constexpr uint32_t kMasksOffset = kFileHeaderSize + kInfoHeaderSize;

uint32_t Read16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Read32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// Bit masks are accepted when they spell the layout the plain format has anyway.
bool PlainMasks(const uint8_t* data, size_t size, int32_t bits) {
  if (size < kMasksOffset + 12) return false;
  uint32_t red = Read32(data + kMasksOffset), green = Read32(data + kMasksOffset + 4),
           blue = Read32(data + kMasksOffset + 8);
  if (bits == 16) return red == 0x7C00 && green == 0x03E0 && blue == 0x001F;
  if (bits == 32) return red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
  return false;
}

bool LayoutRead(const uint8_t* data, size_t size, const BmpInfo& bmp) {
  switch (bmp.bits) {
    case 1:
    case 4:
    case 8:
      return true;
    case 16:
    case 32:
      if (bmp.compression != kBmpRgb && !(bmp.compression == kBmpBitFields && PlainMasks(data, size, bmp.bits)))
        return false;
      return BmpPixelsFit(bmp, size);
    case 24:
      return bmp.compression == kBmpRgb && BmpPixelsFit(bmp, size);
    default:
      return false;
  }
}

// One expansion: the file and its headers, the caller's buffer and pitch.
struct Expansion {
  const uint8_t* file;
  size_t size;
  const BmpInfo& bmp;
  uint8_t* buffer;
  int64_t pitch;

  uint8_t* PixelAt(int64_t x, int64_t y) const { return buffer + y * pitch + x * 3; }
  const uint8_t* Row(int64_t y) const { return file + bmp.pixelOffset + y * SourceRowPitch(bmp.width, bmp.bits); }
};

void PutColour(uint8_t* pixel, const uint8_t* entry) {
  pixel[0] = entry[0];
  pixel[1] = entry[1];
  pixel[2] = entry[2];
}

// An index past the table's entries gives black.
void PutIndex(const Expansion& e, uint8_t* pixel, uint32_t index) {
  static const uint8_t kBlack[3] = {0, 0, 0};
  PutColour(pixel, index < e.bmp.tableEntries ? e.file + e.bmp.tableOffset + static_cast<size_t>(index) * 4 : kBlack);
}

// The colour table is ignored: index 0 is black and 1 white.
void ExpandOneBit(const Expansion& e) {
  static const uint8_t kBlack[3] = {0, 0, 0}, kWhite[3] = {255, 255, 255};
  for (int64_t y = 0; y < e.bmp.height; ++y) {
    const uint8_t* src = e.Row(y);
    for (int64_t x = 0; x < e.bmp.width; ++x)
      PutColour(e.PixelAt(x, y), (src[x >> 3] >> (7 - (x & 7)) & 1) ? kWhite : kBlack);
  }
}

// Two pixels per byte, high nibble first. For an odd width the last byte's low nibble is written
// as one pixel past the row: into the row's padding or the next row's first pixel, which that row
// then overwrites, or for the last row into the buffer's spare row.
void ExpandFourBits(const Expansion& e) {
  for (int64_t y = 0; y < e.bmp.height; ++y) {
    const uint8_t* src = e.Row(y);
    for (int64_t i = 0; i < (e.bmp.width + 1) / 2; ++i) {
      PutIndex(e, e.PixelAt(2 * i, y), src[i] >> 4);
      PutIndex(e, e.PixelAt(2 * i + 1, y), src[i] & 15);
    }
  }
}

void ExpandEightBits(const Expansion& e) {
  for (int64_t y = 0; y < e.bmp.height; ++y) {
    const uint8_t* src = e.Row(y);
    for (int64_t x = 0; x < e.bmp.width; ++x) PutIndex(e, e.PixelAt(x, y), src[x]);
  }
}

// Run-length records; pixels that fall outside the image are skipped, and decoding stops at the
// end of the image, the end of the file, or once the position has left the image's last row.
void ExpandRle8(const Expansion& e) {
  const uint8_t* file = e.file;
  size_t at = e.bmp.pixelOffset, size = e.size;
  int64_t x = 0, y = 0;
  auto put = [&](uint32_t index) {
    if (x < e.bmp.width) PutIndex(e, e.PixelAt(x, y), index);
    ++x;
  };
  while (y < e.bmp.height && at + 2 <= size) {
    uint32_t count = file[at], value = file[at + 1];
    at += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i) put(value);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (at + 2 > size) return;
      x += file[at];
      y += file[at + 1];
      at += 2;
    } else {
      for (uint32_t i = 0; i < value && at < size; ++i) put(file[at++]);
      if (value & 1) ++at;
    }
  }
}

}  // namespace

bool ReadBmpInfo(const uint8_t* data, size_t size, BmpInfo* info) {
  if (!data || !IsBmp(data, size) || size < kMasksOffset) return false;
  uint32_t headerSize = Read32(data + 14);
  BmpInfo read{};
  read.width = static_cast<int32_t>(Read32(data + 18));
  read.height = static_cast<int32_t>(Read32(data + 22));
  read.bits = static_cast<int32_t>(Read16(data + 28));
  read.compression = static_cast<int32_t>(Read32(data + 30));
  read.pixelOffset = Read32(data + 10);
  if (headerSize < kInfoHeaderSize || headerSize > size - kFileHeaderSize) return false;
  if (!SpriteSizeFits(read.width, read.height)) return false;
  read.tableOffset = kFileHeaderSize + headerSize;
  if (read.pixelOffset < read.tableOffset || read.pixelOffset >= size) return false;
  read.tableEntries = (read.pixelOffset - read.tableOffset) / 4;
  if (read.bits <= 8 && read.tableEntries > (1u << read.bits)) read.tableEntries = 1u << read.bits;
  if (!LayoutRead(data, size, read)) return false;
  *info = read;
  return true;
}

bool BmpPixelsFit(const BmpInfo& info, size_t size) {
  uint64_t bytes = static_cast<uint64_t>(SourceRowPitch(info.width, info.bits)) * static_cast<uint64_t>(info.height);
  return info.pixelOffset <= size && bytes <= size - info.pixelOffset;
}

int32_t ExpandBmpPalette(const uint8_t* file, size_t size, const BmpInfo& bmp, uint8_t* buffer, int32_t pitch) {
  if (!file || !buffer || pitch < static_cast<int64_t>(bmp.width) * 3) return 0;
  Expansion e{file, size, bmp, buffer, pitch};
  if (bmp.bits == 8 && bmp.compression == kBmpRle8) {
    ExpandRle8(e);
    return 1;
  }
  if ((bmp.bits != 1 && bmp.bits != 4 && bmp.bits != 8) || !BmpPixelsFit(bmp, size)) return 0;
  if (bmp.bits == 4 && bmp.compression == kBmpRle4) return 0;
  if (bmp.bits == 1) ExpandOneBit(e);
  if (bmp.bits == 4) ExpandFourBits(e);
  if (bmp.bits == 8) ExpandEightBits(e);
  return 1;
}
