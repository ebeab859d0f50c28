// PNG files through the image decoder registry as the sprite library calls it: FindImageDecoder
// with the block and its size, the sprite size checks, then DecodeImage into a buffer of exactly
// pitch * (height + 1) bytes, and the rows converted into a sprite surface's layout. libpng itself
// is not instrumented, so the buffer ends flush against an inaccessible page: a write past it faults
// whichever code makes it. The input is an exact-size block, and libpng's reads of it go through
// the decoder's memcpy, which the address sanitizer checks. The spare last row must come back
// untouched.
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/screen_pixels.h"
#include "runtime/screen/sprite_pixels.h"
#include "tests/support/guarded_memory.h"

namespace {

// Decode buffers past this size are left out so that every run stays quick; the library would
// simply allocate them.
constexpr uint64_t kMostBufferBytes = 1u << 24;
constexpr uint8_t kSpareFill = 0xCD;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetImageDecoders();
  RegisterPngDecoder();
  int32_t kind = FindImageDecoder((intptr_t)size, data);
  Check(kind == 0 || kind == 1 || kind == 2);
  if (!kind) return 0;
  int32_t width = DecodedWidth(), height = DecodedHeight();
  if (!SpriteSizeFits(width, height)) return 0;  // refused by the sprite loader before any buffer
  int32_t pitch = kind == 2 ? 4 * width : 3 * width + (width & 3);
  uint64_t bytes = (uint64_t)pitch * (uint64_t)(height + 1);
  if (bytes > kMostBufferBytes) return 0;

  GuardedMemory block((size_t)bytes);
  uint8_t* buffer = block.data();
  memset(buffer, 0, (size_t)pitch * height);
  memset(buffer + (size_t)pitch * height, kSpareFill, (size_t)pitch);
  int32_t result = DecodeImage(buffer, pitch, 0);
  Check(result == 0 || result == 1);
  for (size_t i = (size_t)pitch * height; i < bytes; ++i) Check(buffer[i] == kSpareFill);
  // A second decode without a new search has no image to read.
  Check(DecodeImage(buffer, pitch, 0) == 0);

  // The sprite library converts the rows whatever the decode reported.
  static const int32_t kDepths[] = {16, 16, 24, 24, 32, 32, 32};
  static const int32_t kFormats[] = {kFormat555,   kFormat565,   kFormatRGB24, kFormatBGR24,
                                     kFormatRGB32, kFormatBGR32, kFormatBGR32};
  int which = data[size - 1] % 7;
  size_t rowBytes = (size_t)width * DestinationPixelBytes(kDepths[which]);
  auto* row = (uint8_t*)malloc(rowBytes);
  for (int32_t y = 0; y < height; ++y)
    Check(ConvertSpriteRow(buffer + (size_t)y * pitch, kind == 2 ? 32 : 24, width, kDepths[which], kFormats[which],
                           which == 6, row));
  free(row);
  return 0;
}
