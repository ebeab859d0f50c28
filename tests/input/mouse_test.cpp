// The DirectInput mouse under Wine: the commands before and after the device's life, the counted
// opener, and real pointer movement and buttons made on the X display with xdotool.
#include "runtime/input/mouse.h"

#include <gtest/gtest.h>

#include "runtime/input/input_internal.h"
#include "runtime/screen/screen_internal.h"
#include "support/screen_fixture.h"
#include "support/unix_command.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

bool ClipIs(const RECT& wanted) {
  RECT clip;
  GetClipCursor(&clip);
  return EqualRect(&clip, &wanted);
}

RECT Desktop() {
  return RECT{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Polls (pumping messages, through which Wine delivers X input) until `done` holds.
template <typename Done>
bool PollUntil(Done done, DWORD timeoutMs = 15000) {
  return WaitUntil([&] { return PollMouse() && done(); }, timeoutMs);
}

// Holds a button (X's number) at the runtime position (160, 120), pressing again when the press
// is lost, until the poll reads `button` down.
bool HoldButtonAtTheMiddle(HWND window, int xButton, int32_t button) {
  return HoldButtonUntil(
      window, xButton, [&] { return PollMouse() && MouseButtonDown(button) == 1; }, POINT{160, 120});
}

void Xdotool(const std::string& arguments) { ASSERT_EQ(RunUnixCommand("xdotool " + arguments), 0) << arguments; }

// A 320 by 240 windowed screen on a test window in front, and a ready mouse polled once.
class WindowedMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    window_ = TestWindow(kWidth, kHeight, 200, 150);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(OpenWindowedScreen(window_, 0, 0, kWidth, kHeight, 0, 0, 0), 1);
    ASSERT_TRUE(BringToFront(window_));
    ASSERT_EQ(InitMouse(), 1);
    ASSERT_TRUE(PollUntil([] { return gMouse.status == kMouseAcquired; })) << "the mouse was never acquired";
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    area_ = RECT{origin.x, origin.y, origin.x + kWidth, origin.y + kHeight};
  }
  void TearDown() override {
    EndMouse();
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  }
  // Places the runtime position and the pointer together at (x, y) of the screen.
  void Settle(int x, int y) {
    SetMousePosition(x, y);
    PollMouse();  // moves the pointer there
    PumpTestMessages(50);
    PollMouse();  // drops whatever motion the warp itself produced
    SetMousePosition(x, y);
  }
  HWND window_ = nullptr;
  RECT area_{};
};

TEST(Mouse, CommandsBeforeInitDoNothing) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(gMouse.device, nullptr);
  int32_t users = gDirectInput.users;
  SetMousePosition(12, 34);
  SuspendMouse(1);
  UncaptureMouse();
  EXPECT_EQ(PollMouse(), 0);
  EXPECT_EQ(MousePosX(), 0);
  EXPECT_EQ(MousePosY(), 0);
  EXPECT_EQ(MouseMoveX(), 0);
  EXPECT_EQ(MouseMoveY(), 0);
  EXPECT_EQ(MouseWheelSteps(), 0);
  for (int n = 0; n <= 4; ++n) EXPECT_EQ(MouseButtonDown(n), 0) << n;
  EndMouse();
  EXPECT_EQ(gDirectInput.users, users);
  EXPECT_EQ(gMouse.suspended, 0);
}

TEST(Mouse, InitAndEndOpenAndCloseDirectInputOnce) {
  ASSERT_TRUE(EnsureScreenStarted());
  int32_t users = gDirectInput.users;
  ASSERT_EQ(InitMouse(), 1);
  EXPECT_EQ(gDirectInput.users, users + 1);
  EXPECT_EQ(gScreen.mouseDevice, gMouse.device);
  EXPECT_EQ(gMouse.status, kMouseApply);
  IDirectInputDevice7A* device = gMouse.device;
  EXPECT_EQ(InitMouse(), 1);  // a second start keeps the device and the one reference
  EXPECT_EQ(gMouse.device, device);
  EXPECT_EQ(gDirectInput.users, users + 1);
  EXPECT_EQ(MouseWheelSteps(), 0);  // never acquired: granularity taken as 1
  EXPECT_EQ(gMouse.wheelGranularity, 1);
  EndMouse();
  EXPECT_EQ(gDirectInput.users, users);
  EXPECT_EQ(gScreen.mouseDevice, nullptr);
  EXPECT_EQ(gMouse.device, nullptr);
  EndMouse();  // the second end finds nothing to balance
  EXPECT_EQ(gDirectInput.users, users);
  EXPECT_NE(gDirectInput.directInput, nullptr);  // still the keyboard's
  EXPECT_EQ(PollMouse(), 0);
}

TEST_F(WindowedMouse, CursorIsConfinedAndHiddenWhileThePollReadsNoMotion) {
  EXPECT_TRUE(ClipIs(area_));
  EXPECT_EQ(gMouse.cursorShown, 0);
  Settle(100, 80);
  ASSERT_EQ(PollMouse(), 1);
  EXPECT_EQ(MousePosX(), 100);
  EXPECT_EQ(MousePosY(), 80);
  EXPECT_EQ(MouseMoveX(), 0);
  EXPECT_EQ(MouseMoveY(), 0);
  EXPECT_EQ(MouseWheelSteps(), 0);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, area_.left + 100);
  EXPECT_EQ(cursor.y, area_.top + 80);
}

TEST_F(WindowedMouse, PointerMotionMovesThePositionAndTheCursor) {
  Settle(100, 80);
  Xdotool("mousemove_relative 30 20");
  // Wine may hand the motion over in several reads.
  EXPECT_TRUE(PollUntil([] { return MousePosX() == 130 && MousePosY() == 100; })) << MousePosX() << "," << MousePosY();
  int x = MousePosX(), y = MousePosY();
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, area_.left + x);
  EXPECT_EQ(cursor.y, area_.top + y);
}

TEST_F(WindowedMouse, PositionIsClampedToTheScreen) {
  SetMousePosition(1000, -5);
  EXPECT_EQ(MousePosX(), 1000);  // reported as set until a poll
  EXPECT_EQ(MousePosY(), -5);
  ASSERT_EQ(PollMouse(), 1);
  EXPECT_EQ(MousePosX(), kWidth - 1);
  EXPECT_EQ(MousePosY(), 0);

  // The pointer stays where the last poll put it while the runtime position jumps near an edge,
  // so a motion of 50 takes it well past that edge.
  Settle(160, 120);
  SetMousePosition(10, kHeight - 10);
  Xdotool("mousemove_relative -- -50 50");
  ASSERT_TRUE(PollUntil([] { return MousePosX() == 0 && MousePosY() == kHeight - 1; }))
      << MousePosX() << "," << MousePosY();
  Settle(160, 120);
  SetMousePosition(kWidth - 10, 10);
  Xdotool("mousemove_relative -- 50 -50");
  ASSERT_TRUE(PollUntil([] { return MousePosX() == kWidth - 1 && MousePosY() == 0; }))
      << MousePosX() << "," << MousePosY();
}

TEST_F(WindowedMouse, ButtonsReadDownWhileHeld) {
  Settle(160, 120);
  EXPECT_TRUE(HoldButtonAtTheMiddle(window_, 1, 1)) << "left button never read down";
  EXPECT_EQ(MouseButtonDown(2), 0);
  EXPECT_EQ(MouseButtonDown(0), 0);
  EXPECT_EQ(MouseButtonDown(4), 0);
  EXPECT_EQ(MouseButtonDown(-1), 0);
  Xdotool("mouseup 1");
  EXPECT_TRUE(PollUntil([] { return MouseButtonDown(1) == 0; }));
  EXPECT_TRUE(HoldButtonAtTheMiddle(window_, 3, 2)) << "right button never read down";  // X's 3 is the right
  Xdotool("mouseup 3");
  EXPECT_TRUE(PollUntil([] { return MouseButtonDown(2) == 0; }));
  EXPECT_TRUE(HoldButtonAtTheMiddle(window_, 2, 3)) << "middle button never read down";
  Xdotool("mouseup 2");
  EXPECT_TRUE(PollUntil([] { return MouseButtonDown(3) == 0; }));
}

TEST_F(WindowedMouse, WheelNotchesAreCounted) {
  Settle(160, 120);
  // One notch away from the user (X's button 4), turned again when a notch was lost.
  bool turned = false;
  for (int notch = 0; notch < 5 && !turned; ++notch) {
    Xdotool("click 4");
    turned = PollUntil([] { return gMouse.deltaZ != 0; }, 3000);
  }
  ASSERT_TRUE(turned) << "no wheel motion read";
  EXPECT_GT(gMouse.wheelGranularity, 0);
  EXPECT_EQ(MouseWheelSteps(), gMouse.deltaZ / gMouse.wheelGranularity);
  EXPECT_GT(MouseWheelSteps(), 0);
}

TEST_F(WindowedMouse, SuspendFreesTheCursorUntilTakenBack) {
  SuspendMouse(1);
  EXPECT_TRUE(ClipIs(Desktop()));
  EXPECT_EQ(gMouse.cursorShown, 1);
  EXPECT_EQ(PollMouse(), 0);
  EXPECT_EQ(gMouse.status, kMouseApply);
  SuspendMouse(0);
  EXPECT_TRUE(PollUntil([] { return gMouse.status == kMouseAcquired; }));
  EXPECT_TRUE(ClipIs(area_));
  EXPECT_EQ(gMouse.cursorShown, 0);
}

TEST_F(WindowedMouse, WindowInTheBackgroundFreesTheCursor) {
  HWND other = TestWindow(100, 100, 700, 500);
  SetForegroundWindow(other);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }, 10000)) << "the display did not switch";
  EXPECT_EQ(PollMouse(), 0);
  EXPECT_TRUE(ClipIs(Desktop()));
  EXPECT_EQ(gMouse.cursorShown, 1);
  SetForegroundWindow(window_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window_; }, 10000));
  // The unacquired device fails the first read and is acquired again; later reads succeed.
  EXPECT_TRUE(PollUntil([] { return true; }));
  EXPECT_TRUE(ClipIs(area_));
  EXPECT_EQ(gMouse.cursorShown, 0);
}

}  // namespace
