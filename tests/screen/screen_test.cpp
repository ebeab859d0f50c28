// The screen library on real DirectDraw under the test display: start-up, opening windowed
// screens, colour fills read back from the back buffer, and the drawing target's hand-out rules.
#include <gtest/gtest.h>

#include "runtime/input/input_internal.h"
#include "runtime/screen/screen_internal.h"
#include "support/screen_fixture.h"

namespace {
class WindowedScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    window_ = TestWindow(320, 240);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    ReleaseOutputDC();
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);  // closes the screen
  }
  bool Open(int width = 320, int height = 240) {
    return OpenWindowedScreen(window_, 0, 0, width, height, 0, 0, 0) == 1;
  }
  HWND window_ = nullptr;
};
}  // namespace

TEST(ScreenStart, InitSpriteMakesTheHiddenBaseWindowAndDirectDraw) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_NE(gScreen.baseWindow, nullptr);
  EXPECT_EQ(gScreen.window, gScreen.baseWindow);
  char name[64] = {};
  GetClassNameA(gScreen.baseWindow, name, sizeof name);
  EXPECT_STREQ(name, "MultimediaBase Class");
  EXPECT_FALSE(IsWindowVisible(gScreen.baseWindow));
  EXPECT_EQ(GetWindowLongA(gScreen.baseWindow, GWL_STYLE) & WS_POPUP, WS_POPUP);
  RECT outer;
  GetWindowRect(gScreen.baseWindow, &outer);
  EXPECT_EQ(outer.right - outer.left, 1);
  EXPECT_NE(gScreen.directDraw, nullptr);
  EXPECT_NE(gScreen.sprites, nullptr);
  EXPECT_EQ(gKeyboard.status, kKeyboardReady);
  // The base window refuses to be closed by the user.
  SendMessageA(gScreen.baseWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(gScreen.baseWindow));
}

// The keyboard starts with the library; a later start leaves a keyboard the program ended alone.
TEST(ScreenStart, LaterStartsDoNotStartTheKeyboardAgain) {
  ASSERT_TRUE(EnsureScreenStarted());
  EndKeyboard();
  int32_t users = gDirectInput.users;
  EXPECT_NE(InitSprite(), 0);
  EXPECT_EQ(gKeyboard.status, kKeyboardNone);
  EXPECT_EQ(gDirectInput.users, users);
  ASSERT_NE(InitKeyboard(), 0);
}

TEST(ScreenStart, DirectDrawOpenerIsCounted) {
  ASSERT_TRUE(EnsureScreenStarted());
  int32_t users = gScreen.directDrawUsers;
  IDirectDraw7* shared = gScreen.directDraw;
  EXPECT_EQ(OpenDirectDraw(), shared);
  EXPECT_EQ(gScreen.directDrawUsers, users + 1);
  CloseDirectDraw();
  EXPECT_EQ(gScreen.directDrawUsers, users);
  EXPECT_EQ(gScreen.directDraw, shared);
}

TEST(ScreenStart, OpenBaseWindowReportsTheExistingWindow) {
  ASSERT_TRUE(EnsureScreenStarted());
  HWND base = gScreen.baseWindow;
  EXPECT_EQ(OpenBaseWindow(), 1);
  EXPECT_EQ(gScreen.baseWindow, base);
}

TEST(ScreenStart, CommandsWithNoScreenOpenDoNothing) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(gScreen.screenWidth, 0);
  FillScreen(0xFF);
  FlipBuffers();
  EXPECT_EQ(ScreenTarget(), nullptr);
  EXPECT_EQ(gScreen.outputState, 0);
}

// A second start while a windowed screen is open keeps the base window, counts no second
// DirectDraw user and keeps the DC a drawing holds: closing the screen then hides the base window,
// not the application's.
TEST_F(WindowedScreen, SecondStartKeepsWhatTheFirstMadeAndTheOpenScreenHolds) {
  ASSERT_TRUE(Open());
  HWND base = gScreen.baseWindow;
  int32_t users = gScreen.directDrawUsers;
  ASSERT_NE(BeginDrawing(ScreenTarget()), 0);
  ASSERT_NE(InitSprite(), 0);
  EXPECT_EQ(gScreen.baseWindow, base);
  EXPECT_EQ(gScreen.directDrawUsers, users);
  EndDrawing();
  EXPECT_NE(BeginDrawing(ScreenTarget()), 0) << "the DC of the first drawing was not given back";
  EndDrawing();
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gScreen.window, base);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_FALSE(IsWindowVisible(base));
}

TEST_F(WindowedScreen, NullWindowFailsAndLeavesNoScreen) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(OpenWindowedScreen(nullptr, 0, 0, 320, 240, 0, 0, 0), 0);
  EXPECT_EQ(gScreen.screenWidth, 0);
  EXPECT_EQ(gScreen.primary, nullptr);
  EXPECT_EQ(gScreen.backBuffer, nullptr);
  EXPECT_EQ(gScreen.window, gScreen.baseWindow);
  EXPECT_EQ(gScreen.windowed, 0);
  EXPECT_EQ(ScreenTarget(), nullptr);
}

TEST_F(WindowedScreen, OpenReportsTheDisplayFormat) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(gScreen.window, window_);
  EXPECT_EQ(gScreen.windowed, 1);
  EXPECT_EQ(gScreen.width, 320);
  EXPECT_EQ(gScreen.screenHeight, 240);
  // The test display runs at 24 bits of colour, which Windows presents as 32 bits per pixel.
  EXPECT_EQ(gScreen.depth, 32);
  EXPECT_EQ(gScreen.format, kFormatBGR32);
  EXPECT_EQ(gScreen.output, gScreen.backBuffer);
  EXPECT_EQ(gScreen.frameRate, 60);
  EXPECT_EQ(gScreen.autoFrameRate, 1);
  SurfacePixels pixels(gScreen.backBuffer);
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(0, 0), 0u);  // blackened
  EXPECT_EQ(pixels.at(319, 239), 0u);
}

TEST_F(WindowedScreen, ClosingEndsTheAutomaticFrameLimit) {
  ASSERT_TRUE(Open());
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gScreen.frameRate, 0);
  SetFrameLimit(30);
  ASSERT_TRUE(Open());
  EXPECT_EQ(gScreen.frameRate, 30);  // a limit set by the program stays
  EXPECT_EQ(gScreen.autoFrameRate, 0);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gScreen.frameRate, 30);
  SetFrameLimit(0);
}

TEST_F(WindowedScreen, FillScreenWritesTheConvertedColour) {
  ASSERT_TRUE(Open());
  ASSERT_EQ(gScreen.format, kFormatBGR32);
  FillScreen(0x0000FF);
  {
    SurfacePixels pixels(gScreen.backBuffer);
    ASSERT_TRUE(pixels.ok());
    EXPECT_EQ(pixels.at(0, 0), 0xFF0000u);
    EXPECT_EQ(pixels.at(319, 239), 0xFF0000u);
  }
  FillScreen(0x404040);
  SurfacePixels pixels(gScreen.backBuffer);
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(160, 120), 0x404040u);
}

TEST_F(WindowedScreen, ConvertColourUsesTheOpenScreensLayout) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(ConvertColour(0xFF, 0x80, 0x01), 0xFF8001u);
}

TEST_F(WindowedScreen, TargetIsHandedOutOnceAtATime) {
  ASSERT_TRUE(Open());
  DrawingTarget* target = ScreenTarget();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->kind, 7);
  EXPECT_EQ(target->window, 0);
  EXPECT_NE(target->dc, nullptr);
  EXPECT_EQ(target->width, 320);
  EXPECT_EQ(target->height, 240);
  EXPECT_EQ(target->depth, 32);
  EXPECT_EQ(target->format, kFormatBGR32);
  EXPECT_EQ(ScreenTarget(), nullptr);
  target->release();
  EXPECT_EQ(gScreen.outputState, 0);
  EXPECT_NE(ScreenTarget(), nullptr);
  ReleaseOutputDC();
}

TEST_F(WindowedScreen, TargetLocksAndReacquiresTheBackBuffer) {
  ASSERT_TRUE(Open());
  FillScreen(0x00FF00);
  DrawingTarget* target = ScreenTarget();
  ASSERT_NE(target, nullptr);
  int32_t pitch = 0;
  auto* first = static_cast<uint32_t*>(target->lock(&pitch));
  ASSERT_NE(first, nullptr);
  EXPECT_GE(pitch, 320 * 4);
  EXPECT_EQ(first[0] & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(gScreen.outputState, kOutputLocked);
  EXPECT_EQ(ScreenTarget(), nullptr);
  void* dc = target->reacquire();
  EXPECT_NE(dc, nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(dc), gScreen.outputState);
  EXPECT_EQ(target->reacquire(), dc);  // not locked: the same DC
  target->release();
  EXPECT_EQ(gScreen.outputState, 0);
}

// A drawing on the target keeps its DC: the lock is refused until the drawing ends.
TEST_F(WindowedScreen, TargetRefusesToLockWhileADrawingHoldsItsDC) {
  ASSERT_TRUE(Open());
  FillScreen(0);
  DrawingTarget* target = ScreenTarget();
  ASSERT_NE(target, nullptr);
  ASSERT_NE(BeginDrawing(target), 0);
  int32_t pitch = 0;
  EXPECT_EQ(target->lock(&pitch), nullptr);
  EXPECT_EQ(gScreen.outputState, reinterpret_cast<intptr_t>(target->dc));
  DrawRect(2, 2, 4, 4, 0x00FF00);
  EndDrawing();
  EXPECT_EQ(gScreen.outputState, 0);
  SurfacePixels pixels(gScreen.backBuffer);
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(3, 3), 0x00FF00u) << "the drawing went on on its DC";
}

TEST_F(WindowedScreen, SecondOpenOnTheSameWindowDoesNotSubclassAgain) {
  ASSERT_TRUE(Open());
  LONG_PTR procedure = GetWindowLongPtrA(window_, GWLP_WNDPROC);
  EXPECT_NE(GetPropA(window_, "tq_dxpaint"), nullptr);
  WNDPROC previous = gScreen.previousWindowProc;
  ASSERT_TRUE(Open(160, 120));
  EXPECT_EQ(GetWindowLongPtrA(window_, GWLP_WNDPROC), procedure);
  EXPECT_EQ(gScreen.previousWindowProc, previous);
  EXPECT_EQ(gScreen.width, 160);
  // The window keeps working through its own procedure.
  EXPECT_TRUE(SetWindowTextA(window_, "still alive"));
  char title[32] = {};
  GetWindowTextA(window_, title, sizeof title);
  EXPECT_STREQ(title, "still alive");
}

TEST_F(WindowedScreen, DisplayIsActiveWhileTheWindowIsInFront) {
  ASSERT_TRUE(Open());
  SetForegroundWindow(window_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window_; }, 10000));
  EXPECT_EQ(IsDisplayActive(), 1);
  HWND other = TestWindow(100, 100, 500, 400);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }, 10000));
  EXPECT_EQ(IsDisplayActive(), 0);
  SetForegroundWindow(window_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window_; }, 10000));
  EXPECT_EQ(IsDisplayActive(), 1);
}

TEST_F(WindowedScreen, BlitRectanglesPlaceTheScreenInTheClientArea) {
  ASSERT_EQ(OpenWindowedScreen(window_, 10, 20, 100, 50, 0, 0, 0), 1);
  POINT corner{0, 0};
  ClientToScreen(window_, &corner);
  RECT destination, source;
  ComputeBlitRects(&destination, &source);
  EXPECT_EQ(destination.left, corner.x + 10);
  EXPECT_EQ(destination.top, corner.y + 20);
  EXPECT_EQ(destination.right, corner.x + 110);
  EXPECT_EQ(destination.bottom, corner.y + 70);
  EXPECT_EQ(source.right, 100);
  EXPECT_EQ(source.bottom, 50);

  ASSERT_EQ(OpenWindowedScreen(window_, 10, 20, 100, 50, 1, 5, 7), 1);
  ComputeBlitRects(&destination, &source);
  EXPECT_EQ(destination.left, corner.x + 10);
  EXPECT_EQ(destination.top, corner.y + 20);
  EXPECT_EQ(destination.right, corner.x + 320 - 5);
  EXPECT_EQ(destination.bottom, corner.y + 240 - 7);
  EXPECT_EQ(source.right, 100);
}
