// Interactive sizing: the rectangle arithmetic and the arrow-key table on their own, then whole
// sizing runs driven by messages on a real window.
#include <gtest/gtest.h>
#include <windows.h>

#include "window/window_fixture.h"

namespace {
constexpr POINT kMin{100, 50};
constexpr POINT kMax{1000, 800};

RECT Sized(RECT r, int32_t edge, int32_t x, int32_t y) {
  ClampSizingEdges(&r, edge, x, y, kMin, kMax);
  return r;
}

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

RECT OuterRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

void SetFullWindowDragging(bool on) { SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0); }
}  // namespace

TEST(SizingRect, EachEdgeFollowsTheCursorWithinTheLimits) {
  const RECT r{200, 100, 600, 400};
  ExpectRect(Sized(r, WMSZ_LEFT, 150, 0), 150, 100, 600, 400);
  ExpectRect(Sized(r, WMSZ_RIGHT, 700, 0), 200, 100, 702, 400);
  ExpectRect(Sized(r, WMSZ_TOP, 0, 90), 200, 90, 600, 400);
  ExpectRect(Sized(r, WMSZ_BOTTOM, 0, 500), 200, 100, 600, 502);
  ExpectRect(Sized(r, WMSZ_TOPLEFT, 150, 90), 148, 88, 600, 400);
  ExpectRect(Sized(r, WMSZ_TOPRIGHT, 700, 90), 200, 90, 702, 400);
  ExpectRect(Sized(r, WMSZ_BOTTOMLEFT, 150, 500), 150, 100, 600, 502);
  ExpectRect(Sized(r, WMSZ_BOTTOMRIGHT, 700, 500), 200, 100, 702, 502);
  ExpectRect(Sized(r, 0, 10, 10), 200, 100, 600, 400);  // no edge chosen yet
}

TEST(SizingRect, DraggingPastTheLimitsMovesTheDraggedEdgeInstead) {
  const RECT r{200, 100, 600, 400};
  // Past the minimum width the left edge stops where the width is the minimum.
  ExpectRect(Sized(r, WMSZ_LEFT, 590, 0), 500, 100, 600, 400);
  ExpectRect(Sized(r, WMSZ_RIGHT, 210, 0), 200, 100, 300, 400);
  ExpectRect(Sized(r, WMSZ_TOP, 0, 399), 200, 350, 600, 400);
  ExpectRect(Sized(r, WMSZ_BOTTOM, 0, 0), 200, 100, 600, 150);
  // Beyond the maximum size.
  ExpectRect(Sized(r, WMSZ_LEFT, -2000, 0), -400, 100, 600, 400);
  ExpectRect(Sized(r, WMSZ_BOTTOMRIGHT, 5000, 5000), 200, 100, 1200, 900);
}

TEST(SizingRect, ArrowKeysPickAnEdgeThenStep) {
  const RECT r{200, 100, 600, 400};
  const POINT p{300, 250};
  struct Pick {
    UINT key;
    int32_t edge, newEdge, cursor;
    LONG x, y;
  } picks[] = {
      {VK_LEFT, 0, WMSZ_LEFT, 32644, 200, 250},
      {VK_LEFT, WMSZ_TOP, WMSZ_TOPLEFT, 32642, 202, 102},
      {VK_LEFT, WMSZ_BOTTOM, WMSZ_BOTTOMLEFT, 32643, 200, 398},
      {VK_RIGHT, 0, WMSZ_RIGHT, 32644, 598, 250},
      {VK_RIGHT, WMSZ_TOP, WMSZ_TOPRIGHT, 32643, 598, 100},
      {VK_RIGHT, WMSZ_BOTTOM, WMSZ_BOTTOMRIGHT, 32642, 598, 398},
      {VK_UP, 0, WMSZ_TOP, 32645, 300, 100},
      {VK_UP, WMSZ_RIGHT, WMSZ_TOPRIGHT, 32643, 598, 100},
      {VK_UP, WMSZ_LEFT, WMSZ_TOPLEFT, 32642, 202, 102},
      {VK_DOWN, 0, WMSZ_BOTTOM, 32645, 300, 398},
      {VK_DOWN, WMSZ_RIGHT, WMSZ_BOTTOMRIGHT, 32642, 598, 398},
      {VK_DOWN, WMSZ_LEFT, WMSZ_BOTTOMLEFT, 32643, 200, 398},
  };
  for (const Pick& pick : picks) {
    SizingArrow arrow = SizingArrowKey(pick.key, pick.edge, r, p);
    EXPECT_TRUE(arrow.picksEdge) << pick.key << " " << pick.edge;
    EXPECT_EQ(arrow.edge, pick.newEdge) << pick.key << " " << pick.edge;
    EXPECT_EQ(arrow.cursorId, pick.cursor) << pick.key << " " << pick.edge;
    EXPECT_EQ(arrow.point.x, pick.x) << pick.key << " " << pick.edge;
    EXPECT_EQ(arrow.point.y, pick.y) << pick.key << " " << pick.edge;
  }
  struct Step {
    UINT key;
    int32_t edge;
    LONG x, y;
  } steps[] = {{VK_LEFT, WMSZ_LEFT, 290, 250}, {VK_LEFT, WMSZ_RIGHT, 290, 250}, {VK_RIGHT, WMSZ_BOTTOMRIGHT, 310, 250},
               {VK_UP, WMSZ_TOP, 300, 240},    {VK_UP, WMSZ_BOTTOM, 300, 240},  {VK_DOWN, WMSZ_TOPLEFT, 300, 260}};
  for (const Step& step : steps) {
    SizingArrow arrow = SizingArrowKey(step.key, step.edge, r, p);
    EXPECT_FALSE(arrow.picksEdge) << step.key << " " << step.edge;
    EXPECT_EQ(arrow.edge, step.edge);
    EXPECT_EQ(arrow.point.x, step.x) << step.key << " " << step.edge;
    EXPECT_EQ(arrow.point.y, step.y) << step.key << " " << step.edge;
  }
}

class Sizing : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureWindowsStarted();
    window = WindowHandle(30);
    if (!window) {
      window = (HWND)OpenWindow(30, 300, 200, 400, 300, "sizing", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
    }
    ASSERT_NE(window, nullptr);
    MoveWindow(window, 300, 200, 420, 330, TRUE);
    ASSERT_TRUE(BringToFront(window));
    SetFullWindowDragging(true);
  }
  void TearDown() override {
    if (GetCapture() == window) ReleaseCapture();
    DrainEvents();
  }
  HWND window = nullptr;
};

TEST_F(Sizing, KeyboardSizingFromTheSystemMenu) {
  RECT start = OuterRect(window);
  SetCursorPos(500, 300);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0), 0);
  EXPECT_TRUE(gWindows.sizing->active);
  EXPECT_EQ(GetCapture(), window);
  EXPECT_EQ(gWindows.sizing->edge, 0);

  SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);  // picks the left edge and puts the cursor on it
  EXPECT_EQ(gWindows.sizing->edge, WMSZ_LEFT);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, start.left);
  EXPECT_EQ(cursor.y, 300);
  SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);  // each further Left widens by ten pixels
  SendMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
  RECT now = OuterRect(window);
  EXPECT_EQ(now.left, start.left - 20);
  EXPECT_EQ(now.right, start.right);

  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_FALSE(gWindows.sizing->active);
  EXPECT_EQ(GetCapture(), nullptr);
  now = OuterRect(window);
  EXPECT_EQ(now.left, start.left - 20);
  // No mouse movement reached the window, so the cursor goes back where sizing began.
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 500);
  EXPECT_EQ(cursor.y, 300);

  // The transitions are posted to the window.
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, window, WM_ENTERSIZEMOVE, WM_ENTERSIZEMOVE, PM_REMOVE));
  EXPECT_TRUE(PeekMessageA(&message, window, WM_EXITSIZEMOVE, WM_EXITSIZEMOVE, PM_REMOVE));
}

TEST_F(Sizing, DraggingTheCornerEndsWithTheButtonAndKeepsTheLimits) {
  RECT start = OuterRect(window);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0), 0);
  EXPECT_EQ(gWindows.sizing->edge, WMSZ_BOTTOMRIGHT);
  EXPECT_FALSE(gWindows.sizing->restoreCursor);

  POINT point{start.right + 40 - 2, start.bottom + 30 - 2};  // screen point of the corner's cursor
  ScreenToClient(window, &point);
  EXPECT_EQ(SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x, point.y)), 0);
  RECT now = OuterRect(window);
  EXPECT_EQ(now.right, start.right + 40);
  EXPECT_EQ(now.bottom, start.bottom + 30);

  // Far up and left of the window: the size stops at the minimum track size.
  point = POINT{start.left - 100, start.top - 100};
  ScreenToClient(window, &point);
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x, point.y));
  SendMessageA(window, WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(gWindows.sizing->active);
  EXPECT_EQ(GetCapture(), nullptr);
  now = OuterRect(window);
  EXPECT_EQ(now.left, start.left);
  EXPECT_EQ(now.right - now.left, gWindows.sizing->limits.ptMinTrackSize.x);
  EXPECT_EQ(now.bottom - now.top, gWindows.sizing->limits.ptMinTrackSize.y);
}

TEST_F(Sizing, OnlySizingWithFullWindowDraggingIsTakenOver) {
  SetFullWindowDragging(false);
  EXPECT_EQ(TrackSizing(window, WM_SYSCOMMAND, SC_SIZE, 0), UNHANDLED);
  EXPECT_FALSE(gWindows.sizing->active);
  SetFullWindowDragging(true);
  EXPECT_EQ(TrackSizing(window, WM_SYSCOMMAND, SC_MOVE, 0), UNHANDLED);
  EXPECT_EQ(TrackSizing(window, WM_SYSCOMMAND, SC_MOVE | 2, 0), UNHANDLED);
  EXPECT_FALSE(gWindows.sizing->active);
  EXPECT_EQ(TrackSizing(window, WM_MOUSEMOVE, 0, 0), UNHANDLED);
}
