// Pixel layouts and colour conversion as pure functions, and the frame pacing arithmetic with
// invented counter readings.
#include "runtime/screen/screen_pixels.h"

#include <gtest/gtest.h>

#include "runtime/screen/screen_pacing.h"

TEST(PixelFormat, DepthAndMasksPickTheCode) {
  EXPECT_EQ(PixelFormatFromMasks(32, 0xFF, 0xFF00), kFormatRGB32);
  EXPECT_EQ(PixelFormatFromMasks(32, 0xFF0000, 0xFF00), kFormatBGR32);
  EXPECT_EQ(PixelFormatFromMasks(24, 0xFF, 0xFF00), kFormatRGB24);
  EXPECT_EQ(PixelFormatFromMasks(24, 0xFF0000, 0xFF00), kFormatBGR24);
  EXPECT_EQ(PixelFormatFromMasks(16, 0xF800, 0x07E0), kFormat565);
  EXPECT_EQ(PixelFormatFromMasks(16, 0x7C00, 0x03E0), kFormat555);
  EXPECT_EQ(PixelFormatFromMasks(8, 0, 0), kFormatPalette8);
  EXPECT_EQ(PixelFormatFromMasks(15, 0x7C00, 0x03E0), kFormatPalette8);
}

TEST(ConvertColour, SixteenBitLayoutsFollowTheDepthNotTheFormat) {
  for (int format = 1; format <= 7; ++format) {
    EXPECT_EQ(ConvertColourFor(16, format, 255, 0, 0), 0xF800u) << format;
    EXPECT_EQ(ConvertColourFor(16, format, 0, 255, 0), 0x07E0u) << format;
    EXPECT_EQ(ConvertColourFor(16, format, 0, 0, 255), 0x001Fu) << format;
    EXPECT_EQ(ConvertColourFor(15, format, 255, 0, 0), 0x7C00u) << format;
    EXPECT_EQ(ConvertColourFor(15, format, 0, 255, 0), 0x03E0u) << format;
    EXPECT_EQ(ConvertColourFor(15, format, 0, 0, 255), 0x001Fu) << format;
  }
  EXPECT_EQ(ConvertColourFor(16, kFormat555, 0x40, 0x40, 0x40), (8u << 11) | (16u << 5) | 8u);
  EXPECT_EQ(ConvertColourFor(15, kFormat565, 0x40, 0x40, 0x40), (8u << 10) | (8u << 5) | 8u);
}

TEST(ConvertColour, TrueColourByteOrderFollowsTheFormat) {
  for (int depth : {24, 32}) {
    for (int format = 1; format <= 7; ++format) {
      bool redFirst = format == kFormatRGB24 || format == kFormatRGB32;
      EXPECT_EQ(ConvertColourFor(depth, format, 0xFF, 0, 0), redFirst ? 0x0000FFu : 0xFF0000u) << depth << format;
      EXPECT_EQ(ConvertColourFor(depth, format, 0, 0xFF, 0), 0x00FF00u);
      EXPECT_EQ(ConvertColourFor(depth, format, 0x12, 0x34, 0x56), redFirst ? 0x563412u : 0x123456u);
      EXPECT_EQ(ConvertColourFor(depth, format, 0x40, 0x40, 0x40), 0x404040u);
    }
  }
}

TEST(ConvertColour, OtherDepthsGiveZero) {
  for (int depth : {0, 1, 8, 17, 31, 64}) EXPECT_EQ(ConvertColourFor(depth, kFormatBGR32, 255, 255, 255), 0u);
}

TEST(FramePacing, PeriodIsFrequencyOverRatePlusOne) {
  EXPECT_EQ(FramePeriodTicks(10'000'000, 60), 10'000'000 / 61);
  EXPECT_EQ(FramePeriodTicks(3'579'545, 0), 3'579'545);
  // Only the low 32 bits of the 64-bit quotient are kept.
  EXPECT_EQ(FramePeriodTicks(0x1'0000'0005LL, 0), 5);
}

TEST(FramePacing, FirstWaitLastsAWholePeriod) {
  int32_t mark = 0;  // as left by a new frame limit
  EXPECT_FALSE(FrameWaitStep(1000, &mark, 100));
  EXPECT_EQ(mark, 1000);
  EXPECT_FALSE(FrameWaitStep(1100, &mark, 100));  // exactly one period is not enough
  EXPECT_TRUE(FrameWaitStep(1101, &mark, 100));
  EXPECT_EQ(mark, 1101);
}

TEST(FramePacing, MarkIsWhereTheLastWaitEndedNotTheDeadline) {
  int32_t mark = 500;
  EXPECT_TRUE(FrameWaitStep(5000, &mark, 100));  // a long frame is presented at once
  EXPECT_EQ(mark, 5000);
  EXPECT_FALSE(FrameWaitStep(5050, &mark, 100));
  EXPECT_TRUE(FrameWaitStep(5101, &mark, 100));
}

TEST(FramePacing, SignChangeRestartsTheMark) {
  int32_t mark = INT32_MAX - 10;
  EXPECT_FALSE(FrameWaitStep(INT32_MIN + 5, &mark, 100));  // the low 32 bits wrapped
  EXPECT_EQ(mark, INT32_MIN + 5);
  EXPECT_TRUE(FrameWaitStep(INT32_MIN + 106, &mark, 100));
  mark = -50;
  EXPECT_FALSE(FrameWaitStep(20, &mark, 100));
  EXPECT_EQ(mark, 20);
  mark = -50;
  EXPECT_FALSE(FrameWaitStep(0, &mark, 100));  // zero counts as no sign change
  EXPECT_EQ(mark, -50);
}
