// examples/game as built against the installed runtime, played as a user would: started in its
// own folder, given the focus, its creature moved by the arrow keys and found again in captures of
// the window, the chime rung with the space bar (the game shows a green light while SoundStatus
// says it plays), and ended by Escape with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/client_capture.h"
#include "support/foreground.h"
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

class GameProcess {
 public:
  bool Start() {
    std::string dir = HURZ_TEST_EXAMPLES_DIR "/game";
    std::string line = "\"" + dir + "/game.exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &process_);
  }
  ~GameProcess() {
    if (!process_.hProcess) return;
    RunUnixCommand("xdotool keyup Right Down space Escape");
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  // The exit code once the game ended within the timeout, else -1.
  long ExitCode(DWORD timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
};

HWND WaitForVisibleWindow(DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
    HWND window = FindWindowA("WindowClass_0", "hurz game");
    if (window && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

}  // namespace

TEST(GameExample, ArrowsMoveTheCreatureSpaceRingsTheChimeAndEscapeEnds) {
  GameProcess game;
  ASSERT_TRUE(game.Start());
  HWND window = WaitForVisibleWindow(30000);
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

  EXPECT_TRUE(PressKeyUntil(window, "Escape", [&] { return game.ExitCode(0) != -1; })) << "Escape did not end it";
  EXPECT_EQ(game.ExitCode(10000), 0);
}
