// Sprites on a real windowed DirectDraw screen: BMP images from memory and from a file, the mode
// bits, the black colour key seen through a blit onto the back buffer, deletion, the save and
// restore of pixels around a lost display, images that do not fit their bytes, and PNG images
// through the decoder registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/registry_internal.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites_internal.h"
#include "support/bmp_images.h"
#include "support/png_writer.h"
#include "support/screen_fixture.h"

namespace {
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;  // 0xRRGGBB as in surfaces

// A 5 by 3 picture (odd width, so 24-bit rows carry padding): red top row, green middle row with
// a black pixel in its centre, blue bottom row.
uint32_t Stripes(int x, int y) {
  if (y == 0) return kRed;
  if (y == 1) return x == 2 ? 0 : kGreen;
  return kBlue;
}

SpriteRecord* Record(intptr_t number) { return static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number)); }

intptr_t Load(const std::vector<uint8_t>& file, int32_t mode, ObjectNumber number = AnyID) {
  return LoadSpriteMemory(number, file.data(), mode, file.size());
}

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
    if (gScreen.depth != 32) GTEST_SKIP() << "the surface checks read 32-bit pixels";
  }
  void TearDown() override { OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0); }

  void ExpectStripes(IDirectDrawSurface7* surface) {
    SurfacePixels pixels(surface);
    ASSERT_TRUE(pixels.ok());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(pixels.raw(x, y), Stripes(x, y)) << x << "," << y;
  }
};
}  // namespace

TEST_F(Sprites, TwentyFourBitBmpFromMemoryIsWrittenTopRowFirst) {
  auto file = MakeBmp(5, 3, 24, Stripes);
  intptr_t sprite = Load(file, 0);
  ASSERT_NE(sprite, 0);
  EXPECT_EQ(SpriteExists(sprite), sprite);
  SpriteRecord* record = Record(sprite);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 5);
  EXPECT_EQ(record->height, 3);
  EXPECT_EQ(record->currentWidth, 5);
  EXPECT_EQ(record->currentHeight, 3);
  EXPECT_EQ(record->depth, 24);
  EXPECT_EQ(record->backup, nullptr);
  ExpectStripes(record->surface);  // fourth byte 0 without alpha
  EXPECT_EQ(SpriteWidth(sprite), 5);
  EXPECT_EQ(SpriteHeight(sprite), 3);
  DeleteSprite(sprite);
  EXPECT_EQ(SpriteWidth(sprite), 0);
  EXPECT_EQ(SpriteHeight(sprite), 0);
  EXPECT_EQ(SpriteWidth(12345), 0);
}

TEST_F(Sprites, ThirtyTwoBitBmpIntoAStaticNumberGivesTheSurface) {
  auto file = MakeBmp(5, 3, 32, [](int x, int y) { return 0x80000000u | Stripes(x, y); });
  intptr_t surface = Load(file, 0, 7);
  ASSERT_NE(surface, 0);
  ASSERT_NE(Record(7), nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(Record(7)->surface), surface);
  EXPECT_NE(SpriteExists(7), 0);
  ExpectStripes(Record(7)->surface);  // the source's alpha is dropped without value 8
}

TEST_F(Sprites, BlackIsTransparentWhenBlitted) {
  intptr_t sprite = Load(MakeBmp(5, 3, 24, Stripes), 0);
  ASSERT_NE(sprite, 0);
  DDCOLORKEY key{1, 1};
  ASSERT_EQ(Record(sprite)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
  EXPECT_EQ(key.dwColorSpaceHighValue, 0u);
  FillScreen(0x00FFFF);  // yellow, COLORREF
  RECT to{10, 20, 15, 23};
  ASSERT_EQ(gScreen.backBuffer->Blt(&to, Record(sprite)->surface, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  SurfacePixels pixels(gScreen.backBuffer);
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(10, 20), kRed);
  EXPECT_EQ(pixels.at(14, 22), kBlue);
  EXPECT_EQ(pixels.at(11, 21), kGreen);
  EXPECT_EQ(pixels.at(12, 21), 0xFFFF00u);  // the black pixel shows the fill
  EXPECT_EQ(pixels.at(15, 21), 0xFFFF00u);
}

TEST_F(Sprites, ModeBitsChooseTheSurface) {
  auto opaque = MakeBmp(5, 3, 24, Stripes);
  auto translucent = MakeBmp(5, 3, 32, [](int x, int y) { return (uint32_t(40 * x) << 24) | Stripes(x, y); });
  DDSCAPS2 caps{};
  DDCOLORKEY key{};

  intptr_t system = Load(opaque, kSpriteSystemMemory);
  ASSERT_NE(system, 0);
  Record(system)->surface->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_OFFSCREENPLAIN);

  intptr_t texture = Load(opaque, kSpriteTexture);
  ASSERT_NE(texture, 0);
  Record(texture)->surface->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_TEXTURE);
  EXPECT_EQ(Record(texture)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);

  // Texture with alpha, from a 32-bit image: the ARGB surface keeps the alpha and has no key.
  intptr_t alpha = Load(translucent, kSpriteTexture | kSpriteAlpha);
  ASSERT_NE(alpha, 0);
  EXPECT_EQ(Record(alpha)->mode, 12);
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  ASSERT_EQ(Record(alpha)->surface->GetPixelFormat(&format), DD_OK);
  EXPECT_TRUE(format.dwFlags & DDPF_ALPHAPIXELS);
  EXPECT_EQ(format.dwRGBAlphaBitMask, 0xFF000000u);
  EXPECT_EQ(format.dwRBitMask, 0x00FF0000u);
  EXPECT_EQ(Record(alpha)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
  {
    SurfacePixels pixels(Record(alpha)->surface);
    ASSERT_TRUE(pixels.ok());
    EXPECT_EQ(pixels.raw(3, 0), (120u << 24) | kRed);
    EXPECT_EQ(pixels.raw(4, 2), (160u << 24) | kBlue);
  }

  // Alpha asked for a 24-bit image: ARGB surface, alpha 0, black as its key.
  intptr_t flat = Load(opaque, kSpriteAlpha);
  ASSERT_NE(flat, 0);
  ASSERT_EQ(Record(flat)->surface->GetPixelFormat(&format), DD_OK);
  EXPECT_EQ(format.dwRGBAlphaBitMask, 0xFF000000u);
  EXPECT_EQ(Record(flat)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ExpectStripes(Record(flat)->surface);
}

TEST_F(Sprites, MemorySpritesHoldAnEightBitImagesIndicesTopRowFirst) {
  auto indexed = MakeBmp(3, 2, 8, [](int x, int y) { return uint32_t(10 * y + x + 1); });
  intptr_t sprite = Load(indexed, kSpriteMemory);
  ASSERT_NE(sprite, 0);
  SpriteRecord* record = Record(sprite);
  EXPECT_EQ(record->depth, kMemorySpriteDepth);
  EXPECT_EQ(std::vector<uint8_t>(record->pixels, record->pixels + 6), (std::vector<uint8_t>{1, 2, 3, 11, 12, 13}));
  SaveSpritePixels();  // memory sprites have nothing to save
  EXPECT_EQ(record->backup, nullptr);
  DeleteSprite(sprite);
  EXPECT_EQ(SpriteExists(sprite), 0);
  // Anything but a plain 8-bit BMP, or value 2 with others, is refused; so is a palette PNG,
  // whose decoded rows are colours, not indices.
  EXPECT_EQ(Load(MakeBmp(3, 2, 24, Stripes), kSpriteMemory), 0);
  ResetImageDecoders();
  RegisterPngDecoder();
  std::string png = std::string(HURZ_TEST_PNGSUITE_DIR) + "/basn3p08.png";
  EXPECT_EQ(LoadSpriteFile(AnyID, png.c_str(), kSpriteMemory), 0);
  EXPECT_EQ(LoadSpriteFile(4, png.c_str(), kSpriteMemory), 0);
  EXPECT_EQ(Load(indexed, kSpriteMemory | kSpriteTexture), 0);
  EXPECT_EQ(Load(indexed, kSpriteMemory | kSpriteSystemMemory, 4), 0);
  EXPECT_EQ(SpriteExists(4), 0);
}

TEST_F(Sprites, DeletingAndReusingNumbers) {
  auto file = MakeBmp(5, 3, 24, Stripes);
  ASSERT_NE(Load(file, 0, 3), 0);
  IDirectDrawSurface7* first = Record(3)->surface;
  first->AddRef();
  ASSERT_NE(Load(file, 0, 3), 0);  // the old sprite is freed first
  EXPECT_NE(Record(3)->surface, nullptr);
  EXPECT_EQ(first->Release(), 0u);
  DeleteSprite(3);
  EXPECT_EQ(SpriteExists(3), 0);
  DeleteSprite(3);  // nothing left to delete
  DeleteSprite(12345);
  intptr_t dynamic = Load(file, 0);
  ASSERT_NE(dynamic, 0);
  DeleteSprite(dynamic);
  EXPECT_EQ(SpriteExists(dynamic), 0);
}

TEST_F(Sprites, DeletingTheSelectedOutputSelectsTheBackBufferAgain) {
  intptr_t sprite = Load(MakeBmp(5, 3, 24, Stripes), 0);
  ASSERT_NE(sprite, 0);
  SelectOutput(sprite);
  EXPECT_EQ(gScreen.width, 5);
  DeleteSprite(sprite);
  EXPECT_EQ(gScreen.output, gScreen.backBuffer);
  EXPECT_EQ(gScreen.width, 320);
  FillScreen(0);
}

TEST_F(Sprites, SavedPixelsComeBackAfterTheSurfaceWasOverwritten) {
  intptr_t plain = Load(MakeBmp(5, 3, 24, Stripes), kSpriteTexture);
  auto translucent = MakeBmp(5, 3, 32, [](int x, int y) { return (uint32_t(40 * x + 1) << 24) | Stripes(x, y); });
  intptr_t alpha = Load(translucent, kSpriteTexture | kSpriteAlpha);
  ASSERT_NE(plain, 0);
  ASSERT_NE(alpha, 0);
  SaveSpritePixels();
  void* backup = Record(plain)->backup;
  ASSERT_NE(backup, nullptr);
  ASSERT_NE(Record(alpha)->backup, nullptr);
  int32_t pitch;
  memcpy(&pitch, backup, 4);
  EXPECT_GE(pitch, 5 * 4);
  SaveSpritePixels();  // a second save leaves the first backup alone
  EXPECT_EQ(Record(plain)->backup, backup);

  DDBLTFX fill{};
  fill.dwSize = sizeof fill;
  fill.dwFillColor = 0x12345678;
  for (intptr_t s : {plain, alpha})
    ASSERT_EQ(Record(s)->surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill), DD_OK);
  RestoreSpritePixels();
  EXPECT_EQ(Record(plain)->backup, nullptr);
  EXPECT_EQ(Record(alpha)->backup, nullptr);
  ExpectStripes(Record(plain)->surface);
  SurfacePixels pixels(Record(alpha)->surface);
  ASSERT_TRUE(pixels.ok());
  for (int x = 0; x < 5; ++x) EXPECT_EQ(pixels.raw(x, 1), (uint32_t(40 * x + 1) << 24) | Stripes(x, 1));
}

TEST_F(Sprites, TheScreenReachesTheSpriteLibraryThroughItsHooks) {
  intptr_t sprite = Load(MakeBmp(5, 3, 24, Stripes), 0);
  ASSERT_NE(sprite, 0);
  EXPECT_EQ(gScreen.deleteSprite, &DeleteSprite);
  EXPECT_EQ(gScreen.saveSpritePixels, &SaveSpritePixels);
  EXPECT_EQ(gScreen.restoreSpritePixels, &RestoreSpritePixels);
  gScreen.suspendRoutine();  // what a lost display runs first
  EXPECT_NE(Record(sprite)->backup, nullptr);
  // Closing the screen frees its sprites, the backup with them.
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(SpriteExists(sprite), 0);
}

TEST_F(Sprites, ImagesThatDoNotFitTheirBytesMakeNoSprite) {
  const auto good = MakeBmp(5, 3, 24, Stripes);
  ObjectNode* dynamicBefore = gScreen.sprites->dynamicHead;
  auto refused = [&](std::vector<uint8_t> file, const char* what) {
    EXPECT_EQ(Load(file, 0), 0) << what;
    EXPECT_EQ(Load(file, 0, 9), 0) << what;
    EXPECT_EQ(SpriteExists(9), 0) << what;
    EXPECT_EQ(gScreen.sprites->dynamicHead, dynamicBefore) << what << ": a dynamic record was left behind";
  };
  refused(std::vector<uint8_t>(good.begin(), good.end() - 1), "truncated");
  auto f = good;
  PatchU32(f, 10, 0x10000);
  refused(f, "pixel offset past the end");
  f = good;
  PatchU32(f, 18, 0);
  refused(f, "width 0");
  f = good;
  PatchU32(f, 22, 0xFFFFFFFF);
  refused(f, "height -1");
  f = good;
  PatchU32(f, 22, 0x7FFFFFFF);
  refused(f, "height past every limit");
  refused(std::vector<uint8_t>{'B', 'M', 0, 0}, "headers cut off");
  refused(std::vector<uint8_t>{'n', 'o', 'p', 'e', 0, 0, 0, 0}, "no decoder for it");
  // A palette image on a true-colour screen needs its colour table expanded; a broken one is refused.
  auto indexed = MakeBmp(3, 2, 8, [](int, int) { return 1u; });
  PatchU32(indexed, 10, static_cast<uint32_t>(indexed.size()) + 4);
  refused(indexed, "8-bit pixel offset past the end");
  EXPECT_EQ(LoadSpriteMemory(AnyID, nullptr, 0), 0);
  // Loaded into a number in use, a bad image frees the old sprite and leaves none.
  ASSERT_NE(Load(good, 0, 9), 0);
  EXPECT_EQ(Load(std::vector<uint8_t>(good.begin(), good.end() - 1), 0, 9), 0);
  EXPECT_EQ(SpriteExists(9), 0);
}

TEST_F(Sprites, FilesAreReadWhole) {
  char folder[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "spr", 0, path);
  auto file = MakeBmp(5, 3, 24, Stripes);
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(handle);
  intptr_t sprite = LoadSpriteFile(AnyID, path, kSpriteTexture);
  DeleteFileA(path);
  ASSERT_NE(sprite, 0);
  ExpectStripes(Record(sprite)->surface);
  EXPECT_EQ(LoadSpriteFile(AnyID, "Z:\\no\\such\\sprite.bmp"), 0);
  EXPECT_EQ(LoadSpriteFile(5, "Z:\\no\\such\\sprite.bmp"), 0);
  EXPECT_EQ(SpriteExists(5), 0);
  EXPECT_EQ(LoadSpriteFile(AnyID, nullptr), 0);
}

// A 32-bit RGBA PNG: as a texture with alpha (the demo's mode 12) it keeps its alpha and has no
// colour key; as a plain texture its fourth bytes are 0 and black is its key.
TEST_F(Sprites, RgbaPngKeepsItsAlphaOnlyWithTheAlphaValue) {
  ResetImageDecoders();
  RegisterPngDecoder();
  PngDescription d;
  d.width = 3;
  d.height = 2;
  d.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  std::vector<std::string> rows = {std::string("\xFF\x00\x00\x80\x00\x00\x00\xFF\x00\x00\xFF\x00", 12),
                                   std::string("\x10\x20\x30\x01\x00\xFF\x00\xFF\xFF\xFF\xFF\x40", 12)};
  std::string png = WritePng(d, rows);
  ASSERT_FALSE(png.empty());
  const uint32_t colours[2][3] = {{kRed, 0, kBlue}, {0x102030, kGreen, 0xFFFFFF}};
  const uint32_t alphas[2][3] = {{0x80, 0xFF, 0}, {0x01, 0xFF, 0x40}};
  DDCOLORKEY key{};

  intptr_t alpha = LoadSpriteMemory(AnyID, png.data(), kSpriteTexture | kSpriteAlpha, png.size());
  ASSERT_NE(alpha, 0);
  EXPECT_EQ(Record(alpha)->depth, 32);
  EXPECT_EQ(Record(alpha)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
  {
    SurfacePixels pixels(Record(alpha)->surface);
    ASSERT_TRUE(pixels.ok());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(pixels.raw(x, y), alphas[y][x] << 24 | colours[y][x]) << x << "," << y;
  }

  intptr_t plain = LoadSpriteMemory(AnyID, png.data(), kSpriteTexture, png.size());
  ASSERT_NE(plain, 0);
  ASSERT_EQ(Record(plain)->surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
  EXPECT_EQ(key.dwColorSpaceHighValue, 0u);
  SurfacePixels pixels(Record(plain)->surface);
  ASSERT_TRUE(pixels.ok());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pixels.raw(x, y), colours[y][x]) << x << "," << y;
}

// The demo's path: a PNG file read whole and decoded from memory; a missing one makes nothing.
TEST_F(Sprites, PngFilesLoadAndMissingOnesCreateNoSprite) {
  ResetImageDecoders();
  RegisterPngDecoder();
  std::string path = std::string(HURZ_TEST_PNGSUITE_DIR) + "/basn6a08.png";
  intptr_t sprite = LoadSpriteFile(AnyID, path.c_str(), kSpriteTexture | kSpriteAlpha);
  ASSERT_NE(sprite, 0);
  EXPECT_EQ(Record(sprite)->width, 32);
  EXPECT_EQ(Record(sprite)->height, 32);
  ObjectNode* dynamicBefore = gScreen.sprites->dynamicHead;
  EXPECT_EQ(LoadSpriteFile(AnyID, "Z:\\no\\such\\bird.png", 12), 0);
  EXPECT_EQ(gScreen.sprites->dynamicHead, dynamicBefore);
  // Loaded again into its number, a PNG frees the sprite there first.
  ASSERT_NE(LoadSpriteFile(8, path.c_str(), 12), 0);
  IDirectDrawSurface7* first = Record(8)->surface;
  first->AddRef();
  ASSERT_NE(LoadSpriteFile(8, path.c_str(), 12), 0);
  EXPECT_EQ(first->Release(), 0u);
}

TEST(SpritesWithoutAScreen, NeedAnOpenScreen) {
  ASSERT_TRUE(EnsureScreenStarted());
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  auto file = MakeBmp(5, 3, 24, Stripes);
  EXPECT_EQ(LoadSpriteMemory(AnyID, file.data(), 0, file.size()), 0);
  EXPECT_EQ(LoadSpriteMemory(2, file.data(), 0, file.size()), 0);
  EXPECT_EQ(SpriteExists(2), 0);
}
