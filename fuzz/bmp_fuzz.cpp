// BMP files as the sprite library reads them. The header reader decides whether the file is used:
// images above 8 bits are converted in place, row by row, into a sprite surface's layout; palette
// images go through the colour-table expansion into a buffer of pitch * (height + 1) bytes and are
// converted from there; memory sprites and 8-bit surfaces copy plain 8-bit rows. Every buffer is a
// malloc block of exactly the size the library allocates, so the address sanitizer catches any
// access past it. The reserved word of the file header (which readers ignore) picks the surface
// layout.
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "runtime/screen/bmp_file.h"
#include "runtime/screen/screen_pixels.h"
#include "runtime/screen/sprite_pixels.h"
#include "surface_layouts.h"

namespace {

// Expansion buffers past this size are left out so that every run stays quick; the library would
// simply allocate them.
constexpr uint64_t kMostBufferBytes = 1u << 24;

// Converts height rows of width pixels at the given pitch into a surface row of exactly the
// layout's row size.
void ConvertRows(const uint8_t* rows, int64_t pitch, int32_t bits, int32_t width, int32_t height,
                 const SurfaceLayout& l) {
  size_t rowBytes = (size_t)width * DestinationPixelBytes(l.depth);
  auto* row = (uint8_t*)malloc(rowBytes);
  for (int32_t y = 0; y < height; ++y)
    Check(ConvertSpriteRow(rows + (size_t)y * pitch, bits, width, l.depth, l.format, l.keepAlpha, row));
  free(row);
}

// The 24-bit expansion buffer of a palette image at the pitch the library uses.
uint8_t* Expand(const uint8_t* data, size_t size, const BmpInfo& bmp, int32_t* pitch, int32_t* result) {
  *pitch = SourceRowPitch(bmp.width, 24);
  if ((uint64_t)*pitch * (uint64_t)(bmp.height + 1) > kMostBufferBytes) return nullptr;
  auto* buffer = (uint8_t*)malloc((size_t)*pitch * (size_t)(bmp.height + 1));
  *result = ExpandBmpPalette(data, size, bmp, buffer, *pitch);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpInfo bmp;
  if (!ReadBmpInfo(data, size, &bmp)) return 0;
  Check(SpriteSizeFits(bmp.width, bmp.height));
  Check(bmp.pixelOffset < size);
  Check(bmp.tableOffset + 4ull * bmp.tableEntries <= bmp.pixelOffset);
  const SurfaceLayout& layout = TrueColourLayout(data[6]);

  if (bmp.bits > 8) {
    Check(BmpPixelsFit(bmp, size));
    ConvertRows(data + bmp.pixelOffset, SourceRowPitch(bmp.width, bmp.bits), bmp.bits, bmp.width, bmp.height, layout);
    return 0;
  }

  // A memory sprite or an 8-bit surface: plain 8-bit rows only.
  if (bmp.bits == 8 && bmp.compression == kBmpRgb && BmpPixelsFit(bmp, size)) {
    auto* block = (uint8_t*)malloc((size_t)bmp.width * bmp.height);
    CopyMemorySpriteRows(data + bmp.pixelOffset, bmp.width, bmp.height, block);
    free(block);
    ConvertRows(data + bmp.pixelOffset, SourceRowPitch(bmp.width, 8), 8, bmp.width, bmp.height, kSurfaceLayouts[0]);
  }

  // A true-colour surface: the palette image expanded to 24 bits first.
  int32_t pitch = 0, result = 0;
  uint8_t* buffer = Expand(data, size, bmp, &pitch, &result);
  if (buffer && result) ConvertRows(buffer, pitch, 24, bmp.width, bmp.height, layout);
  free(buffer);
  return 0;
}
