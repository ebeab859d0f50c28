// The modal message box on real windows: a helper thread finds the box and presses OK, while it
// checks which of the program's windows were disabled for the box's duration.

#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/core/registry_internal.h"
#include "window/window_fixture.h"

namespace {
constexpr char kTitle[] = "hurz message box test";

struct BoxWatch {
  DWORD thread;   // the thread that shows the box
  HWND other;     // visible and enabled before the box
  HWND disabled;  // already disabled before the box
  bool found = false;
  bool otherEnabledDuring = true;
  bool disabledEnabledDuring = true;
};

DWORD WINAPI PressOk(void* user) {
  auto* watch = (BoxWatch*)user;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
    HWND box = FindWindowA("#32770", kTitle);
    if (box && IsWindowVisible(box)) {
      watch->found = true;
      watch->otherEnabledDuring = IsWindowEnabled(watch->other);
      watch->disabledEnabledDuring = IsWindowEnabled(watch->disabled);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(10);
  }
  // Not found by its title: close whatever dialog the thread shows, so the test ends either way.
  EnumThreadWindows(
      watch->thread,
      [](HWND window, LPARAM) -> BOOL {
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, "#32770") == 0) PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
      },
      0);
  return 1;
}

// A visible window of the given number, opened once.
HWND VisibleWindow(ObjectNumber number, int x) {
  if (HWND window = WindowHandle(number)) return window;
  return (HWND)OpenWindow(number, x, 700, 150, 80, "other", kWindowDefaultFlags);
}
}  // namespace

TEST(ModalMessageBox, OtherWindowsAreDisabledWhileTheBoxIsShown) {
  HWND demo = DemoWindow();
  BoxWatch watch{GetCurrentThreadId(), VisibleWindow(20, 10), VisibleWindow(21, 300)};
  ASSERT_TRUE(watch.other && watch.disabled);
  EnableWindow(watch.disabled, FALSE);
  ASSERT_TRUE(BringToFront(demo));
  ASSERT_EQ(ProcessForegroundWindow(), demo);

  HANDLE thread = CreateThread(nullptr, 0, PressOk, &watch, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  int32_t result = ShowMessageBox(kTitle, "Press OK", MB_OK);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);

  EXPECT_TRUE(watch.found);
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(watch.otherEnabledDuring);
  EXPECT_FALSE(watch.disabledEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(watch.other));
  EXPECT_FALSE(IsWindowEnabled(watch.disabled));  // it was disabled before the box
  EXPECT_TRUE(IsWindowEnabled(demo));
  EXPECT_EQ(gMessageBoxes.disabledWindows, nullptr);
  EnableWindow(watch.disabled, TRUE);
  BringToFront(demo);
}

TEST(ModalMessageBox, ReenablingLeavesOtherThreadsWindowsAlone) {
  EnsureWindowsStarted();
  HWND window = HiddenWindow(22);
  ASSERT_NE(window, nullptr);
  auto* node =
      (DisabledWindowNode*)NodeListAdd(&gMessageBoxes.disabledWindows, sizeof(ObjectNode) + sizeof(DisabledWindowNode));
  node->thread = GetCurrentThreadId() + 1;
  node->window = window;
  EnableWindow(window, FALSE);
  SuspendThreadWindows(0);
  EXPECT_FALSE(IsWindowEnabled(window));
  EXPECT_EQ(NodeRecord(gMessageBoxes.disabledWindows), node);
  NodeListRemove(&gMessageBoxes.disabledWindows, node);
  EnableWindow(window, TRUE);
}

// Enabling a window runs its callbacks, which may show a message box of their own.
TEST(ModalMessageBox, ABoxShownWhileWindowsAreEnabledAgainLeavesThemAllEnabled) {
  HWND demo = DemoWindow();
  HWND first = VisibleWindow(20, 10), second = VisibleWindow(21, 300);
  ASSERT_TRUE(first && second);
  BringToFront(demo);
  static bool nested;
  nested = false;
  gWindows.events->globalCallback = [](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == WM_ENABLE && wParam && !nested) {
      nested = true;
      SuspendThreadWindows(1);  // what the box does around itself
      SuspendThreadWindows(0);
    }
    return CONTINUE_RUNTIME;
  };
  SuspendThreadWindows(1);
  EXPECT_FALSE(IsWindowEnabled(first));
  EXPECT_FALSE(IsWindowEnabled(second));
  SuspendThreadWindows(0);
  gWindows.events->globalCallback = nullptr;
  EXPECT_TRUE(nested);
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_TRUE(IsWindowEnabled(second));
  EXPECT_EQ(gMessageBoxes.disabledWindows, nullptr);
  BringToFront(demo);
}
