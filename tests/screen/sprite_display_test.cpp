// Plain sprites drawn in 2D on a real windowed DirectDraw screen: whole, leaving out their
// transparent colour (the top left pixel or one the program sets), cut at every edge of the back
// buffer, and refused with a reason when the number, the mode or the screen does not allow it;
// and the reasons a sprite load gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites.h"
#include "support/bmp_images.h"
#include "support/error_text.h"
#include "support/png_writer.h"
#include "support/screen_fixture.h"

namespace {
// Surface pixels 0xRRGGBB; COLORREF values for the commands are 0xBBGGRR.
constexpr uint32_t kMagenta = 0xFF00FF, kYellow = 0xFFFF00, kGrey = 0x404040, kWhite = 0xFFFFFF;
constexpr uint32_t kFill = 0x204080;  // 0xBBGGRR: surface 0x804020
constexpr uint32_t kFillPixel = 0x804020;
constexpr int kW = 6, kH = 4;

// A magenta frame around a yellow body holding one black and one grey pixel.
uint32_t Creature(int x, int y) {
  if (x == 0 || y == 0 || x == kW - 1 || y == kH - 1) return kMagenta;
  if (x == 2 && y == 1) return 0;
  if (x == 3 && y == 2) return kGrey;
  return kYellow;
}

class SpriteDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
    if (gScreen.depth != 32) GTEST_SKIP() << "the checks read 32-bit pixels";
    auto file = MakeBmp(kW, kH, 24, Creature);
    sprite_ = LoadSpriteMemory(AnyID, file.data(), 0, file.size());
    ASSERT_NE(sprite_, 0) << RuntimeErrorText();
    FillScreen(kFill);
  }
  void TearDown() override { OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0); }

  // The back buffer's pixels in a rectangle, row by row, with expected(x, y) for each.
  template <typename Expected>
  void ExpectArea(int left, int top, int right, int bottom, Expected expected) {
    SurfacePixels pixels(gScreen.backBuffer);
    ASSERT_TRUE(pixels.ok());
    int wrong = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (pixels.at(x, y) != expected(x, y) && wrong++ < 5)
          ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << pixels.at(x, y) << " not " << expected(x, y);
  }
  // The sprite drawn with its top left at (sx, sy): what lands at (x, y), or the fill.
  static uint32_t Drawn(int x, int y, int sx, int sy, bool transparent, uint32_t key = kMagenta) {
    int u = x - sx, v = y - sy;
    if (u < 0 || v < 0 || u >= kW || v >= kH) return kFillPixel;
    uint32_t c = Creature(u, v);
    return transparent && c == key ? kFillPixel : c;
  }

  intptr_t sprite_ = 0;
};
}  // namespace

TEST_F(SpriteDisplay, DisplaySpriteDrawsEveryPixelWhereAsked) {
  EXPECT_EQ(DisplaySprite(sprite_, 10, 20), 1) << RuntimeErrorText();
  EXPECT_STREQ(RuntimeErrorText(), "");
  ExpectArea(0, 0, 30, 40, [](int x, int y) { return Drawn(x, y, 10, 20, false); });
}

TEST_F(SpriteDisplay, DisplayTransparentSpriteLeavesOutTheTopLeftColourOrTheOneSet) {
  EXPECT_EQ(DisplayTransparentSprite(sprite_, 10, 20), 1) << RuntimeErrorText();
  ExpectArea(0, 0, 30, 40, [](int x, int y) { return Drawn(x, y, 10, 20, true); });
  EXPECT_EQ(TransparentSpriteColor(sprite_, 0x00FFFF), 1);  // yellow as a COLORREF
  FillScreen(kFill);
  EXPECT_EQ(DisplayTransparentSprite(sprite_, 40, 50), 1);
  ExpectArea(30, 40, 60, 70, [](int x, int y) { return Drawn(x, y, 40, 50, true, kYellow); });
  EXPECT_EQ(DisplaySprite(sprite_, 100, 100), 1);
  ExpectArea(100, 100, 100 + kW, 100 + kH, [](int x, int y) { return Drawn(x, y, 100, 100, false); });
}

TEST_F(SpriteDisplay, APartlyHiddenSpriteIsCutAtEveryEdgeAndAHiddenOneDrawsNothing) {
  const int places[][2] = {{-3, 5}, {5, -2}, {317, 100}, {100, 238}, {-5, -3}, {316, 237}};
  for (const auto& at : places) {
    FillScreen(kFill);
    EXPECT_EQ(DisplayTransparentSprite(sprite_, at[0], at[1]), 1)
        << at[0] << "," << at[1] << ": " << RuntimeErrorText();
    int left = std::max(0, at[0] - 2), top = std::max(0, at[1] - 2);
    ExpectArea(left, top, std::min(320, at[0] + kW + 2), std::min(240, at[1] + kH + 2),
               [&](int x, int y) { return Drawn(x, y, at[0], at[1], true); });
  }
  FillScreen(kFill);
  const int hidden[][2] = {{-kW, 0},           {0, -kH},           {320, 0},         {0, 240},
                           {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MAX - 2, 10}};
  for (const auto& at : hidden) {
    EXPECT_EQ(DisplaySprite(sprite_, at[0], at[1]), 1) << at[0] << "," << at[1];
    EXPECT_EQ(DisplayTransparentSprite(sprite_, at[0], at[1]), 1);
  }
  ExpectArea(0, 0, 320, 240, [](int, int) { return kFillPixel; });
}

TEST_F(SpriteDisplay, SystemMemorySpritesAreDrawnAndOtherModesAreRefusedWithAReason) {
  auto file = MakeBmp(kW, kH, 24, Creature);
  intptr_t system = LoadSpriteMemory(AnyID, file.data(), kSpriteSystemMemory, file.size());
  ASSERT_NE(system, 0);
  EXPECT_EQ(DisplayTransparentSprite(system, 10, 20), 1) << RuntimeErrorText();
  ExpectArea(0, 0, 30, 40, [](int x, int y) { return Drawn(x, y, 10, 20, true); });

  auto indexed = MakeBmp(kW, kH, 8, [](int x, int) { return x; });
  for (int32_t mode : {kSpriteTexture, kSpriteAlpha, kSpriteTexture | kSpriteAlpha, kSpriteMemory}) {
    auto& bytes = mode == kSpriteMemory ? indexed : file;
    intptr_t other = LoadSpriteMemory(AnyID, bytes.data(), mode, bytes.size());
    ASSERT_NE(other, 0) << mode << ": " << RuntimeErrorText();
    EXPECT_EQ(DisplaySprite(other, 0, 0), 0) << mode;
    EXPECT_TRUE(ReasonHas("only modes 0 and 1")) << RuntimeErrorText();
    EXPECT_EQ(DisplayTransparentSprite(other, 0, 0), 0) << mode;
    EXPECT_EQ(TransparentSpriteColor(other, 0), 0) << mode;
    DeleteSprite(other);
  }
  for (ObjectNumber number : {ObjectNumber{77}, ObjectNumber{-3}, ObjectNumber{system} + 8}) {
    EXPECT_EQ(DisplaySprite(number, 0, 0), 0);
    EXPECT_TRUE(ReasonHas(("no sprite numbered " + std::to_string(static_cast<long long>(number))).c_str()))
        << RuntimeErrorText();
    EXPECT_EQ(TransparentSpriteColor(number, 0), 0);
  }
  ExpectArea(0, 0, 320, 240, [](int x, int y) { return Drawn(x, y, 10, 20, true); });
}

TEST_F(SpriteDisplay, WhileADrawingHoldsTheBackBufferASpriteWaitsForEndDrawing) {
  ASSERT_NE(BeginDrawing(ScreenTarget()), 0);
  EXPECT_EQ(DisplaySprite(sprite_, 10, 20), 0);
  EXPECT_TRUE(ReasonHas("EndDrawing")) << RuntimeErrorText();
  EndDrawing();
  EXPECT_EQ(DisplaySprite(sprite_, 10, 20), 1);
  EXPECT_STREQ(RuntimeErrorText(), "");
  // Drawn onto a sprite chosen as the output, but never onto itself.
  SelectOutput(sprite_);
  EXPECT_EQ(DisplaySprite(sprite_, 0, 0), 0);
  EXPECT_TRUE(ReasonHas("output")) << RuntimeErrorText();
  SelectOutput(-1);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(DisplaySprite(sprite_, 0, 0), 0) << "closing the screen freed its sprites";
}

TEST_F(SpriteDisplay, AFailedLoadSaysWhy) {
  EXPECT_EQ(LoadSpriteFile(AnyID, "Z:/tmp/hurz-no-such-sprite.bmp"), 0);
  EXPECT_TRUE(ReasonHas("sprites: \"Z:/tmp/hurz-no-such-sprite.bmp\" cannot be opened: no such file"))
      << RuntimeErrorText();
  const std::string text = "no picture";
  EXPECT_EQ(LoadSpriteMemory(AnyID, text.data(), 0, text.size()), 0);
  EXPECT_TRUE(ReasonHas("no image decoder reads it")) << RuntimeErrorText();
  std::string huge = PngClaimingSize(40000, 10, 2);
  EXPECT_EQ(LoadSpriteMemory(AnyID, huge.data(), 0, huge.size()), 0);
  EXPECT_TRUE(ReasonHas("larger than a sprite can be")) << RuntimeErrorText();
  ResetImageDecoders();
  PngDescription d;
  d.width = 3;
  d.height = 2;
  std::string png = WritePng(d, {std::string(9, '\x7F'), std::string(9, '\x10')});
  EXPECT_EQ(LoadSpriteMemory(AnyID, png.data(), 0, png.size()), 0);
  EXPECT_TRUE(ReasonHas("RegisterPngDecoder")) << RuntimeErrorText();
  RegisterPngDecoder();
  EXPECT_NE(LoadSpriteMemory(AnyID, png.data(), 0, png.size()), 0);
  EXPECT_STREQ(RuntimeErrorText(), "") << "cleared by the load that succeeded";
  EXPECT_EQ(LoadSpriteMemory(-9, png.data(), 0, png.size()), 0);
  EXPECT_TRUE(ReasonHas("cannot hold a sprite")) << RuntimeErrorText();
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(LoadSpriteMemory(AnyID, png.data(), 0, png.size()), 0);
  EXPECT_TRUE(ReasonHas("no screen is open")) << RuntimeErrorText();
}
