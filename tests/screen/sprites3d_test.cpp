// 3D sprites drawn with Direct3D 7 on a windowed screen's back buffer and read back through a
// lock: placement, shaping, per-draw alpha, black and alpha-channel transparency, the colour-key
// render state, and 3D sprites whose sprite went away.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d_internal.h"
#include "support/bmp_images.h"
#include "support/error_text.h"
#include "support/screen_fixture.h"

namespace {
constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF;  // 0xRRGGBB as in surfaces
constexpr uint32_t kFillColourRef = 0xFF0000;                             // blue as a COLORREF

// 32 by 32, red with a black 8 by 8 block at (8, 8).
uint32_t RedWithBlackHole(int x, int y) { return (x >= 8 && x < 16 && y >= 8 && y < 16) ? 0 : kRed; }

bool Near(uint32_t value, int expected, int tolerance = 12) { return std::abs(int(value) - expected) <= tolerance; }

class Sprites3D : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
    if (gScreen.depth != 32) GTEST_SKIP() << "the checks read 32-bit pixels";
    ASSERT_EQ(Init3DSprites(), 1);
  }
  void TearDown() override {
    End3DSprites();
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  }

  intptr_t LoadTexture(int width, int height, int bits, uint32_t (*colour)(int, int), int32_t mode = kSpriteTexture) {
    auto file = MakeBmp(width, height, bits, colour);
    return LoadSpriteMemory(AnyID, file.data(), mode, file.size());
  }

  // Fills the back buffer blue, draws inside one scene, and leaves the pixels to read.
  template <typename Draw>
  void DrawFrame(Draw draw) {
    FillScreen(kFillColourRef);
    ASSERT_EQ(Begin3DScene(), 1);
    draw();
    End3DScene();
  }

  uint32_t Pixel(int x, int y) {
    SurfacePixels pixels(gScreen.backBuffer);
    EXPECT_TRUE(pixels.ok());
    return pixels.ok() ? pixels.at(x, y) : 0xDEADBEEF;
  }
};
}  // namespace

TEST_F(Sprites3D, CreatedFromATextureSpriteWithItsSizeAsCorners) {
  intptr_t sprite = LoadTexture(32, 32, 24, RedWithBlackHole);
  ASSERT_NE(sprite, 0);
  intptr_t number = Create3DSprite(AnyID, sprite);
  ASSERT_NE(number, 0);
  EXPECT_EQ(Is3DSprite(number), number);
  auto* record = reinterpret_cast<Sprite3DRecord*>(number);
  const float corners[4][4] = {{0, 0, 0, 0}, {32, 0, 1, 0}, {0, 32, 0, 1}, {32, 32, 1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(record->vertices[i].sx, corners[i][0]) << i;
    EXPECT_EQ(record->vertices[i].sy, corners[i][1]) << i;
    EXPECT_EQ(record->vertices[i].tu, corners[i][2]) << i;
    EXPECT_EQ(record->vertices[i].tv, corners[i][3]) << i;
    EXPECT_EQ(record->vertices[i].rhw, 1.0f);
    EXPECT_EQ(record->vertices[i].color, 0xFFFFFFFFu);
  }
  EXPECT_EQ(record->width, 32);
  EXPECT_EQ(record->mode, kSpriteTexture);
  EXPECT_EQ(record->texture, static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, sprite))->surface);
  // Static numbers give the record's address too.
  intptr_t fixed = Create3DSprite(2, sprite);
  EXPECT_EQ(fixed, Is3DSprite(2));
  EXPECT_NE(fixed, 0);
  Free3DSprite(2);
  EXPECT_EQ(Is3DSprite(2), 0);
}

TEST_F(Sprites3D, OnlyTextureSpritesMake3DSprites) {
  intptr_t plain = LoadTexture(8, 8, 24, RedWithBlackHole, 0);
  ASSERT_NE(plain, 0);
  ObjectNode* dynamicBefore = g3DSprites.sprites3D->dynamicHead;
  EXPECT_EQ(Create3DSprite(AnyID, plain), 0);
  EXPECT_TRUE(ReasonHas("needs a texture sprite (mode 4)")) << RuntimeErrorText();
  EXPECT_EQ(Create3DSprite(AnyID, 4321), 0);
  EXPECT_STREQ(RuntimeErrorText(), "3D sprites: Create3DSprite: no sprite numbered 4321");
  EXPECT_EQ(Create3DSprite(5, plain), 0);
  EXPECT_EQ(Is3DSprite(5), 0);
  EXPECT_EQ(g3DSprites.sprites3D->dynamicHead, dynamicBefore);
  DrawFrame([] { Draw3DSprite(0, 10, 10); });  // no 3D sprite: nothing drawn
  EXPECT_EQ(Pixel(10, 10), kBlue);
}

TEST_F(Sprites3D, DrawnAtItsPlaceWithBlackRemoved) {
  intptr_t number = Create3DSprite(AnyID, LoadTexture(32, 32, 24, RedWithBlackHole));
  ASSERT_NE(number, 0);
  DrawFrame([&] { Draw3DSprite(number, 100, 50); });
  EXPECT_EQ(Pixel(100, 50), kRed);
  EXPECT_EQ(Pixel(131, 81), kRed);
  EXPECT_EQ(Pixel(99, 50), kBlue);
  EXPECT_EQ(Pixel(100, 49), kBlue);
  EXPECT_EQ(Pixel(132, 81), kBlue);
  EXPECT_EQ(Pixel(131, 82), kBlue);
  EXPECT_EQ(Pixel(111, 61), kBlue) << "black texels are keyed out";
  // The stored corners are not moved by a display.
  EXPECT_EQ(reinterpret_cast<Sprite3DRecord*>(number)->vertices[3].sx, 32.0f);
}

// Odd sizes, and every texel unlike its neighbours: a texel drawn twice or skipped shows.
uint32_t DistinctTexels(int x, int y) { return (uint32_t(x * 4) << 16) | (uint32_t(y * 5) << 8) | 0x40; }

TEST_F(Sprites3D, DrawnAtItsSizeShowsEveryTexelOnce) {
  intptr_t number = Create3DSprite(AnyID, LoadTexture(61, 47, 24, DistinctTexels));
  ASSERT_NE(number, 0);
  DrawFrame([&] { Draw3DSprite(number, 10, 20); });
  SurfacePixels pixels(gScreen.backBuffer);
  ASSERT_TRUE(pixels.ok());
  int wrong = 0;
  for (int y = 0; y < 47; ++y)
    for (int x = 0; x < 61; ++x) wrong += pixels.at(10 + x, 20 + y) != DistinctTexels(x, y);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(pixels.at(9, 20), kBlue);
  EXPECT_EQ(pixels.at(71, 66), kBlue);
}

TEST_F(Sprites3D, ShapedCornersGoClockwiseFromTheTopLeft) {
  intptr_t number = Create3DSprite(AnyID, LoadTexture(32, 32, 24, RedWithBlackHole));
  ASSERT_NE(number, 0);
  Shape3DSprite(number, -16, -16, 16, -16, 16, 16, -16, 16);
  auto* record = reinterpret_cast<Sprite3DRecord*>(number);
  EXPECT_EQ(record->vertices[2].sx, -16.0f);  // bottom left, the fourth argument pair
  EXPECT_EQ(record->vertices[2].sy, 16.0f);
  EXPECT_EQ(record->vertices[3].sx, 16.0f);
  EXPECT_EQ(record->vertices[2].tv, 1.0f);
  DrawFrame([&] { Draw3DSprite(number, 100, 100); });
  EXPECT_EQ(Pixel(84, 84), kRed);
  EXPECT_EQ(Pixel(115, 115), kRed);
  EXPECT_EQ(Pixel(83, 100), kBlue);
  EXPECT_EQ(Pixel(116, 100), kBlue);
  EXPECT_EQ(Pixel(95, 95), kBlue);  // the black block, now at (92, 92) to (99, 99)
  EXPECT_EQ(Pixel(102, 95), kRed);
  Shape3DSprite(9999, 0, 0, 0, 0, 0, 0, 0, 0);  // no such 3D sprite: ignored
}

TEST_F(Sprites3D, AlphaBlendsWithTheBackBufferAndOnlyItsLowByteCounts) {
  intptr_t number = Create3DSprite(AnyID, LoadTexture(32, 32, 24, RedWithBlackHole));
  ASSERT_NE(number, 0);
  DrawFrame([&] {
    Draw3DSprite(number, 0, 0, 128);
    Draw3DSprite(number, 40, 0, 0);
    Draw3DSprite(number, 80, 0, 256);
    Draw3DSprite(number, 120, 0, -1);
  });
  uint32_t half = Pixel(2, 2);
  EXPECT_TRUE(Near(half >> 16, 128) && Near(half & 0xFF, 127) && Near((half >> 8) & 0xFF, 0)) << std::hex << half;
  EXPECT_EQ(Pixel(42, 2), kBlue);
  EXPECT_EQ(Pixel(82, 2), kBlue);
  EXPECT_EQ(Pixel(122, 2), kRed);
}

// Per-texel alpha: the left half opaque white with a black stripe, the right half transparent.
uint32_t HalfTransparent(int x, int y) {
  if (x >= 16) return 0x00FFFFFF;
  return 0xFF000000u | (y < 4 ? 0 : kWhite);
}

TEST_F(Sprites3D, AlphaSpritesUseTheirAlphaChannelInsteadOfTheKey) {
  intptr_t sprite = LoadTexture(32, 32, 32, HalfTransparent, kSpriteTexture | kSpriteAlpha);
  ASSERT_NE(sprite, 0);
  intptr_t number = Create3DSprite(AnyID, sprite);
  ASSERT_NE(number, 0);
  EXPECT_EQ(reinterpret_cast<Sprite3DRecord*>(number)->mode, 12);
  DrawFrame([&] {
    Draw3DSprite(number, 10, 10);
    Draw3DSprite(number, 60, 10, 128);
  });
  EXPECT_EQ(Pixel(12, 20), kWhite);
  EXPECT_EQ(Pixel(12, 11), 0u) << "black with alpha 255 is drawn";
  EXPECT_EQ(Pixel(30, 20), kBlue);
  uint32_t half = Pixel(62, 20);  // texel alpha 255 times 128 / 255
  EXPECT_TRUE(Near(half >> 16, 128) && Near(half & 0xFF, 255)) << std::hex << half;
  EXPECT_EQ(Pixel(80, 20), kBlue);
}

TEST_F(Sprites3D, AlphaAskedForAnImageWithoutAlphaIsDrawnKeyed) {
  intptr_t number = Create3DSprite(AnyID, LoadTexture(32, 32, 24, RedWithBlackHole, kSpriteTexture | kSpriteAlpha));
  ASSERT_NE(number, 0);
  EXPECT_EQ(reinterpret_cast<Sprite3DRecord*>(number)->mode, kSpriteTexture);
  DrawFrame([&] { Draw3DSprite(number, 0, 0); });
  EXPECT_EQ(Pixel(2, 2), kRed);
  EXPECT_EQ(Pixel(10, 10), kBlue);
}

TEST_F(Sprites3D, TheColourKeyStateChangesOnlyWithTheKindOfSprite) {
  intptr_t keyed = Create3DSprite(AnyID, LoadTexture(8, 8, 24, RedWithBlackHole));
  intptr_t alpha = Create3DSprite(AnyID, LoadTexture(8, 8, 32, HalfTransparent, kSpriteTexture | kSpriteAlpha));
  ASSERT_NE(keyed, 0);
  ASSERT_NE(alpha, 0);
  DrawFrame([&] {
    EXPECT_EQ(g3DSprites.colourKeyState, 1);
    int32_t before = g3DSprites.colourKeySwitches;
    Draw3DSprite(keyed, 0, 0);
    Draw3DSprite(keyed, 10, 0);
    EXPECT_EQ(g3DSprites.colourKeySwitches, before);
    Draw3DSprite(alpha, 20, 0);
    EXPECT_EQ(g3DSprites.colourKeyState, 0);
    DWORD state = 1;
    gScreen.device3D->GetRenderState(D3DRENDERSTATE_COLORKEYENABLE, &state);
    EXPECT_EQ(state, 0u);
    Draw3DSprite(alpha, 30, 0);
    EXPECT_EQ(g3DSprites.colourKeySwitches, before + 1);
    Draw3DSprite(keyed, 40, 0);
    Draw3DSprite(alpha, 50, 0);
    EXPECT_EQ(g3DSprites.colourKeySwitches, before + 3);
  });
}

TEST_F(Sprites3D, FreeingTheSpriteFreesItsDrawings) {
  intptr_t sprite = LoadTexture(32, 32, 24, RedWithBlackHole);
  intptr_t number = Create3DSprite(AnyID, sprite);
  ASSERT_NE(Create3DSprite(6, sprite), 0);
  ASSERT_NE(number, 0);
  DeleteSprite(sprite);
  EXPECT_EQ(Is3DSprite(number), 0);
  EXPECT_EQ(Is3DSprite(6), 0);
  DrawFrame([&] {
    Draw3DSprite(number, 0, 0);
    Draw3DSprite(6, 0, 0);
  });
  EXPECT_EQ(Pixel(2, 2), kBlue);
  Free3DSprite(number);  // already gone: nothing happens
}

TEST_F(Sprites3D, ClosingTheScreenFreesThemAndANewScreenGetsANewDevice) {
  ASSERT_NE(Create3DSprite(11, LoadTexture(32, 32, 24, RedWithBlackHole)), 0);
  DrawFrame([&] { Draw3DSprite(11, 0, 0); });
  ASSERT_NE(gScreen.device3D, nullptr);
  ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
  EXPECT_EQ(gScreen.device3D, nullptr);
  EXPECT_EQ(Is3DSprite(11), 0);
  intptr_t again = Create3DSprite(AnyID, LoadTexture(32, 32, 24, RedWithBlackHole));
  ASSERT_NE(again, 0);
  DrawFrame([&] {
    Draw3DSprite(11, 0, 0);  // the old number: nothing
    Draw3DSprite(again, 200, 100);
  });
  EXPECT_EQ(Pixel(2, 2), kBlue);
  EXPECT_EQ(Pixel(202, 102), kRed);
}

TEST_F(Sprites3D, ScenesNeedAnOpenScreen) {
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Begin3DScene(), 0);
  End3DScene();
  Draw3DSprite(0, 0, 0);
}
