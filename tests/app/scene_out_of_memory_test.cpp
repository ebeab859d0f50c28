// The demo's scene built on a windowed screen, with its sprites, while allocations fail at points
// spread over the building (one failing, or every one from there on), then frames of the demo's own
// frame callback, still failing: nothing crashes, every frame draws the grid if it was made, and
// freeing what was built leaves every heap as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app_setup.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/random.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d.h"
#include "support/screen_fixture.h"

namespace {

constexpr int kSampledPoints = 12;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00;  // 0xRRGGBB as in surfaces

std::string HeapBlocks() {
  std::string out;
  for (HeapHandle heap : {gCore.runtimeHeap, gCore.stringHeap, gCore.objectNodeHeap, gCore.blockHeap})
    out += std::to_string(PlatformHeapBlockCount(heap)) + " ";
  return out;
}

class SceneOutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureAppStarted();
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_EQ(OpenWindowedScreen(TestWindow(800, 600), 0, 0, 800, 600, 0, 0, 0), 1);
    if (gScreen.depth != 32) GTEST_SKIP() << "the checks read 32-bit pixels";
    ASSERT_EQ(Init3DSprites(), 1);
    RegisterPngDecoder();
    // The scene reads its bird from the working directory, as the demo does.
    GetCurrentDirectoryA(sizeof directory_, directory_);
    ASSERT_TRUE(SetCurrentDirectoryA(HURZ_TEST_BIN_DIR));
  }
  void TearDown() override {
    PlatformFailAllocations(0, false);
    FreeScene();
    SetCurrentDirectoryA(directory_);
    End3DSprites();
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  }

  // The scene and three frames with the player held at the mouse; the allocations given fail.
  // Returns the number of allocations asked for.
  uint64_t BuildAndShow(uint64_t failing, bool onward) {
    SeedRandom(12345);
    PlatformFailAllocations(failing, onward);
    BuildScene();
    const int32_t mouse[2] = {600, 400};
    for (int frame = 0; frame < 3; ++frame) {
      FillScreen(0);
      EXPECT_EQ(FrameCallback(16, mouse, 1, 0), 0);
    }
    uint64_t allocations = PlatformAllocationCount();
    PlatformFailAllocations(0, false);
    return allocations;
  }

  // Cell corners drawn in the cells' colours (birds drawn over some of them).
  int GridCorners() {
    SurfacePixels pixels(gScreen.backBuffer);
    EXPECT_TRUE(pixels.ok());
    int corners = 0;
    for (int j = 0; pixels.ok() && j < kGridRows; ++j)
      for (int i = 0; i < kGridColumns; ++i) {
        uint32_t c = pixels.at(i * kCellSize, j * kCellSize);
        corners += c == kRed || c == kGreen;
      }
    return corners;
  }

  static void FreeEntity(Entity* entity) {
    if (!entity) return;
    if (entity->sprite3D) Free3DSprite(entity->sprite3D);
    if (entity->sprite) DeleteSprite(entity->sprite);
    FreeString(entity->name);
    FreeBlock(entity);
  }

  void FreeScene() {
    FreeGrid(gProgram.grid);
    ReleaseSpareBlocks();
    FreeEntity(gProgram.player);
    RewindList(&gProgram.birds);
    while (ListElement* element = StepList(&gProgram.birds)) FreeEntity(*static_cast<Entity**>(ElementData(element)));
    EmptyLinkedList(&gProgram.birds);
    gProgram.grid = nullptr;
    gProgram.player = gProgram.currentBird = nullptr;
  }

  char directory_[MAX_PATH] = {};
};

TEST_F(SceneOutOfMemory, FramesDrawWhateverWasBuiltAndNothingIsLost) {
  std::string blocks = HeapBlocks();
  uint64_t allocations = BuildAndShow(0, false);
  ASSERT_NE(gProgram.player, nullptr);
  ASSERT_NE(gProgram.player->sprite3D, 0) << "squeaker_bird.png was not loaded " << gProgram.player->sprite << " " << LoadSpriteFile(AnyID, "squeaker_bird.png", 12) << " " << LoadSpriteFile(AnyID, "squeaker_bird.png", 0) << " " << GetFileAttributesA("squeaker_bird.png");
  EXPECT_GE(GridCorners(), kGridColumns * kGridRows * 8 / 10);
  FreeScene();
  EXPECT_EQ(HeapBlocks(), blocks);

  ASSERT_GT(allocations, 500u);  // list blocks come from chunks: far fewer points than blocks
  printf("[ sweep    ] demo scene with sprites and 3 frames: %llu allocation points, %d of them failing\n",
         (unsigned long long)allocations, kSampledPoints);
  for (int k = 0; k < kSampledPoints; ++k) {
    uint64_t failing = 1 + k * (allocations - 1) / (kSampledPoints - 1);
    for (bool onward : {false, true}) {
      SCOPED_TRACE("allocation " + std::to_string(failing) + (onward ? " and on" : "") + " failing of " +
                   std::to_string(allocations));
      BuildAndShow(failing, onward);
      if (gProgram.grid) {
        EXPECT_EQ(GridValidate(gProgram.grid), 1);
        EXPECT_GE(GridCorners(), kGridColumns * kGridRows * 8 / 10);
      }
      FreeScene();
      EXPECT_EQ(HeapBlocks(), blocks);
    }
  }
}

}  // namespace
