// The demonstration's own flow: the scene it builds and the small rules of its frames.
#include <gtest/gtest.h>

#include <string>

#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app/object_list.h"
#include "app_setup.h"
#include "runtime/core/heaps.h"
#include "runtime/core/random.h"
#include "runtime/core/registry.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/network/network.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites3d.h"
#include "runtime/sound/sound.h"
#include "runtime/window/window.h"

namespace {

TEST(DemoScene, BirdsAreNamedInOrderAndTakeTheGeneratorsValuesXYWidthHeight) {
  EnsureAppStarted();
  SeedRandom(12345);
  BuildScene();
  SeedRandom(12345);

  ASSERT_NE(gProgram.grid, nullptr);
  ASSERT_NE(gProgram.player, nullptr);
  EXPECT_STREQ(gProgram.player->name, "miau");
  EXPECT_EQ(gProgram.player->x, 0.0f);
  EXPECT_EQ(gProgram.player->width, 50);
  EXPECT_EQ(gProgram.birdIndex, kBirdCount);

  RewindList(&gProgram.birds);
  int index = 0;
  while (ListElement* element = StepList(&gProgram.birds)) {
    const Entity* bird = *static_cast<Entity**>(ElementData(element));
    ASSERT_NE(bird, nullptr);
    EXPECT_EQ(std::string(bird->name), "miau " + std::to_string(index));
    EXPECT_EQ(bird->x, static_cast<float>(RandomUpTo(760)) + 20.0f);
    EXPECT_EQ(bird->y, static_cast<float>(RandomUpTo(560)) + 20.0f);
    EXPECT_EQ(bird->width, RandomUpTo(30) + 20);
    EXPECT_EQ(bird->height, RandomUpTo(30) + 20);
    EXPECT_GE(bird->x, 20.0f);
    EXPECT_LE(bird->x, 780.0f);
    EXPECT_GE(bird->height, 20);
    EXPECT_LE(bird->height, 50);
    ++index;
  }
  EXPECT_EQ(index, kBirdCount);
  EXPECT_EQ(gProgram.currentBird, *static_cast<Entity**>(ElementData(gProgram.birds.info->last)));

  // Every entity is in the grid, the player among them: it shares its corner cells with the
  // birds placed there and with nobody else.
  EXPECT_EQ(GridValidate(gProgram.grid), 1);
  ObjectList* neighbours = QueryCandidates(gProgram.grid, gProgram.player);
  ASSERT_NE(neighbours, nullptr);
  int expected = 0;
  RewindList(&gProgram.birds);
  while (ListElement* element = StepList(&gProgram.birds)) {
    const Entity* bird = *static_cast<Entity**>(ElementData(element));
    EntityBounds b;
    GetEntityBounds(bird, &b);
    expected += b.left < 64 && b.top < 64;  // overlaps one of the player's four cells
  }
  EXPECT_EQ(ObjListCount(neighbours), expected);
  ObjListClear(neighbours);
  FreeObject(neighbours);
}

TEST(DemoScene, ABirdWithoutItsListElementIsNotMade) {
  EnsureAppStarted();
  LinkedList birds = gProgram.birds;
  gProgram.birds = LinkedList{};  // no list: no element can be made
  BuildScene();
  ASSERT_NE(gProgram.grid, nullptr);
  EXPECT_EQ(ObjListCount(gProgram.grid->entities), 1) << "the player only";
  EXPECT_EQ(gProgram.currentBird, nullptr);
  EXPECT_EQ(GridValidate(gProgram.grid), 1);
  gProgram.birds = birds;
}

TEST(DemoFrame, MarkerColourPrefersTheLeftButtonThenTheRight) {
  EXPECT_EQ(MarkerColour(1, 0), 0x2010C0u);
  EXPECT_EQ(MarkerColour(-32768, 1), 0x2010C0u);  // GetAsyncKeyState's raw value counts as held
  EXPECT_EQ(MarkerColour(0, 1), 0x10C020u);
  EXPECT_EQ(MarkerColour(0, 0), 0x808080u);
}

TEST(DemoFrame, PlayerTurnsFiftyOverElapsedDegreesAndAFrameReadAsNoTimeCountsAsAPacedFrame) {
  EXPECT_FLOAT_EQ(PlayerTurnStep(20), 2.5f);
  EXPECT_FLOAT_EQ(PlayerTurnStep(50), 1.0f);
  EXPECT_FLOAT_EQ(PlayerTurnStep(17), 50.0f / 17);
  EXPECT_FLOAT_EQ(PlayerTurnStep(0), 50.0f / 17) << "about 3 degrees, not 50 at once";
  EXPECT_FLOAT_EQ(PlayerTurnStep(-3), 50.0f / 17) << "never backwards";
}

TEST(DemoFrame, PacingStretchesShortFramesToSeventeenMilliseconds) {
  EXPECT_EQ(FramePacingDelay(0), 17u);
  EXPECT_EQ(FramePacingDelay(5), 12u);
  EXPECT_EQ(FramePacingDelay(15), 2u);
  EXPECT_EQ(FramePacingDelay(16), 0u);
  EXPECT_EQ(FramePacingDelay(40), 0u);
  // The first frame measures from tick 0, a whole uptime: no delay, even past 2^31 ms.
  EXPECT_EQ(FramePacingDelay(0x90000000u), 0u);
}

// Shutdown is not start-up reversed: the windows go first, the screen and object storage last.
TEST(DemoLifecycle, LibrariesStartAndEndInTheProgramsOrders) {
  const LibraryRoutine start[kLibraryStartCount] = {InitStringTemp,     InitObjectNodes,    InitDrawing,
                                                    ResetImageDecoders, InitMessageBoxes,   InitLoadedModules,
                                                    InitMemoryBlocks,   InitControlLibrary, InitWindowLibrary};
  const LibraryRoutine end[kLibraryEndCount] = {EndWindowLibrary, End3DSprites,    EndSound,         EndNetwork,
                                                EndMouse,         EndMemoryBlocks, EndLoadedModules, EndKeyboard,
                                                EndScreen,        EndObjectNodes};
  for (int i = 0; i < kLibraryStartCount; ++i) EXPECT_EQ(kLibraryStartOrder[i], start[i]) << "start routine " << i;
  for (int i = 0; i < kLibraryEndCount; ++i) EXPECT_EQ(kLibraryEndOrder[i], end[i]) << "end routine " << i;
}

}  // namespace
