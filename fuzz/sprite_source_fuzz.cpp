// Image files exactly as the sprite loader reads them: the bytes go through the loader's own
// source reader (BMP rows in place or expanded, everything else through the decoder registry),
// then every source row is converted into a surface row of a layout picked from the input, as the
// loader writes a surface. The row buffer comes from an exact-size allocation so that any access
// past it is caught. The first byte picks the layout and whether indices are kept, and with its
// high bits an allocation that fails (the row buffer's or one of libpng's); the rest is the file.
// Any outcome must leave none of libpng's memory behind.
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "runtime/core/platform.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/png_decoder.h"
#include "runtime/screen/screen_pixels.h"
#include "runtime/screen/sprite_pixels.h"
#include "runtime/screen/sprite_source.h"
#include "surface_layouts.h"

namespace {

// Row buffers past this size are refused so that every run stays quick, as a failed allocation.
constexpr size_t kMostBufferBytes = 1u << 24;

uint8_t* Allocate(size_t bytes) {
  if (bytes > kMostBufferBytes || PlatformAllocationRefused()) return nullptr;
  return (uint8_t*)calloc(1, bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const SurfaceLayout& layout = kSurfaceLayouts[data[0] % kSurfaceLayoutCount];
  bool keepIndices = layout.depth == 8;
  ResetImageDecoders();
  RegisterPngDecoder();

  // 0: every allocation succeeds; n: the n-th fails, and with an even n every one after it too.
  uint8_t failing = data[0] >> 3;
  PlatformFailAllocations(failing, failing % 2 == 0);
  SpriteSource source{};
  SpriteSourceResult result = ReadSpriteSource(data + 1, size - 1, keepIndices, Allocate, &source);
  PlatformFailAllocations(0, false);
  // Whatever the outcome, the reader has given libpng's structures back by the time it returns.
  Check(PngDecoderBlocks() == 0);
  if (result == kSourceReady) {
    Check(SpriteSizeFits(source.width, source.height));
    Check(source.pixels != nullptr);
    if (CanConvertRow(source.bits, layout.depth)) {
      size_t rowBytes = (size_t)source.width * DestinationPixelBytes(layout.depth);
      auto* row = (uint8_t*)malloc(rowBytes);
      for (int32_t y = 0; y < source.height; ++y)
        Check(ConvertSpriteRow(source.pixels + (size_t)y * source.pitch, source.bits, source.width, layout.depth,
                               layout.format, layout.keepAlpha, row));
      free(row);
    }
  }
  free(source.buffer);
  return 0;
}
