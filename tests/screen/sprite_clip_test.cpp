// A sprite's blit cut to its target: inside, across each edge, beyond each edge, larger than the
// target, and at the ends of the integer range.
#include "runtime/screen/sprite_clip.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {
std::string Clip(int32_t x, int32_t y, int32_t w, int32_t h, int32_t tw = 100, int32_t th = 80) {
  ClippedBlit b{-7, -7, -7, -7, -7, -7};
  if (!ClipSpriteToTarget(x, y, w, h, tw, th, &b)) return "none";
  return std::to_string(b.sourceX) + "," + std::to_string(b.sourceY) + " -> " + std::to_string(b.targetX) + "," +
         std::to_string(b.targetY) + " " + std::to_string(b.width) + "x" + std::to_string(b.height);
}
}  // namespace

TEST(SpriteClip, InsideTheTargetTheWholeSpriteIsDrawn) {
  EXPECT_EQ(Clip(10, 20, 30, 40), "0,0 -> 10,20 30x40");
  EXPECT_EQ(Clip(0, 0, 100, 80), "0,0 -> 0,0 100x80");
  EXPECT_EQ(Clip(70, 40, 30, 40), "0,0 -> 70,40 30x40");  // flush with the right and bottom edges
}

TEST(SpriteClip, AcrossAnEdgeOnlyThePartOnTheTargetIsDrawn) {
  EXPECT_EQ(Clip(-5, 10, 30, 40), "5,0 -> 0,10 25x40");
  EXPECT_EQ(Clip(10, -15, 30, 40), "0,15 -> 10,0 30x25");
  EXPECT_EQ(Clip(90, 10, 30, 40), "0,0 -> 90,10 10x40");
  EXPECT_EQ(Clip(10, 70, 30, 40), "0,0 -> 10,70 30x10");
  EXPECT_EQ(Clip(-10, -10, 300, 300), "10,10 -> 0,0 100x80");  // larger than the target
  EXPECT_EQ(Clip(99, 79, 30, 40), "0,0 -> 99,79 1x1");
  EXPECT_EQ(Clip(-29, -39, 30, 40), "29,39 -> 0,0 1x1");
}

TEST(SpriteClip, WhollyOffTheTargetOrEmptyNothingIsDrawn) {
  EXPECT_EQ(Clip(100, 10, 30, 40), "none");
  EXPECT_EQ(Clip(10, 80, 30, 40), "none");
  EXPECT_EQ(Clip(-30, 10, 30, 40), "none");
  EXPECT_EQ(Clip(10, -40, 30, 40), "none");
  EXPECT_EQ(Clip(10, 10, 0, 40), "none");
  EXPECT_EQ(Clip(10, 10, 30, -1), "none");
  EXPECT_EQ(Clip(10, 10, 30, 40, 0, 80), "none");
}

TEST(SpriteClip, PositionsAtTheEndsOfTheRangeDoNotOverflow) {
  EXPECT_EQ(Clip(INT_MAX, 10, 30, 40), "none");
  EXPECT_EQ(Clip(INT_MAX - 5, INT_MAX, INT_MAX, INT_MAX), "none");
  EXPECT_EQ(Clip(INT_MIN, 10, 30, 40), "none");
  EXPECT_EQ(Clip(INT_MIN, INT_MIN, INT_MAX, INT_MAX), "none");
  EXPECT_EQ(Clip(-50, -50, INT_MAX, INT_MAX), "50,50 -> 0,0 100x80");
}
