// The drawing primitives' coordinate arithmetic at the 32-bit limits (natively under the
// undefined-behaviour sanitizer too).
#include "runtime/drawing/draw_coordinates.h"

#include <gtest/gtest.h>

#include <climits>

TEST(DrawCoordinates, FarCornersAreHeldInsideGdisCoordinateSpace) {
  EXPECT_EQ(OffsetCoordinate(10, 5), 15);
  EXPECT_EQ(OffsetCoordinate(10, -15), -5);
  EXPECT_EQ(OffsetCoordinate(kLargestCoordinate - 1, 1), kLargestCoordinate);
  EXPECT_EQ(OffsetCoordinate(kLargestCoordinate, 1), kLargestCoordinate);
  EXPECT_EQ(OffsetCoordinate(kSmallestCoordinate, -1), kSmallestCoordinate);
  EXPECT_EQ(OffsetCoordinate(INT_MAX - 10, 100), kLargestCoordinate);
  EXPECT_EQ(OffsetCoordinate(INT_MAX, INT_MAX), kLargestCoordinate);
  EXPECT_EQ(OffsetCoordinate(INT_MIN + 10, -100), kSmallestCoordinate);
  EXPECT_EQ(OffsetCoordinate(INT_MIN, INT_MIN), kSmallestCoordinate);
  // A circle's left edge for the most negative radius: x minus INT_MIN.
  EXPECT_EQ(OffsetCoordinate(INT_MIN, -int64_t{INT_MIN}), 0);
  EXPECT_EQ(OffsetCoordinate(INT_MAX, -int64_t{INT_MAX}), 0);
}
