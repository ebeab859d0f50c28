// The part of a sprite drawn at a position that lies on its target (the back buffer): the source
// and target rectangles of the blit, so that a sprite partly off the screen is cut to it and one
// wholly off it is not drawn. Pure arithmetic, so it builds natively as well.
#pragma once
#include <cstdint>

struct ClippedBlit {
  int32_t sourceX, sourceY;  // top left of the visible part, in the sprite
  int32_t targetX, targetY;  // where it lands on the target
  int32_t width, height;     // its size, at least 1 by 1
};

// A sprite of width by height pixels with its top left corner at (x, y) on a target of
// targetWidth by targetHeight pixels. False when no pixel of it lies on the target (or either has
// no pixels); any positions and sizes are taken, without overflow.
bool ClipSpriteToTarget(int32_t x, int32_t y, int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight,
                        ClippedBlit* blit);
