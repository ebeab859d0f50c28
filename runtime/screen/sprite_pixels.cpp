// Sprite pixel conversion by screen depth and layout, and memory-sprite rows.
#include "runtime/screen/sprite_pixels.h"

#include <cstring>

#include "runtime/screen/screen_pixels.h"

namespace {
uint32_t Read16(const uint8_t* p) { return p[0] | (p[1] << 8); }
void Write16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

struct Colour {
  uint8_t blue, green, red, alpha;
};

Colour ReadSourcePixel(const uint8_t* source, int32_t bits, int32_t x) {
  if (bits == 16) {
    uint32_t v = Read16(source + 2 * x);
    return Colour{static_cast<uint8_t>((v & 31) << 3), static_cast<uint8_t>(((v >> 5) & 31) << 3),
                  static_cast<uint8_t>(((v >> 10) & 31) << 3), 0};
  }
  const uint8_t* p = source + x * (bits / 8);
  return Colour{p[0], p[1], p[2], bits == 32 ? p[3] : uint8_t{0}};
}

// 16-bit destinations: 5-5-5 sources go unchanged onto 5-5-5 screens and are widened to 5-6-5
// (the green bits moved to the top of its six) on the others.
void WriteRow16(const uint8_t* source, int32_t bits, int32_t width, int32_t format, uint8_t* destination) {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t v;
    if (bits == 16) {
      uint32_t s = Read16(source + 2 * x);
      v = format == kFormat555 ? s : (((s >> 10) & 31) << 11) + (((s >> 5) & 31) << 6) + (s & 31);
    } else {
      const uint8_t* p = source + x * (bits / 8);
      uint32_t blue = p[0], green = p[1], red = p[2];
      v = format == kFormat555 ? ((red >> 3) << 10) + ((green >> 3) << 5) + (blue >> 3)
                               : ((red >> 3) << 11) + ((green >> 2) << 5) + (blue >> 3);
    }
    Write16(destination + 2 * x, v);
  }
}

void WriteRowTrueColour(const uint8_t* source, int32_t bits, int32_t width, int32_t depth, int32_t format,
                        bool keepAlpha, uint8_t* destination) {
  const int32_t step = depth / 8;
  const bool redFirst = format == kFormatRGB24 || format == kFormatRGB32;
  const bool alpha = keepAlpha && bits == 32;
  for (int32_t x = 0; x < width; ++x) {
    Colour c = ReadSourcePixel(source, bits, x);
    uint8_t* d = destination + x * step;
    d[0] = redFirst ? c.red : c.blue;
    d[1] = c.green;
    d[2] = redFirst ? c.blue : c.red;
    if (step == 4) d[3] = alpha ? c.alpha : 0;
  }
}
}  // namespace

int32_t SourceRowPitch(int32_t width, int32_t bits) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * bits + 31) / 32) * 4);
}

int32_t DestinationPixelBytes(int32_t depth) {
  switch (depth) {
    case 8:
    case 16:
    case 24:
    case 32:
      return depth / 8;
    default:
      return 0;
  }
}

bool CanConvertRow(int32_t sourceBits, int32_t depth) {
  if (depth == 8) return sourceBits == 8;
  if (depth == 16 || depth == 24 || depth == 32) return sourceBits == 16 || sourceBits == 24 || sourceBits == 32;
  return false;
}

bool ConvertSpriteRow(const uint8_t* source, int32_t sourceBits, int32_t width, int32_t depth, int32_t format,
                      bool keepAlpha, uint8_t* destination) {
  if (!CanConvertRow(sourceBits, depth) || width <= 0) return false;
  if (depth == 8) {
    memcpy(destination, source, static_cast<size_t>(width));
  } else if (depth == 16) {
    WriteRow16(source, sourceBits, width, format, destination);
  } else {
    WriteRowTrueColour(source, sourceBits, width, depth, format, keepAlpha, destination);
  }
  return true;
}

uint32_t SurfacePixelValue(const uint8_t* source, int32_t sourceBits, int32_t depth, int32_t format) {
  uint8_t pixel[4] = {};
  if (!ConvertSpriteRow(source, sourceBits, 1, depth, format, false, pixel)) return 0;
  return pixel[0] | pixel[1] << 8 | pixel[2] << 16 | static_cast<uint32_t>(pixel[3]) << 24;
}

bool SpriteSizeFits(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kSpriteSizeLimit && height <= kSpriteSizeLimit &&
         width * height <= kSpritePixelLimit;
}

void CopyMemorySpriteRows(const uint8_t* bottomUpRows, int32_t width, int32_t height, uint8_t* block) {
  const int32_t pitch = SourceRowPitch(width, 8);
  for (int32_t row = 0; row < height; ++row)
    memcpy(block + static_cast<size_t>(row) * width, bottomUpRows + static_cast<size_t>(height - 1 - row) * pitch,
           static_cast<size_t>(width));
}
