// BMP files: the one reader of their headers, with the rules every BMP path shares (the layouts
// read, where the colour table and the rows lie, how long a row is), and the expansion of palette
// images to 24-bit rows through their colour table. Platform-free.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t kBmpRgb = 0;
constexpr int32_t kBmpRle8 = 1;
constexpr int32_t kBmpRle4 = 2;
constexpr int32_t kBmpBitFields = 3;

struct BmpInfo {
  int32_t width;
  int32_t height;
  int32_t bits;
  int32_t compression;
  uint32_t pixelOffset;
  uint32_t tableOffset;   // the colour table: entries of blue, green, red and a reserved byte
  uint32_t tableEntries;  // the entries between the headers and the pixels, at most 2^bits
};

inline bool IsBmp(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

// Reads the headers of a BMP file of size bytes. False unless the file holds a bottom-up image of
// 1, 4, 8, 16, 24 or 32 bits whose size can be a sprite's (SpriteSizeFits) with a pixel offset
// inside the file; for 16-, 24- and 32-bit images also unless the rows are stored plainly (bit masks only
// when they equal the plain 5-5-5 or 8-8-8 layout) and every row lies inside the file.
bool ReadBmpInfo(const uint8_t* data, size_t size, BmpInfo* info);

// Whether the file's own uncompressed pixel array, every row padded to 4 bytes, lies inside size
// bytes.
bool BmpPixelsFit(const BmpInfo& info, size_t size);

// Expands a 1-, 4- or 8-bit (plain or RLE8) BMP, whose headers ReadBmpInfo read from the same
// size bytes, to 24-bit blue, green, red rows, bottom row first, at the given pitch, into a buffer
// of pitch * (height + 1) bytes. Every read stays inside the file and every write inside the
// buffer. 0 when nothing was expanded: the image is not one of those kinds (more than 8 bits,
// RLE4), its plain rows do not all lie inside the file, or the pitch is below 3 bytes a pixel;
// 1 otherwise.
int32_t ExpandBmpPalette(const uint8_t* file, size_t size, const BmpInfo& bmp, uint8_t* buffer, int32_t pitch);
