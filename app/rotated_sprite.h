// A 3D sprite shown over an axis-aligned box, turned about the box's centre (or about a point
// offset from it). The geometry is separate from the display so it can be checked on its own.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

// Degrees to radians and pi, as the 32-bit floats the turn is computed with.
constexpr uint32_t kDegreesToRadiansBits = 0x3C8EFA35u;
constexpr uint32_t kPiBits = 0x40490FDBu;

struct RotatedCorners {
  float x[4];  // top-left, top-right, bottom-right, bottom-left corner of the image,
  float y[4];  // as offsets from the display point
  int32_t displayX;
  int32_t displayY;
};

// With screen y growing downward, 270 degrees is upright and a growing angle turns clockwise.
// Note the offset order: its y component comes before its x component.
RotatedCorners ComputeRotatedCorners(int32_t x, int32_t y, int32_t width, int32_t height, float angle, int32_t offsetY,
                                     int32_t offsetX);

// Shapes the 3D sprite to the turned corners and draws it at the display point; always 0.
int32_t DrawRotated3DSprite(ObjectNumber sprite3D, int32_t x, int32_t y, int32_t width, int32_t height, float angle,
                            int32_t offsetY, int32_t offsetX, int32_t alpha);
