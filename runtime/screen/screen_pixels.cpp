// Pixel layouts of the screen and the conversion of RGB colours into them.
#include "runtime/screen/screen_pixels.h"

PixelFormatCode PixelFormatFromMasks(int32_t depth, uint32_t redMask, uint32_t greenMask) {
  if (depth == 32) return redMask == 0xFF ? kFormatRGB32 : kFormatBGR32;
  if (depth == 24) return redMask == 0xFF ? kFormatRGB24 : kFormatBGR24;
  if (depth == 16) return greenMask == 0x07E0 ? kFormat565 : kFormat555;
  return kFormatPalette8;
}

uint32_t ConvertColourFor(int32_t depth, int32_t format, uint32_t red, uint32_t green, uint32_t blue) {
  switch (depth) {
    case 15:
      return (blue >> 3) + ((green >> 3) << 5) + ((red >> 3) << 10);
    case 16:
      return (blue >> 3) + ((green >> 2) << 5) + ((red >> 3) << 11);
    case 24:
    case 32:
      if (format == kFormatRGB24 || format == kFormatRGB32) return red + (green << 8) + (blue << 16);
      return blue + (green << 8) + (red << 16);
    default:
      return 0;
  }
}
