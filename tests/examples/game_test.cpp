// examples/game as built against the installed runtime, played as a user would: started in its
// own folder, given the focus, its creature moved by the arrow keys and found again in captures of
// the window, the chime rung with the space bar (the game shows a green light while SoundStatus
// says it plays), and ended by Escape with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/client_capture.h"
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

// The test display has no window manager and its focus follows the pointer: the pointer goes
// into the window, which is brought to the front, until Windows reports it in front.
bool GiveFocus(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  std::string move =
      "xdotool mousemove " + std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(200)) {
    RunUnixCommand(move);
    SetForegroundWindow(window);
    if (GetForegroundWindow() == window) return true;
  }
  return false;
}

// Holds a key down until the captures show what it is for, pressing it again now and then in case
// a press was lost, for at most timeoutMs; then lets it go. Whether the condition was seen.
template <typename Seen>
bool HoldKeyUntil(HWND window, const std::string& key, DWORD timeoutMs, Seen seen) {
  bool done = false;
  DWORD start = GetTickCount(), pressed = start;
  RunUnixCommand("xdotool keydown " + key);
  while (!done && GetTickCount() - start < timeoutMs) {
    done = seen(CaptureClientArea(window));
    if (!done && GetTickCount() - pressed > 4000) {
      GiveFocus(window);
      RunUnixCommand("xdotool keyup " + key + " keydown " + key);
      pressed = GetTickCount();
    }
  }
  RunUnixCommand("xdotool keyup " + key);
  return done;
}
}  // namespace

TEST(GameExample, ArrowsMoveTheCreatureSpaceRingsTheChimeAndEscapeEnds) {
  GameProcess game;
  ASSERT_TRUE(game.Start());
  HWND window = WaitForVisibleWindow(30000);
  ASSERT_NE(window, nullptr) << "no game window";
  ASSERT_TRUE(GiveFocus(window)) << "the game window does not get the focus";

  // The creature shows, in the middle, with the magenta around it left out.
  Box start;
  ClientPicture first;
  for (DWORD begin = GetTickCount(); !start.found() && GetTickCount() - begin < 15000; Sleep(100)) {
    first = CaptureClientArea(window);
    start = FindCreature(first);
  }
  ASSERT_TRUE(start.found()) << "no creature on the screen";
  EXPECT_NEAR((start.left + start.right) / 2, 320, 20);
  EXPECT_NEAR((start.top + start.bottom) / 2, 240, 20);
  EXPECT_EQ(CountColour(first, kKeyMagenta), 0) << "the transparent colour was drawn";
  EXPECT_EQ(first.at(kLightX, kLightY) == kLightGreen, false) << "the light is on before the chime";

  Box moved;
  EXPECT_TRUE(HoldKeyUntil(window, "Right", 30000, [&](const ClientPicture& shot) {
    moved = FindCreature(shot);
    return moved.found() && moved.left >= start.left + 40;
  })) << "Right did not move the creature";
  EXPECT_NEAR(moved.top, start.top, 1) << "Right moved it up or down";
  Box lowered;
  EXPECT_TRUE(HoldKeyUntil(window, "Down", 30000, [&](const ClientPicture& shot) {
    lowered = FindCreature(shot);
    return lowered.found() && lowered.top >= moved.top + 40;
  })) << "Down did not move the creature";

  // The light follows SoundStatus: on while the chime rings, off once StopSound ended it.
  EXPECT_TRUE(HoldKeyUntil(window, "space", 30000, [&](const ClientPicture& shot) {
    return shot.at(kLightX, kLightY) == kLightGreen;
  })) << "the chime did not play";
  bool off = false;
  for (DWORD begin = GetTickCount(); !off && GetTickCount() - begin < 15000; Sleep(100))
    off = CaptureClientArea(window).at(kLightX, kLightY) != kLightGreen;
  EXPECT_TRUE(off) << "the chime went on after the space bar was let go";

  long code = -1;
  for (int press = 0; press < 5 && code == -1; ++press) {
    GiveFocus(window);
    RunUnixCommand("xdotool keydown Escape sleep 0.3 keyup Escape");
    code = game.ExitCode(5000);
  }
  EXPECT_EQ(code, 0);
}
