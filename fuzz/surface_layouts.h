// The sprite surface layouts a fuzzer converts rows into: the 8-bit palette one first, then every
// true-colour depth and byte order, with and without a kept alpha channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/screen/screen_pixels.h"

struct SurfaceLayout {
  int32_t depth;
  int32_t format;
  bool keepAlpha;
};

constexpr SurfaceLayout kSurfaceLayouts[] = {
    {8, kFormatPalette8, false}, {16, kFormat555, false},   {16, kFormat565, false},   {24, kFormatRGB24, false},
    {24, kFormatBGR24, false},   {32, kFormatRGB32, false}, {32, kFormatBGR32, false}, {32, kFormatBGR32, true}};
constexpr size_t kSurfaceLayoutCount = sizeof kSurfaceLayouts / sizeof kSurfaceLayouts[0];

// A true-colour layout picked by a byte.
inline const SurfaceLayout& TrueColourLayout(uint8_t pick) {
  return kSurfaceLayouts[1 + pick % (kSurfaceLayoutCount - 1)];
}
