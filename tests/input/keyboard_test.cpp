// The keyboard through DirectInput under Wine: the snapshot rules, the counted DirectInput opener,
// and real key presses made on the X display with xdotool.
#include <gtest/gtest.h>

#include "runtime/core/heaps_internal.h"
#include "runtime/input/input_internal.h"
#include "runtime/input/mouse.h"
#include "support/screen_fixture.h"
#include "support/unix_command.h"

namespace {
// Polls until the key reads as wanted (Wine delivers X key events while messages are pumped).
bool PollUntil(int32_t key, int32_t wanted, DWORD timeoutMs = 15000) {
  return WaitUntil([&] { return PollKeyboard() && IsKeyDown(key) == wanted; }, timeoutMs);
}
bool KeyReadDown(int32_t key) { return PollKeyboard() && IsKeyDown(key) == 128; }
}  // namespace

TEST(Keyboard, EveryKeyReadsUpBeforeTheFirstPoll) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_NE(gKeyboard.status, kKeyboardAcquired);
  for (int key = -1; key < 256; ++key) EXPECT_EQ(IsKeyDown(key), 0) << key;
}

// Start-up starts the keyboard twice (the screen library, then the display set-up) and ends it once.
TEST(Keyboard, SecondStartTakesNoSecondReferenceSoTheEndReleasesDirectInput) {
  ASSERT_TRUE(EnsureScreenStarted());
  IDirectInputDevice7A* device = gKeyboard.device;
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(gDirectInput.users, 1) << "only the keyboard holds DirectInput here";
  EXPECT_NE(InitKeyboard(), 0);
  EXPECT_EQ(gKeyboard.device, device);
  EXPECT_EQ(gDirectInput.users, 1);
  EndKeyboard();
  EXPECT_EQ(gDirectInput.users, 0);
  EXPECT_EQ(gDirectInput.directInput, nullptr);
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), nullptr);
  EndKeyboard();  // nothing left to give back
  EXPECT_EQ(gDirectInput.users, 0);
  ASSERT_NE(InitKeyboard(), 0);
  EXPECT_EQ(gDirectInput.users, 1);
}

// DirectInputCreateEx refuses a null instance: a program that gave the runtime none.
TEST(Keyboard, StartsThatFailGiveBackDirectInputAndItsLibrary) {
  ASSERT_TRUE(EnsureScreenStarted());
  EndKeyboard();
  ASSERT_EQ(gDirectInput.users, 0);
  void* instance = gCore.instance;
  gCore.instance = nullptr;
  EXPECT_EQ(InitKeyboard(), 0);
  EXPECT_EQ(InitMouse(), 0);
  EXPECT_EQ(gDirectInput.users, 0);
  EXPECT_EQ(gDirectInput.module, nullptr);
  EXPECT_EQ(GetModuleHandleA("DINPUT.DLL"), nullptr);
  EXPECT_EQ(PollKeyboard(), 0);
  EXPECT_EQ(InitKeyboard(), 0);  // a later start reports no keyboard it did not make
  EXPECT_EQ(gKeyboard.status, kKeyboardNone);
  EndKeyboard();
  EndMouse();
  EXPECT_EQ(gDirectInput.users, 0);
  gCore.instance = instance;
  ASSERT_NE(InitKeyboard(), 0);
  EXPECT_EQ(gDirectInput.users, 1);
}

TEST(Keyboard, KeyCodesOutsideTheRangeReadZero) {
  ASSERT_TRUE(EnsureScreenStarted());
  gKeyboard.status = kKeyboardAcquired;
  memset(gKeyboard.keys, 0x80, sizeof gKeyboard.keys);
  EXPECT_EQ(IsKeyDown(256), 0);
  EXPECT_EQ(IsKeyDown(-2), 0);
  EXPECT_EQ(IsKeyDown(255), 128);
  memset(gKeyboard.keys, 0, sizeof gKeyboard.keys);
  gKeyboard.keys[255] = 0x80;  // the any-key question looks at codes 0 to 254 only
  EXPECT_EQ(IsKeyDown(-1), 0);
  gKeyboard.keys[254] = 0x81;
  EXPECT_EQ(IsKeyDown(-1), 1);
  EXPECT_EQ(IsKeyDown(254), 128);
  memset(gKeyboard.keys, 0, sizeof gKeyboard.keys);
  gKeyboard.status = kKeyboardReady;
}

TEST(Keyboard, KeyHeldOnTheDisplayReadsAfterAPoll) {
  ASSERT_TRUE(EnsureScreenStarted());
  HWND window = TestWindow(320, 240);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
  ASSERT_TRUE(BringToFront(window));
  PollKeyboard();
  bool down = HoldUntil(
      window, "keydown Escape", "keyup Escape", [] { return KeyReadDown(1); }, {-1, -1}, 3000, 45000);
  EXPECT_TRUE(down) << "Escape never read as down";
  if (down) {
    EXPECT_EQ(IsKeyDown(-1), 1);
    EXPECT_EQ(IsKeyDown(57), 0);
  }
  RunUnixCommand("xdotool keyup Escape");
  EXPECT_TRUE(PollUntil(1, 0));
  EXPECT_EQ(IsKeyDown(-1), 0);

  // A window in the background loses the device: the poll fails and every key reads up.
  ASSERT_TRUE(HoldUntil(
      window, "keydown space", "keyup space", [] { return KeyReadDown(57); }, {-1, -1}, 3000, 45000));
  HWND other = TestWindow(100, 100, 500, 400);
  ASSERT_TRUE(BringToFront(other));
  EXPECT_TRUE(WaitUntil([] { return PollKeyboard() == 0; }, 15000));
  EXPECT_EQ(IsKeyDown(57), 0);
  RunUnixCommand("xdotool keyup space");
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}
