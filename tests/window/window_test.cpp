// Opening, closing and querying numbered windows on real Win32 windows.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/registry_internal.h"
#include "window/window_fixture.h"

namespace {
std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT OuterRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}
}  // namespace

TEST(Window, DemoWindowHasExactClientAreaCentredOnScreen) {
  HWND window = DemoWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowHandle(0), window);
  EXPECT_NE(WindowExists(0), 0);

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
  RECT outer = OuterRect(window);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

  LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window) || IsZoomed(window));

  EXPECT_EQ(ClassOf(window), "WindowClass_0");
  EXPECT_EQ(GetPropA(window, "TQ_WindowID"), (HANDLE)1);
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_WNDPROC), (ULONG_PTR)RuntimeClassProc);
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), (DWORD)CS_DBLCLKS);

  WindowRecord* record = RecordOf(0);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->acceleratorCount, 2);
  EXPECT_EQ(record->accelerators[0].key, VK_TAB);
  EXPECT_EQ(record->accelerators[0].fVirt, 3);
  EXPECT_EQ(record->accelerators[0].cmd, 1212);
  EXPECT_EQ(record->accelerators[1].fVirt, 7);
  EXPECT_EQ(record->accelerators[1].cmd, 1213);
  EXPECT_NE(record->acceleratorTable, nullptr);
}

TEST(Window, StyleRuleAddsCaptionOnlyWithoutOtherStyleBits) {
  EXPECT_EQ(WindowStyleFromFlags(0), (DWORD)WS_CAPTION);
  EXPECT_EQ(WindowStyleFromFlags(kWindowHidden), (DWORD)WS_CAPTION);
  EXPECT_EQ(WindowStyleFromFlags(kWindowCentreOnScreen | kWindowCentreOnOwner), (DWORD)WS_CAPTION);
  EXPECT_EQ(WindowStyleFromFlags(WS_BORDER), (DWORD)WS_BORDER);
  EXPECT_EQ(WindowStyleFromFlags(kDemoFlags), (DWORD)(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
  // Maximised and minimised stay in the style, so they count as style bits.
  EXPECT_EQ(WindowStyleFromFlags(kWindowMaximised), (DWORD)WS_MAXIMIZE);
  EXPECT_EQ(WindowStyleFromFlags(kWindowMinimised | kWindowHidden), (DWORD)WS_MINIMIZE);
}

TEST(Window, HiddenFlagGivesCaptionedWindowNotShown) {
  EnsureWindowsStarted();
  HWND window = (HWND)OpenWindow(1, 20, 20, 200, 100, "hidden", kWindowHidden);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU);
}

TEST(Window, BorderOnlyFlagsReachWin32Unchanged) {
  EnsureWindowsStarted();
  // The style Win32 is given, as the creation message reports it.
  static DWORD created;
  gWindows.events->globalCallback = [](HWND, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
    if (message == WM_NCCREATE) created = ((CREATESTRUCTA*)lParam)->style;
    return CONTINUE_RUNTIME;
  };
  HWND window = (HWND)OpenWindow(2, 30, 30, 100, 50, nullptr, WS_BORDER | kWindowHidden);
  gWindows.events->globalCallback = nullptr;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(created & ~WS_CLIPSIBLINGS, (DWORD)WS_BORDER);
  char title[8] = "x";
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "");
  CloseWindowObject(2);
}

TEST(Window, ReopeningANumberClosesTheOldWindowAndClosingUnregistersTheClass) {
  EnsureWindowsStarted();
  HWND first = (HWND)OpenWindow(3, 10, 10, 120, 80, "first", kWindowHidden);
  ASSERT_NE(first, nullptr);
  HWND second = (HWND)OpenWindow(3, 10, 10, 120, 80, "second", kWindowHidden);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(second));
  EXPECT_EQ(WindowHandle(3), second);
  EXPECT_EQ(ClassOf(second), "WindowClass_3");

  CloseWindowObject(3);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_FALSE(ClassRegistered("WindowClass_3"));
  EXPECT_EQ(WindowExists(3), 0);
  EXPECT_EQ(WindowHandle(3), nullptr);
  CloseWindowObject(3);  // a second close of the number is ignored
}

TEST(Window, AnyIdWindowIsNamedByItsNumber) {
  EnsureWindowsStarted();
  intptr_t number = OpenWindow(AnyID, 10, 10, 100, 60, "dynamic", kWindowHidden);
  ASSERT_NE(number, 0);
  EXPECT_EQ((void*)RecordOf(number), (void*)number);
  EXPECT_EQ(WindowExists(number), number);
  HWND window = WindowHandle(number);
  ASSERT_NE(window, nullptr);
  std::string name = "WindowClass_" + std::to_string((long long)number);
  EXPECT_EQ(ClassOf(window), name);
  EXPECT_EQ(GetPropA(window, "TQ_WindowID"), (HANDLE)(number + 1));

  CloseWindowObject(number);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(ClassRegistered(name.c_str()));
  EXPECT_EQ(WindowExists(number), 0);
}

TEST(Window, PlacementRules) {
  HWND demo = DemoWindow();
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);

  HWND wide = (HWND)OpenWindow(4, 100, 100, screenWidth + 500, 100, "wide", kWindowHidden | kWindowCentreOnScreen);
  ASSERT_NE(wide, nullptr);
  RECT r = OuterRect(wide);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right - r.left, screenWidth);
  CloseWindowObject(4);

  // Centring on the active window when there is no owner.
  ASSERT_EQ(GetActiveWindow(), demo);
  HWND centred = (HWND)OpenWindow(4, 0, 0, 200, 100, "owner", kWindowHidden | kWindowCentreOnOwner);
  ASSERT_NE(centred, nullptr);
  RECT reference = OuterRect(demo);
  r = OuterRect(centred);
  EXPECT_EQ(r.left, reference.left + ((reference.right - reference.left) - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, reference.top + ((reference.bottom - reference.top) - (r.bottom - r.top)) / 2);
  CloseWindowObject(4);

  // -65535 without a centring bit lets Win32 choose; with bit 0x1 the centred place wins.
  static POINT asked;
  gWindows.events->globalCallback = [](HWND, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
    if (message == WM_NCCREATE) asked = POINT{((CREATESTRUCTA*)lParam)->x, ((CREATESTRUCTA*)lParam)->y};
    return CONTINUE_RUNTIME;
  };
  HWND placed = (HWND)OpenWindow(4, kWindowDefaultPosition, 10, 100, 60, "default", kWindowHidden);
  ASSERT_NE(placed, nullptr);
  EXPECT_NE(asked.x, kWindowDefaultPosition);
  EXPECT_NE(OuterRect(placed).left, kWindowDefaultPosition);
  CloseWindowObject(4);
  HWND middle = (HWND)OpenWindow(4, kWindowDefaultPosition, kWindowDefaultPosition, 300, 60, "centre",
                                 kWindowHidden | kWindowCentreOnScreen);
  gWindows.events->globalCallback = nullptr;
  ASSERT_NE(middle, nullptr);
  r = OuterRect(middle);
  EXPECT_EQ(r.left, (screenWidth - (r.right - r.left)) / 2);
  CloseWindowObject(4);
}

TEST(Window, CursorPositionCountsTheRightAndBottomEdgesAsInside) {
  HWND window = DemoWindow();
  POINT saved;
  GetCursorPos(&saved);
  POINT corner{800, 600};
  ClientToScreen(window, &corner);

  SetCursorPos(corner.x, corner.y);
  EXPECT_EQ(WindowCursorX(0), 800);
  EXPECT_EQ(WindowCursorY(0), 600);
  SetCursorPos(corner.x + 1, corner.y);
  EXPECT_EQ(WindowCursorX(0), -1);
  SetCursorPos(corner.x, corner.y + 1);
  EXPECT_EQ(WindowCursorY(0), -1);
  SetCursorPos(corner.x - 801, corner.y - 300);
  EXPECT_EQ(WindowCursorX(0), -1);
  SetCursorPos(corner.x - 800, corner.y - 600);
  EXPECT_EQ(WindowCursorX(0), 0);
  EXPECT_EQ(WindowCursorY(0), 0);

  SetCursorPos(saved.x, saved.y);
  EXPECT_EQ(WindowCursorX(99), -1);
  EXPECT_EQ(WindowCursorY(99), -1);
}

TEST(Window, NumbersThatNameNoWindowAreRefusedOrIgnored) {
  EnsureWindowsStarted();
  EXPECT_EQ(OpenWindow(-5, 0, 0, 10, 10, "bad", kWindowHidden), 0);
  EXPECT_EQ(WindowHandle(12345), nullptr);
  EXPECT_EQ(WindowExists(12345), 0);
  EXPECT_EQ(WindowExists(AnyID), 0);
  int local = 0;
  EXPECT_EQ(WindowExists((intptr_t)&local), 0);  // an address never issued as a window number
  EXPECT_EQ(WindowHandle((intptr_t)&local), nullptr);
  CloseWindowObject(777);
  CloseWindowObject((intptr_t)&local);
}

TEST(Window, RepeatedLibraryStartKeepsItsWindowsAndState) {
  HWND demo = DemoWindow();
  ObjectRegistry* windows = gWindows.windows;
  EventState* events = gWindows.events;
  SizingState* sizing = gWindows.sizing;
  InitWindowLibrary();
  EXPECT_EQ(gWindows.windows, windows);
  EXPECT_EQ(gWindows.events, events);
  EXPECT_EQ(gWindows.sizing, sizing);
  EXPECT_EQ(WindowHandle(0), demo);
}

// As the window library: a second start keeps the controls, the state and the lock, held or not.
TEST(Window, RepeatedControlLibraryStartKeepsItsControlsStateAndLock) {
  EnsureWindowsStarted();
  ObjectRegistry* controls = gControls.controls;
  ControlState* state = gControls.state;
  ASSERT_TRUE(controls && state);
  auto* record = (ControlRecord*)RegistryAllocate(controls, 3);
  ASSERT_NE(record, nullptr);
  record->window = GetDesktopWindow();  // live, and no window the release may destroy
  EnterCriticalSection(&gControls.lock);
  InitControlLibrary();
  EXPECT_EQ(gControls.lock.RecursionCount, 1) << "the held lock was made anew";
  LeaveCriticalSection(&gControls.lock);
  EXPECT_EQ(gControls.controls, controls);
  EXPECT_EQ(gControls.state, state);
  EXPECT_NE(RegistryLookup(gControls.controls, 3), nullptr);
  RegistryFree(gControls.controls, 3);
}

TEST(Window, LibraryEndClosesEveryWindow) {
  EnsureWindowsStarted();
  // The library end on a registry of its own, so the shared windows stay open.
  ObjectRegistry* shared = gWindows.windows;
  gWindows.windows = RegistryCreate(sizeof(WindowRecord), 16, CloseWindowObject);
  HWND a = (HWND)OpenWindow(5, 0, 0, 50, 50, "a", kWindowHidden);
  intptr_t dynamic = OpenWindow(AnyID, 0, 0, 50, 50, "b", kWindowHidden);
  HWND b = WindowHandle(dynamic);
  ASSERT_TRUE(a && b);
  EndWindowLibrary();
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_FALSE(ClassRegistered("WindowClass_5"));
  EXPECT_EQ(WindowExists(5), 0);
  gWindows.windows = shared;
  EXPECT_EQ(WindowHandle(0), DemoWindow());
}

namespace {
// A registry of its own whose slot array callbacks grow: the global callback, armed with GrowOn,
// opens a hidden window with a number past the registry's capacity at the first such message.
class GrowingRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureWindowsStarted();
    DrainEvents();
    shared_ = gWindows.windows;
    gWindows.windows = RegistryCreate(sizeof(WindowRecord), 16, CloseWindowObject);
    gWindows.events->globalCallback = Grow;
  }
  void TearDown() override {
    gWindows.events->globalCallback = nullptr;
    EndWindowLibrary();
    gWindows.windows = shared_;
    DrainEvents();
  }
  // Arms the callback for the message; returns the number it will open.
  static ObjectNumber GrowOn(UINT message) {
    growOn_ = message;
    growTo_ = gWindows.windows->capacity + 20000;
    slots_ = gWindows.windows->slots;
    return growTo_;
  }
  static bool SlotsMoved() { return growTo_ == 0 && gWindows.windows->slots != slots_; }
  // Window 12 on a slot array so large that the next move gives its memory back to the system.
  static HWND OpenOnLargeSlots() {
    OpenWindow(gWindows.windows->capacity + 20000, 0, 0, 40, 40, "large", kWindowHidden);
    return (HWND)OpenWindow(12, 0, 0, 60, 60, "opened", kWindowHidden);
  }

 private:
  static LRESULT Grow(HWND, UINT message, WPARAM, LPARAM) {
    if (message == growOn_ && growTo_) {
      ObjectNumber number = growTo_;
      growTo_ = 0;
      OpenWindow(number, 0, 0, 40, 40, "grown", kWindowHidden);
    }
    return CONTINUE_RUNTIME;
  }
  static inline UINT growOn_ = 0;
  static inline ObjectNumber growTo_ = 0;
  static inline uint8_t* slots_ = nullptr;
  ObjectRegistry* shared_ = nullptr;
};
}  // namespace

TEST_F(GrowingRegistry, OpeningFindsItsRecordAgainAfterCreation) {
  ObjectNumber grown = GrowOn(WM_NCCREATE);
  HWND window = (HWND)OpenWindow(12, 0, 0, 60, 60, "opened", kWindowHidden);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(SlotsMoved());
  EXPECT_EQ(WindowHandle(12), window);
  ASSERT_NE(RecordOf(12), nullptr);
  EXPECT_NE(RecordOf(12)->acceleratorTable, nullptr);
  EXPECT_NE(WindowHandle(grown), nullptr);
}

TEST_F(GrowingRegistry, TheWindowProcedureFindsTheRecordAgainAfterCallbacks) {
  HWND window = OpenOnLargeSlots();
  ASSERT_NE(window, nullptr);
  DrainEvents();
  GrowOn(WM_SIZE);
  EXPECT_EQ(SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(60, 60)), 0);
  ASSERT_TRUE(SlotsMoved());
  EXPECT_EQ(PollWindowEvent(), EVENT_RESIZE);
  EXPECT_EQ(EventWindow(), 12);
}

TEST_F(GrowingRegistry, ClosingReleasesWhatTheRecordHeldWhileDestroyCallbacksMoveTheSlots) {
  HWND window = OpenOnLargeSlots();
  ASSERT_NE(window, nullptr);
  HACCEL table = RecordOf(12)->acceleratorTable;
  ObjectNumber grown = GrowOn(WM_DESTROY);
  CloseWindowObject(12);
  ASSERT_TRUE(SlotsMoved());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(WindowExists(12), 0);
  EXPECT_FALSE(ClassRegistered("WindowClass_12"));
  EXPECT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 0);  // destroyed
  EXPECT_NE(WindowHandle(grown), nullptr);
}
