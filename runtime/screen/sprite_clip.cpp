// Cutting a sprite's blit to its target, in 64-bit arithmetic so that no position overflows.
#include "runtime/screen/sprite_clip.h"

namespace {
// One axis: the sprite's span [at, at + size) against the target's [0, limit).
bool ClipAxis(int32_t at, int32_t size, int32_t limit, int32_t* source, int32_t* target, int32_t* length) {
  if (size <= 0 || limit <= 0) return false;
  int64_t first = at < 0 ? 0 : at;
  int64_t end = static_cast<int64_t>(at) + size;
  if (end > limit) end = limit;
  if (first >= end) return false;
  *source = static_cast<int32_t>(first - at);
  *target = static_cast<int32_t>(first);
  *length = static_cast<int32_t>(end - first);
  return true;
}
}  // namespace

bool ClipSpriteToTarget(int32_t x, int32_t y, int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight,
                        ClippedBlit* blit) {
  ClippedBlit clipped{};
  if (!ClipAxis(x, width, targetWidth, &clipped.sourceX, &clipped.targetX, &clipped.width)) return false;
  if (!ClipAxis(y, height, targetHeight, &clipped.sourceY, &clipped.targetY, &clipped.height)) return false;
  *blit = clipped;
  return true;
}
