// Pixel layouts of the screen and the conversion of RGB colours into them. Pure arithmetic with no
// window or DirectX calls, so it builds natively as well.
#pragma once
#include <cstdint>

// The screen's pixel layout, read from its depth and RGB bit masks.
enum PixelFormatCode : int32_t {
  kFormatPalette8 = 1,  // 8-bit palette index
  kFormat555 = 2,       // 16 bits: blue 0-4, green 5-9, red 10-14
  kFormat565 = 3,       // 16 bits: blue 0-4, green 5-10, red 11-15
  kFormatRGB24 = 4,     // red byte 0, green byte 1, blue byte 2
  kFormatBGR24 = 5,     // blue byte 0, green byte 1, red byte 2
  kFormatRGB32 = 6,     // as kFormatRGB24 plus an unused fourth byte
  kFormatBGR32 = 7,     // as kFormatBGR24 plus an unused fourth byte
};

PixelFormatCode PixelFormatFromMasks(int32_t depth, uint32_t redMask, uint32_t greenMask);

// The fill value for a colour. 15 and 16 pick 5-5-5 and 5-6-5 by depth alone; 24 and 32 pick the
// byte order by format; any other depth gives 0.
uint32_t ConvertColourFor(int32_t depth, int32_t format, uint32_t red, uint32_t green, uint32_t blue);
