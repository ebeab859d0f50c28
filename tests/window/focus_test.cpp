// Tab and Shift+Tab among the children of the active runtime window, directly and through the
// event reader's accelerator step.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <gtest/gtest.h>
#include <richedit.h>

#include <cstring>

#include "window/window_fixture.h"

namespace {
HWND Child(HWND parent, DWORD style, const char* className = "HurzFocusChild") {
  static bool registered = [] {
    WNDCLASSA child{};
    child.lpfnWndProc = DefWindowProcA;
    child.hInstance = GetModuleHandleA(nullptr);
    child.lpszClassName = "HurzFocusChild";
    RegisterClassA(&child);
    child.lpszClassName = "MDI_ChildClass";
    RegisterClassA(&child);
    return true;
  }();
  (void)registered;
  return CreateWindowExA(0, className, "", WS_CHILD | style, 0, 0, 30, 20, parent, nullptr, nullptr, nullptr);
}

// Children of the demo window in creation order: P, hidden, Q, disabled, R, a child without
// WS_TABSTOP, and a hidden MDI child holding two eligible controls.
struct Children {
  HWND p, hidden, q, disabled, r, plain, mdi, m1, m2;
};

Children& Shared() {
  static Children c = [] {
    HWND root = DemoWindow();
    Children c{};
    c.p = Child(root, WS_VISIBLE | WS_TABSTOP);
    c.hidden = Child(root, WS_TABSTOP);
    c.q = Child(root, WS_VISIBLE | WS_TABSTOP);
    c.disabled = Child(root, WS_VISIBLE | WS_TABSTOP | WS_DISABLED);
    c.r = Child(root, WS_VISIBLE | WS_TABSTOP);
    c.plain = Child(root, WS_VISIBLE);
    c.mdi = Child(root, 0, "MDI_ChildClass");
    c.m1 = Child(c.mdi, WS_VISIBLE | WS_TABSTOP);
    c.m2 = Child(c.mdi, WS_VISIBLE | WS_TABSTOP);
    return c;
  }();
  return c;
}

class Focus : public ::testing::Test {
 protected:
  void SetUp() override {
    root = DemoWindow();
    c = Shared();
    ASSERT_EQ(GetActiveWindow(), root);
    DrainEvents();
  }
  HWND FocusAfter(HWND start, int32_t backward) {
    SetFocus(start);
    CycleFocus(backward);
    return GetFocus();
  }
  HWND root = nullptr;
  Children c{};
};

// Sets the keys the accelerator step and the Tab exception look at, as GetKeyState reports them.
void SetKeys(bool tab, bool shift, bool control) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_TAB] = tab ? 0x80 : 0;
  keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = keys[VK_LCONTROL] = control ? 0x80 : 0;
  keys[VK_MENU] = 0;
  SetKeyboardState(keys);
}
}  // namespace

TEST_F(Focus, TabWrapsAndShiftTabGoesBack) {
  EXPECT_EQ(FocusAfter(c.r, 0), c.p);  // past the last, the second walk starts over
  EXPECT_EQ(FocusAfter(c.p, 1), c.r);
  EXPECT_EQ(FocusAfter(c.q, 1), c.p);
}

TEST_F(Focus, HiddenAndDisabledChildrenAreSkipped) {
  EXPECT_EQ(FocusAfter(c.p, 0), c.q);
  EXPECT_EQ(FocusAfter(c.q, 0), c.r);
  EXPECT_EQ(FocusAfter(c.r, 1), c.q);
}

TEST_F(Focus, WithNoFocusedChildTabTakesTheFirstAndShiftTabTheLast) {
  EXPECT_EQ(FocusAfter(root, 0), c.p);
  EXPECT_EQ(FocusAfter(root, 1), c.r);
}

TEST_F(Focus, FromAChildWithoutTabStopOnlyShiftTabMoves) {
  EXPECT_EQ(FocusAfter(c.plain, 0), c.plain);
  EXPECT_EQ(FocusAfter(c.plain, 1), c.r);
}

TEST_F(Focus, InsideAnMdiChildTheWalkStaysAmongItsControls) {
  ShowWindow(c.mdi, SW_SHOWNA);
  EXPECT_EQ(FocusAfter(c.m2, 0), c.m1);
  EXPECT_EQ(FocusAfter(c.m1, 1), c.m2);
  EXPECT_EQ(FocusAfter(c.mdi, 0), c.m1);
  ShowWindow(c.mdi, SW_HIDE);
}

TEST_F(Focus, TabMessagesMoveTheFocusThroughTheAccelerators) {
  SetFocus(c.q);
  SetKeys(false, false, false);
  PostMessageA(c.q, WM_KEYDOWN, VK_TAB, 0x000F0001);
  EXPECT_EQ(PollWindowEvent(), WM_KEYDOWN);  // translated: no event of its own
  EXPECT_EQ(GetFocus(), c.r);
  EXPECT_EQ(QueuedEvents(), 0);

  SetKeys(false, true, false);
  PostMessageA(c.r, WM_KEYDOWN, VK_TAB, 0x000F0001);
  EXPECT_EQ(PollWindowEvent(), WM_KEYDOWN);
  EXPECT_EQ(GetFocus(), c.q);

  // Ctrl+Tab matches neither entry and reaches the focused window.
  SetKeys(false, false, true);
  PostMessageA(c.q, WM_KEYDOWN, VK_TAB, 0x000F0001);
  EXPECT_EQ(PollWindowEvent(), WM_KEYDOWN);
  EXPECT_EQ(GetFocus(), c.q);
  SetKeys(false, false, false);
  DrainEvents();
}

TEST_F(Focus, PlainTabIsTypedIntoAnEditableRichTextControl) {
  ASSERT_NE(LoadLibraryA("riched20.dll"), nullptr);
  HWND rich =
      CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | WS_VISIBLE, 100, 100, 80, 40, root, nullptr, nullptr, nullptr);
  ASSERT_NE(rich, nullptr);
  char className[32];
  GetClassNameA(rich, className, sizeof className);
  ASSERT_EQ(strncmp(className, "Rich", 4), 0);
  WindowRecord* record = RecordOf(0);
  SetFocus(rich);
  ASSERT_EQ(GetFocus(), rich);

  SetKeys(true, false, false);
  EXPECT_EQ(ChooseAccelerators(root), nullptr);
  SetKeys(true, true, false);  // Shift+Tab still navigates
  EXPECT_EQ(ChooseAccelerators(root), record->acceleratorTable);
  SendMessageA(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
  SetKeys(true, false, false);
  EXPECT_EQ(ChooseAccelerators(root), record->acceleratorTable);
  SetKeys(false, false, false);

  EXPECT_EQ(ChooseAccelerators(nullptr), nullptr);
  EXPECT_EQ(ChooseAccelerators(c.p), nullptr);  // not a runtime window
  DestroyWindow(rich);
  DrainEvents();
}
