// Geometry of turned 3D sprites: corner offsets and display points at the defining angles.
#include "app/rotated_sprite.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kTolerance = 1e-3f;

void ExpectCorners(const RotatedCorners& r, const float (&expected)[4][2]) {
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(r.x[k], expected[k][0], kTolerance) << "corner " << k + 1;
    EXPECT_NEAR(r.y[k], expected[k][1], kTolerance) << "corner " << k + 1;
  }
}

TEST(RotatedSprite, UprightAt270Degrees) {
  RotatedCorners r = ComputeRotatedCorners(100, 100, 50, 50, 270.0f, 0, 0);
  EXPECT_EQ(r.displayX, 125);
  EXPECT_EQ(r.displayY, 125);
  ExpectCorners(r, {{-25, -25}, {25, -25}, {25, 25}, {-25, 25}});
  // A box that is not square stays upright with its own width and height.
  r = ComputeRotatedCorners(0, 0, 40, 20, 270.0f, 0, 0);
  ExpectCorners(r, {{-20, -10}, {20, -10}, {20, 10}, {-20, 10}});
}

TEST(RotatedSprite, AtZeroDegreesTheImageLiesAQuarterTurnClockwise) {
  RotatedCorners r = ComputeRotatedCorners(0, 0, 40, 20, 0.0f, 0, 0);
  EXPECT_EQ(r.displayX, 20);
  EXPECT_EQ(r.displayY, 10);
  ExpectCorners(r, {{10, -20}, {10, 20}, {-10, 20}, {-10, -20}});
}

TEST(RotatedSprite, GrowingAngleTurnsClockwiseOnTheCircle) {
  // 360 degrees on from upright is upright again; 90 on from upright is the quarter turn.
  RotatedCorners upright = ComputeRotatedCorners(0, 0, 40, 20, 630.0f, 0, 0);
  ExpectCorners(upright, {{-20, -10}, {20, -10}, {20, 10}, {-20, 10}});
  RotatedCorners r = ComputeRotatedCorners(0, 0, 30, 70, 123.0f, 0, 0);
  float radius = std::sqrt(30.0f * 30.0f + 70.0f * 70.0f) / 2.0f;
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(std::hypot(r.x[k], r.y[k]), radius, kTolerance);
}

TEST(RotatedSprite, CentreUsesIntegerHalving) {
  RotatedCorners r = ComputeRotatedCorners(0, 0, 21, 21, 270.0f, 0, 0);
  EXPECT_EQ(r.displayX, 10);
  EXPECT_EQ(r.displayY, 10);
  r = ComputeRotatedCorners(-5, 0, -21, 20, 270.0f, 0, 0);
  EXPECT_EQ(r.displayX, -15) << "division truncates toward zero";
}

TEST(RotatedSprite, OffsetMovesTheDisplayPointWithTheTurn) {
  // The offset's y component comes first, then its x component.
  RotatedCorners r = ComputeRotatedCorners(100, 100, 50, 50, 0.0f, 0, 10);
  EXPECT_EQ(r.displayX, 115);
  EXPECT_EQ(r.displayY, 125);
  r = ComputeRotatedCorners(100, 100, 50, 50, 90.0f, 0, 10);
  EXPECT_EQ(r.displayX, 125);
  EXPECT_EQ(r.displayY, 115);
  r = ComputeRotatedCorners(100, 100, 50, 50, 0.0f, 10, 0);
  EXPECT_EQ(r.displayX, 125);
  EXPECT_EQ(r.displayY, 115);
}

TEST(RotatedSprite, FlatAndEmptyBoxesGiveFiniteCorners) {
  RotatedCorners flat = ComputeRotatedCorners(0, 0, 40, 0, 270.0f, 0, 0);
  ExpectCorners(flat, {{-20, 0}, {20, 0}, {20, 0}, {-20, 0}});
  RotatedCorners empty = ComputeRotatedCorners(7, 9, 0, 0, 33.0f, 0, 0);
  ExpectCorners(empty, {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
  EXPECT_EQ(empty.displayX, 7);
  EXPECT_EQ(empty.displayY, 9);
}

}  // namespace
