// examples/game as built against the installed runtime, played as a user would: started in its
// own folder, given the focus, its creature moved by the arrow keys and found again in captures of
// the window, the chime rung with the space bar (the game shows a green light while SoundStatus
// says it plays), and ended by Escape with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/client_capture.h"
#include "support/foreground.h"
#include "support/program_process.h"
#include "support/unix_command.h"

namespace {
// As captured: COLORREF values, 0x00BBGGRR.
constexpr uint32_t kCreatureYellow = 0x00FFFF, kKeyMagenta = 0xFF00FF, kLightGreen = 0x00DC00;
constexpr int kLightX = 640 - 24, kLightY = 21;

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool found() const { return right >= 0; }
};

// The creature's yellow body in a capture.
Box FindCreature(const ClientPicture& shot) {
  Box box;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      if (shot.at(x, y) == kCreatureYellow) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

int CountColour(const ClientPicture& shot, uint32_t colour) {
  int n = 0;
  for (uint32_t pixel : shot.pixels) n += pixel == colour;
  return n;
}

// The game, whose keys a failed test left held are let go before it ends.
struct Game : ProgramProcess {
  ~Game() { RunUnixCommand("xdotool keyup Right Down space Escape"); }
};

}  // namespace

TEST(GameExample, ArrowsMoveTheCreatureSpaceRingsTheChimeAndEscapeEnds) {
  Game game;
  ASSERT_TRUE(game.Start(HURZ_TEST_EXAMPLES_DIR "/game/game.exe"));
  HWND window = game.WaitForWindow("WindowClass_0", "hurz game");
  ASSERT_NE(window, nullptr) << "no game window";
  ASSERT_TRUE(BringToFront(window)) << "the game window does not come to the front";

  // The creature shows, in the middle, with the magenta around it left out.
  Box start;
  ClientPicture first;
  WaitUntil(
      [&] {
        first = CaptureClientArea(window);
        start = FindCreature(first);
        return start.found();
      },
      15000);
  ASSERT_TRUE(start.found()) << "no creature on the screen";
  EXPECT_NEAR((start.left + start.right) / 2, 320, 20);
  EXPECT_NEAR((start.top + start.bottom) / 2, 240, 20);
  EXPECT_EQ(CountColour(first, kKeyMagenta), 0) << "the transparent colour was drawn";
  EXPECT_NE(first.at(kLightX, kLightY), kLightGreen) << "the light is on before the chime";

  Box moved;
  EXPECT_TRUE(PressKeyUntil(window, "Right", [&] {
    moved = FindCreature(CaptureClientArea(window));
    return moved.found() && moved.left >= start.left + 40;
  })) << "Right did not move the creature";
  EXPECT_NEAR(moved.top, start.top, 1) << "Right moved it up or down";
  Box lowered;
  EXPECT_TRUE(PressKeyUntil(window, "Down", [&] {
    lowered = FindCreature(CaptureClientArea(window));
    return lowered.found() && lowered.top >= moved.top + 40;
  })) << "Down did not move the creature";

  // The light follows SoundStatus: on while the chime rings, off once StopSound ended it.
  EXPECT_TRUE(PressKeyUntil(window, "space", [&] {
    return CaptureClientArea(window).at(kLightX, kLightY) == kLightGreen;
  })) << "the chime did not play";
  EXPECT_TRUE(WaitUntil([&] { return CaptureClientArea(window).at(kLightX, kLightY) != kLightGreen; }, 15000))
      << "the chime went on after the space bar was let go";

  EXPECT_TRUE(PressKeyUntil(window, "Escape", [&] { return game.Exited(); })) << "Escape did not end it";
  EXPECT_EQ(game.WaitForExit(10000), 0);
}
