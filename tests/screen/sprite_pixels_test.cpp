// The sprite pixel table row by row, for every screen depth and layout, without a screen of that
// depth; memory-sprite rows.
#include "runtime/screen/sprite_pixels.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/screen/screen_pixels.h"

namespace {
// Source pixels blue, green, red(, alpha): pure red, pure green, white, black.
const uint8_t kRow24[] = {0, 0, 255, 0, 255, 0, 255, 255, 255, 0, 0, 0};
const uint8_t kRow32[] = {0, 0, 255, 0x80, 0, 255, 0, 0x40, 255, 255, 255, 0xFF, 0, 0, 0, 0x10};
// 5-5-5: pure red, pure green, white, black.
const uint16_t kRow16[] = {0x7C00, 0x03E0, 0x7FFF, 0x0000};

std::vector<uint8_t> Convert(const void* source, int bits, int depth, int format, bool alpha, int width = 4) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * 4 + 4, 0xEE);
  EXPECT_TRUE(ConvertSpriteRow(static_cast<const uint8_t*>(source), bits, width, depth, format, alpha, out.data()));
  out.resize(static_cast<size_t>(width) * DestinationPixelBytes(depth) + 1);
  EXPECT_EQ(out.back(), 0xEE) << "wrote past the row";
  out.pop_back();
  return out;
}

std::vector<uint16_t> Words(const std::vector<uint8_t>& bytes) {
  std::vector<uint16_t> words(bytes.size() / 2);
  memcpy(words.data(), bytes.data(), words.size() * 2);
  return words;
}

using Bytes = std::vector<uint8_t>;
using Words16 = std::vector<uint16_t>;
}  // namespace

TEST(SpriteRowPitch, RowsArePaddedToFourBytes) {
  EXPECT_EQ(SourceRowPitch(5, 24), 16);  // 15 plus width AND 3
  EXPECT_EQ(SourceRowPitch(5, 32), 20);
  EXPECT_EQ(SourceRowPitch(5, 16), 12);  // 2 bytes when the width is odd
  EXPECT_EQ(SourceRowPitch(4, 16), 8);
  EXPECT_EQ(SourceRowPitch(5, 8), 8);
  EXPECT_EQ(SourceRowPitch(9, 1), 4);
  for (int w = 1; w < 9; ++w) EXPECT_EQ(SourceRowPitch(w, 24), 3 * w + (w & 3));
}

TEST(SpritePixelTable, EightBitScreenTakesIndicesUnchanged) {
  const uint8_t indices[] = {7, 0, 255, 42};
  EXPECT_EQ(Convert(indices, 8, 8, kFormatPalette8, false), (Bytes{7, 0, 255, 42}));
}

TEST(SpritePixelTable, SixteenBitSourceOnSixteenBitScreens) {
  EXPECT_EQ(Words(Convert(kRow16, 16, 16, kFormat555, false)), (Words16{0x7C00, 0x03E0, 0x7FFF, 0}));
  // Widened to 5-6-5: green's five bits at the top of its six.
  EXPECT_EQ(Words(Convert(kRow16, 16, 16, kFormat565, false)), (Words16{0xF800, 0x07C0, 0xFFDF, 0}));
}

TEST(SpritePixelTable, TrueColourSourceOnSixteenBitScreens) {
  for (int bits : {24, 32}) {
    const void* row = bits == 24 ? static_cast<const void*>(kRow24) : kRow32;
    EXPECT_EQ(Words(Convert(row, bits, 16, kFormat555, false)), (Words16{0x7C00, 0x03E0, 0x7FFF, 0})) << bits;
    EXPECT_EQ(Words(Convert(row, bits, 16, kFormat565, true)), (Words16{0xF800, 0x07E0, 0xFFFF, 0})) << bits;
  }
  const uint8_t mixed[] = {0x18, 0x44, 0x9C};  // blue 24, green 68, red 156
  EXPECT_EQ(Words(Convert(mixed, 24, 16, kFormat565, false, 1)), (Words16{(19 << 11) + (17 << 5) + 3}));
  EXPECT_EQ(Words(Convert(mixed, 24, 16, kFormat555, false, 1)), (Words16{(19 << 10) + (8 << 5) + 3}));
}

TEST(SpritePixelTable, SixteenBitSourceOnTrueColourScreens) {
  EXPECT_EQ(Convert(kRow16, 16, 24, kFormatBGR24, false), (Bytes{0, 0, 248, 0, 248, 0, 248, 248, 248, 0, 0, 0}));
  EXPECT_EQ(Convert(kRow16, 16, 24, kFormatRGB24, false), (Bytes{248, 0, 0, 0, 248, 0, 248, 248, 248, 0, 0, 0}));
  // The fourth byte is 0 even when alpha is asked for: a 16-bit source has none.
  EXPECT_EQ(Convert(kRow16, 16, 32, kFormatBGR32, true),
            (Bytes{0, 0, 248, 0, 0, 248, 0, 0, 248, 248, 248, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Convert(kRow16, 16, 32, kFormatRGB32, false),
            (Bytes{248, 0, 0, 0, 0, 248, 0, 0, 248, 248, 248, 0, 0, 0, 0, 0}));
}

TEST(SpritePixelTable, TrueColourSourceOnTrueColourScreens) {
  const Bytes bgr24{0, 0, 255, 0, 255, 0, 255, 255, 255, 0, 0, 0};
  const Bytes rgb24{255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0, 0};
  EXPECT_EQ(Convert(kRow24, 24, 24, kFormatBGR24, false), bgr24);
  EXPECT_EQ(Convert(kRow32, 32, 24, kFormatBGR24, true), bgr24);
  EXPECT_EQ(Convert(kRow24, 24, 24, kFormatRGB24, false), rgb24);
  EXPECT_EQ(Convert(kRow24, 24, 32, kFormatBGR32, true),
            (Bytes{0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Convert(kRow32, 32, 32, kFormatBGR32, false),
            (Bytes{0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
  // Alpha in force: the source's fourth byte is kept.
  EXPECT_EQ(Convert(kRow32, 32, 32, kFormatBGR32, true),
            (Bytes{0, 0, 255, 0x80, 0, 255, 0, 0x40, 255, 255, 255, 0xFF, 0, 0, 0, 0x10}));
  EXPECT_EQ(Convert(kRow32, 32, 32, kFormatRGB32, false),
            (Bytes{255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
}

TEST(SpritePixelTable, PairsWithoutARowWriteNothing) {
  uint8_t out[16];
  memset(out, 0xEE, sizeof out);
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 24, 4, 8, kFormatPalette8, false, out));  // true colour on 8 bits
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 8, 4, 16, kFormat565, false, out));       // indices on 16 bits
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 24, 4, 15, kFormat555, false, out));      // depth 15 has no row
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 24, 4, 0, 0, false, out));
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 4, 4, 24, kFormatBGR24, false, out));
  EXPECT_FALSE(ConvertSpriteRow(kRow24, 24, 0, 24, kFormatBGR24, false, out));
  for (uint8_t b : out) EXPECT_EQ(b, 0xEE);
  EXPECT_EQ(DestinationPixelBytes(15), 0);
  EXPECT_TRUE(CanConvertRow(16, 32));
  EXPECT_FALSE(CanConvertRow(8, 32));
}

// A colour key must equal the pixel the conversion writes, on every layout, each byte in its place;
// the alpha byte of a 32-bit source never reaches it.
TEST(SpritePixelTable, SurfacePixelValueIsThePixelAsWritten) {
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 32, kFormatBGR32), 0x00FF0000u);  // red
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 32, kFormatRGB32), 0x000000FFu);
  EXPECT_EQ(SurfacePixelValue(kRow32, 32, 32, kFormatBGR32), 0x00FF0000u);
  EXPECT_EQ(SurfacePixelValue(kRow24 + 3, 24, 24, kFormatBGR24), 0x0000FF00u);  // green
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 24, kFormatRGB24), 0x000000FFu);
  EXPECT_EQ(SurfacePixelValue(kRow24 + 6, 24, 24, kFormatRGB24), 0x00FFFFFFu);  // white
  EXPECT_EQ(SurfacePixelValue(kRow24 + 6, 24, 16, kFormat555), 0x7FFFu);
  EXPECT_EQ(SurfacePixelValue(kRow24 + 6, 24, 16, kFormat565), 0xFFFFu);
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 16, kFormat565), 0xF800u);
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 16, kFormat555), 0x7C00u);
  EXPECT_EQ(SurfacePixelValue(reinterpret_cast<const uint8_t*>(kRow16 + 1), 16, 16, kFormat565),
            0x07C0u);  // 5-5-5 green widened
  const uint8_t index = 37;
  EXPECT_EQ(SurfacePixelValue(&index, 8, 8, kFormatPalette8), 37u);
  EXPECT_EQ(SurfacePixelValue(kRow24, 24, 8, kFormatPalette8), 0u);  // no row for the pair
}

TEST(MemorySpriteRows, BottomUpPaddedRowsBecomeTopFirstUnpadded) {
  const uint8_t rows[] = {1, 2, 3, 0xAA, 4, 5, 6, 0xBB};  // bottom row first, padded to 4
  uint8_t block[7];
  memset(block, 0xEE, sizeof block);
  CopyMemorySpriteRows(rows, 3, 2, block);
  EXPECT_EQ(Bytes(block, block + 7), (Bytes{4, 5, 6, 1, 2, 3, 0xEE}));
}
