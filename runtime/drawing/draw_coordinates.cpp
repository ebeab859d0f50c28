// Coordinate arithmetic of the drawing primitives, in 64 bits and held inside GDI's coordinates.
#include "runtime/drawing/draw_coordinates.h"

#include <algorithm>

int32_t OffsetCoordinate(int32_t start, int64_t extent) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{start} + extent, kSmallestCoordinate, kLargestCoordinate));
}
