// Expansion of palette BMPs (1, 4 and 8 bits, plain or RLE8) to 24-bit blue, green, red rows,
// bottom row first as in the file. Every header field is checked against the file's size before
// use, and every pixel is written only inside the image's own rows of the caller's buffer.
#include <cstdint>
#include <cstring>

#include "runtime/screen/image_decoders.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderMinimum = 40;  // the fields read below end inside the first 40 bytes
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

struct BmpImage {
  const uint8_t* file;
  size_t size;
  int64_t width;
  int64_t height;
  uint32_t bits;
  uint32_t compression;
  size_t dataStart;
  const uint8_t* table;  // colour table entries of 4 bytes: blue, green, red, reserved
  size_t tableEntries;   // those that lie between the headers and the pixel data
  uint8_t* buffer;
  int64_t pitch;
};

bool ReadHeaders(const uint8_t* file, size_t size, BmpImage* image) {
  if (!file || size < kFileHeaderBytes + kInfoHeaderMinimum || file[0] != 'B' || file[1] != 'M') return false;
  uint64_t infoSize = Le32(file + 14), dataStart = Le32(file + 10);
  uint64_t tableStart = kFileHeaderBytes + infoSize;
  if (infoSize < kInfoHeaderMinimum || tableStart > size || dataStart < tableStart || dataStart >= size) return false;
  image->file = file;
  image->size = size;
  image->width = (int32_t)Le32(file + 18);
  image->height = (int32_t)Le32(file + 22);
  image->bits = Le16(file + 28);
  image->compression = Le32(file + 30);
  image->dataStart = (size_t)dataStart;
  image->table = file + tableStart;
  image->tableEntries = (size_t)(dataStart - tableStart) / 4;
  if (image->bits <= 8 && image->tableEntries > (size_t)1 << image->bits)
    image->tableEntries = (size_t)1 << image->bits;
  return image->width > 0 && image->height > 0;
}

// Plain rows are padded to 4 bytes; the last row only needs its used bytes in the file.
bool PlainRowsFit(const BmpImage& image) {
  int64_t rowBytes = (image.width * image.bits + 31) / 32 * 4, usedBytes = (image.width * image.bits + 7) / 8;
  int64_t available = (int64_t)(image.size - image.dataStart);
  return usedBytes <= available && image.height - 1 <= (available - usedBytes) / rowBytes;
}

uint8_t* PixelAt(const BmpImage& image, int64_t x, int64_t y) { return image.buffer + y * image.pitch + x * 3; }

void PutColour(uint8_t* pixel, const uint8_t* entry) {
  pixel[0] = entry[0];
  pixel[1] = entry[1];
  pixel[2] = entry[2];
}

// An index past the table's entries gives black.
void PutIndex(const BmpImage& image, uint8_t* pixel, uint32_t index) {
  static const uint8_t kBlack[3] = {0, 0, 0};
  PutColour(pixel, index < image.tableEntries ? image.table + (size_t)index * 4 : kBlack);
}

const uint8_t* RowSource(const BmpImage& image, int64_t y) {
  return image.file + image.dataStart + y * ((image.width * image.bits + 31) / 32 * 4);
}

// The colour table is ignored: index 0 is black and 1 white.
void ExpandOneBit(const BmpImage& image) {
  static const uint8_t kBlack[3] = {0, 0, 0}, kWhite[3] = {255, 255, 255};
  for (int64_t y = 0; y < image.height; ++y) {
    const uint8_t* src = RowSource(image, y);
    for (int64_t x = 0; x < image.width; ++x)
      PutColour(PixelAt(image, x, y), (src[x >> 3] >> (7 - (x & 7)) & 1) ? kWhite : kBlack);
  }
}

// Two pixels per byte, high nibble first. For an odd width the last byte's low nibble is written
// as one pixel past the row: into the row's padding or the next row's first pixel, which that row
// then overwrites, or for the last row into the buffer's spare row.
void ExpandFourBits(const BmpImage& image) {
  for (int64_t y = 0; y < image.height; ++y) {
    const uint8_t* src = RowSource(image, y);
    for (int64_t i = 0; i < (image.width + 1) / 2; ++i) {
      PutIndex(image, PixelAt(image, 2 * i, y), src[i] >> 4);
      PutIndex(image, PixelAt(image, 2 * i + 1, y), src[i] & 15);
    }
  }
}

void ExpandEightBits(const BmpImage& image) {
  for (int64_t y = 0; y < image.height; ++y) {
    const uint8_t* src = RowSource(image, y);
    for (int64_t x = 0; x < image.width; ++x) PutIndex(image, PixelAt(image, x, y), src[x]);
  }
}

// Run-length records; pixels that fall outside the image are skipped, and decoding stops at the
// end of the image, the end of the file, or once the position has left the image's last row.
void ExpandRle8(const BmpImage& image) {
  const uint8_t* file = image.file;
  size_t at = image.dataStart, size = image.size;
  int64_t x = 0, y = 0;
  auto put = [&](uint32_t index) {
    if (x < image.width) PutIndex(image, PixelAt(image, x, y), index);
    ++x;
  };
  while (y < image.height && at + 2 <= size) {
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

int32_t ExpandBmpPalette(const uint8_t* file, size_t size, uint8_t* buffer, int32_t pitch) {
  BmpImage image;
  if (!buffer || !ReadHeaders(file, size, &image) || pitch < image.width * 3) return 0;
  image.buffer = buffer;
  image.pitch = pitch;
  if (image.bits == 8 && image.compression == kCompressionRle8) {
    ExpandRle8(image);
    return 1;
  }
  if ((image.bits != 1 && image.bits != 4 && image.bits != 8) || !PlainRowsFit(image)) return 0;
  if (image.bits == 4 && image.compression == kCompressionRle4) return 0;
  if (image.bits == 1) ExpandOneBit(image);
  if (image.bits == 4) ExpandFourBits(image);
  if (image.bits == 8) ExpandEightBits(image);
  return 1;
}
