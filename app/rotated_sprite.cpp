// Corner offsets and display point of a turned 3D sprite. Every intermediate value is stored as
// a 32-bit float, as the shapes on screen are defined by those stores.
#include "app/rotated_sprite.h"

#include <bit>
#include <cmath>

#include "app/rounding.h"
#include "runtime/screen/sprites3d.h"

RotatedCorners ComputeRotatedCorners(int32_t x, int32_t y, int32_t width, int32_t height, float angle, int32_t offsetY,
                                     int32_t offsetX) {
  const float degreesToRadians = std::bit_cast<float>(kDegreesToRadiansBits);
  const float pi = std::bit_cast<float>(kPiBits);

  // 64-bit so that a box at the edge of the integer range cannot overflow its centre.
  const int64_t cx = (int64_t)x + width / 2;
  const int64_t cy = (int64_t)y + height / 2;

  const float theta = angle * degreesToRadians;
  const float w = (float)width;
  const float h = (float)height;
  const float radius = (float)(std::sqrt(std::pow((double)w, 2.0) + std::pow((double)h, 2.0)) / 2.0);
  // The half-angle of the diagonal. A flat box (height 0) lies along the turn itself; an empty one
  // has no diagonal at all, and its corners all fall on the display point.
  float half;
  if (height != 0) {
    half = (float)std::atan((double)(float)((double)width / (double)height));
  } else {
    half = width == 0 ? 0.0f : std::copysign(pi / 2.0f, (float)width);
  }

  const float angles[4] = {theta - half, theta + half, (float)(theta - half) + pi, (float)(theta + half) + pi};
  RotatedCorners out{};
  for (int k = 0; k < 4; ++k) {
    out.x[k] = (float)(radius * std::cos((double)angles[k]));
    out.y[k] = (float)(radius * std::sin((double)angles[k]));
  }
  const double c = std::cos((double)theta), s = std::sin((double)theta);
  out.displayX = RoundToInt((double)cx - offsetX * c + offsetY * s);
  out.displayY = RoundToInt((double)cy - offsetX * s - offsetY * c);
  return out;
}

int32_t DrawRotated3DSprite(ObjectNumber sprite3D, int32_t x, int32_t y, int32_t width, int32_t height, float angle,
                            int32_t offsetY, int32_t offsetX, int32_t alpha) {
  const RotatedCorners r = ComputeRotatedCorners(x, y, width, height, angle, offsetY, offsetX);
  Shape3DSprite(sprite3D, r.x[0], r.y[0], r.x[1], r.y[1], r.x[2], r.y[2], r.x[3], r.y[3]);
  Draw3DSprite(sprite3D, r.displayX, r.displayY, alpha);
  return 0;
}
