// The demonstration as a user meets it: hurz.exe started as its own process, its window found,
// its client area captured from the X display and its grid read from it, and the pointer and keys
// driven with xdotool, each press made with the window in front and repeated when the demo did not
// see it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/client_capture.h"
#include "support/foreground.h"
#include "support/program_process.h"
#include "support/unix_command.h"

// The grid of the demo's window, 25 by 18 cells of 32 pixels, each outlined red when something is
// in it and green when empty (COLORREF values, as a capture gives them).
constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00;
constexpr int kColumns = 25, kRows = 18, kCell = 32;

// A cell's outline colour: the more frequent of pure red and pure green along its four edges
// (birds drawn over an edge blend into it), or 0 when neither shows.
inline uint32_t CellColour(const ClientPicture& picture, int column, int row) {
  int red = 0, green = 0;
  auto count = [&](int x, int y) {
    uint32_t c = picture.at(x, y);
    red += c == kRed;
    green += c == kGreen;
  };
  int left = column * kCell, top = row * kCell;
  for (int i = 0; i < kCell; ++i) {
    count(left + i, top);
    count(left + i, top + kCell - 1);
    count(left, top + i);
    count(left + kCell - 1, top + i);
  }
  if (red + green < 8) return 0;
  return red > green ? kRed : kGreen;
}

struct GridReading {
  uint32_t cells[kRows][kColumns];
  int classified = 0;
};

inline GridReading ReadGrid(const ClientPicture& picture) {
  GridReading grid{};
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column) {
      grid.cells[row][column] = CellColour(picture, column, row);
      grid.classified += grid.cells[row][column] != 0;
    }
  return grid;
}

// A picture of a drawn frame: the window at its size with nearly every cell outlined (starting
// Direct3D in a new process takes a while; a busy display may show the window black for a moment).
inline bool FrameDrawn(const ClientPicture& picture) {
  return picture.width == 800 && ReadGrid(picture).classified >= 400;
}

class DemoProcess {
 public:
  // Starts hurz.exe from programDir (the build's bin folder when empty) in the given working
  // folder (the program's folder when empty).
  // A demo of an earlier test can still show on the display for a moment after its process ended:
  // its window would hide this one's, so the start waits until none is seen, and fails when one
  // stays.
  bool Start(const std::string& workingDir = "", const std::string& programDir = "") {
    if (!WaitUntil([] { return RunUnixCommand("xdotool search --onlyvisible --name '^hurz$'") == 1; }, 30000))
      return false;
    std::string bin = programDir.empty() ? HURZ_TEST_BIN_DIR : programDir;
    return process_.Start(bin + "\\hurz.exe", "", workingDir);
  }

  // The demo's window 0 once it is shown, and in front as the demo's start leaves it (briefly
  // waited for; a test that sends input brings it to the front itself).
  HWND WaitForWindow(DWORD timeoutMs = 30000) {
    HWND window = process_.WaitForWindow("WindowClass_0", "hurz", timeoutMs);
    if (!window) return nullptr;
    window_ = window;
    WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
    return window;
  }

  bool Exited() const { return process_.Exited(); }

  // The exit code once the program ended within the timeout, else -1.
  long WaitForExit(DWORD timeoutMs = 10000) const { return process_.WaitForExit(timeoutMs); }

  HWND window() const { return window_; }

  // Screen position of a point of the client area.
  POINT ScreenPoint(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(window_, &p);
    return p;
  }

  // Moves the pointer to a client point and waits until it is there.
  bool MovePointer(int clientX, int clientY) const { return MovePointerTo(ScreenPoint(clientX, clientY)); }

  ClientPicture Capture() const { return CaptureClientArea(window_); }

  // Brings the window to the front with the pointer at a client point.
  bool BringToFront(int clientX = 400, int clientY = 300) const {
    return ::BringToFront(window_, POINT{clientX, clientY});
  }

  // Holds Escape over the window, pressing again while the demo goes on, until it has ended.
  bool PressEscape() {
    return PressKeyUntil(
        window_, "Escape", [this] { return Exited(); }, POINT{400, 300});
  }

 private:
  ProgramProcess process_;
  HWND window_ = nullptr;
};
