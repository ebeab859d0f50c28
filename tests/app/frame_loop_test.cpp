// The demo's frame loop on window 0 with its windowed screen: what ends it, what a frame without
// the focus ignores, and the system cursor hidden inside the window and shown outside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "app/demo.h"
#include "app_setup.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/window/window.h"
#include "support/screen_fixture.h"

namespace {
constexpr int kWidth = 320, kHeight = 240;

// Window 0 and its screen as the display set-up opens them, in front with the pointer over it.
HWND DemoScreen() {
  static HWND window = []() -> HWND {
    EnsureAppStarted();
    InitMessageBoxes();
    InitControlLibrary();
    InitWindowLibrary();
    InitDrawing();
    if (!InitSprite()) return nullptr;
    auto handle = reinterpret_cast<HWND>(OpenWindow(0, 0, 0, kWidth, kHeight, "frames", 0xCA0001));
    if (!handle || !OpenWindowedScreen(handle, 0, 0, kWidth, kHeight, 0, 0, 0)) return nullptr;
    return handle;
  }();
  if (window) {
    SetForegroundWindow(window);
    if (!WaitUntil([] { return GetForegroundWindow() == window; }, 10000)) return nullptr;  // never in front
  }
  return window;
}

POINT ClientToScreenPoint(int x, int y) {
  POINT p{x, y};
  ClientToScreen(reinterpret_cast<HWND>(WindowHandle(0)), &p);
  return p;
}

void PointerAtClient(int x, int y) {
  POINT p = ClientToScreenPoint(x, y);
  SetCursorPos(p.x, p.y);
}

// On the caption: outside the client area but still over the window, which keeps the focus.
void PointerOnCaption() {
  POINT p = ClientToScreenPoint(kWidth / 2, -6);
  SetCursorPos(p.x, p.y);
}

// The thread's cursor display count, left as it was.
int CursorCount() {
  int count = ShowCursor(TRUE) - 1;
  ShowCursor(FALSE);
  return count;
}

struct FrameSeen {
  int32_t elapsed, x, y, cursorCount;
};
std::vector<FrameSeen> gFrames;
std::vector<int32_t> gResults;  // what the callback returns, frame by frame (0 after the last)
void (*gAfterFrame)(size_t frame) = nullptr;

int32_t ScriptedFrame(int32_t elapsed, const int32_t* mouse, int32_t, int32_t) {
  size_t frame = gFrames.size();
  gFrames.push_back({elapsed, mouse[0], mouse[1], CursorCount()});
  if (gAfterFrame) gAfterFrame(frame);
  return frame < gResults.size() ? gResults[frame] : 0;
}

void RunFrames(std::vector<int32_t> results, void (*afterFrame)(size_t), int32_t cursorFlag) {
  gFrames.clear();
  gResults = std::move(results);
  gAfterFrame = afterFrame;
  FrameLoop(ScriptedFrame, 0, cursorFlag);
  gAfterFrame = nullptr;
}

int CountPixels(uint32_t colour, int left, int top, int right, int bottom) {
  SurfacePixels pixels(gScreen.backBuffer);
  if (!pixels.ok()) return -1;
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += pixels.at(x, y) == colour;
  return n;
}

TEST(FrameLoop, OnlyACallbackResultOfOneEndsTheLoop) {
  ASSERT_NE(DemoScreen(), nullptr);
  PointerAtClient(100, 100);
  RunFrames({0, 2, -1, 0x101, 1, 0}, nullptr, 1);
  EXPECT_EQ(gFrames.size(), 5u);
}

constexpr POINT kFirstInside{40, 50}, kSecondInside{200, 150};

void LeaveAndReturn(size_t frame) {
  if (frame == 0 || frame == 2) PointerOnCaption();
  if (frame == 1) PointerAtClient(kSecondInside.x, kSecondInside.y);
}

TEST(FrameLoop, HidesTheCursorInsideTheWindowShowsItOutsideAndDrawsItsArrowThere) {
  ASSERT_NE(DemoScreen(), nullptr);
  PointerAtClient(kFirstInside.x, kFirstInside.y);
  PumpTestMessages(50);
  int shown = CursorCount();
  RunFrames({0, 0, 0, 1}, LeaveAndReturn, 0);
  ASSERT_EQ(gFrames.size(), 4u);
  EXPECT_EQ(gFrames[0].cursorCount, shown - 1) << "hidden inside";
  EXPECT_EQ(gFrames[1].cursorCount, shown) << "shown outside";
  EXPECT_EQ(gFrames[2].cursorCount, shown - 1) << "hidden again on return";
  EXPECT_EQ(gFrames[3].cursorCount, shown);
  EXPECT_EQ(CursorCount(), shown) << "one show for every hide";

  // Outside, the callback gets the last position read inside.
  EXPECT_EQ(gFrames[0].x, kFirstInside.x);
  EXPECT_EQ(gFrames[1].x, kFirstInside.x);
  EXPECT_EQ(gFrames[1].y, kFirstInside.y);
  EXPECT_EQ(gFrames[2].x, kSecondInside.x);
  EXPECT_EQ(gFrames[3].y, kSecondInside.y);

  // The last frame, outside, drew the loop's arrow with its tip at the last inside position.
  const uint32_t arrow = 0xC0C020;  // 0x20C0C0 as a COLORREF
  EXPECT_GT(CountPixels(arrow, kSecondInside.x, kSecondInside.y, kSecondInside.x + 25, kSecondInside.y + 25), 30);
  EXPECT_EQ(CountPixels(arrow, 0, 0, kWidth, kSecondInside.y - 1), 0);
}

HWND gOther = nullptr;

// Back in front, once every message before the timer's has been read.
void CALLBACK ReturnToFront(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PointerAtClient(100, 100);
  SetForegroundWindow(reinterpret_cast<HWND>(WindowHandle(0)));
}

void LoseFocusAndRequestClose(size_t frame) {
  if (frame != 0) return;
  RECT other;
  GetWindowRect(gOther, &other);
  SetCursorPos(other.left + 20, other.top + 20);
  SetForegroundWindow(gOther);
  PostMessageA(reinterpret_cast<HWND>(WindowHandle(0)), WM_CLOSE, 0, 0);
  SetTimer(nullptr, 0, 700, ReturnToFront);
}

TEST(FrameLoop, CloseRequestReadWithoutTheFocusIsDropped) {
  ASSERT_NE(DemoScreen(), nullptr);
  gOther = TestWindow(200, 100, 10, 10);
  ASSERT_NE(gOther, nullptr);
  DemoScreen();
  PointerAtClient(100, 100);
  RunFrames({0, 0, 0, 1}, LoseFocusAndRequestClose, 1);
  ASSERT_EQ(gFrames.size(), 4u) << "the close request did not end the loop";
  // The first frame back in front is given the whole time since the last one before.
  EXPECT_GE(gFrames[1].elapsed, 650);
  EXPECT_LT(gFrames[2].elapsed, 650);
}

}  // namespace
