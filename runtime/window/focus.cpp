// Tab and Shift+Tab among the controls of the active runtime window, as dialogs do it: choosing the
// accelerator table for a message and walking the window's descendants to move the focus.

#include <windows.h>

#include <cstring>

#include "runtime/core/registry_internal.h"
#include "runtime/window/window_internal.h"

namespace {
constexpr WPARAM kEditGetOptions = 0x044E;  // EM_GETOPTIONS
constexpr LRESULT kEditReadOnly = 0x800;    // ECO_READONLY
constexpr char kMdiChildClass[] = "MDI_ChildClass";

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool ClassIs(HWND window, const char* name) {
  char className[51];
  return GetClassNameA(window, className, sizeof className) > 0 && strcmp(className, name) == 0;
}

// A plain Tab typed into an editable rich-text control is text, not navigation.
bool TabIsTyping() {
  if (!KeyDown(VK_TAB) || KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU)) return false;
  HWND focus = GetFocus();
  char className[8];
  if (!focus || GetClassNameA(focus, className, sizeof className) < 4 || strncmp(className, "Rich", 4) != 0) {
    return false;
  }
  return (SendMessageA(focus, kEditGetOptions, 0, 0) & kEditReadOnly) == 0;
}

struct FocusWalk {
  HWND current;
  HWND previous;
  bool passOn;
  bool done;
};

bool Eligible(HWND window) {
  return IsWindowEnabled(window) && IsWindowVisible(window) && (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP);
}

BOOL CALLBACK WalkForward(HWND window, LPARAM user) {
  auto* walk = (FocusWalk*)user;
  if (!Eligible(window)) return TRUE;
  if (walk->passOn || !walk->current) {
    SetFocus(window);
    walk->passOn = false;
    return FALSE;
  }
  if (window == walk->current) walk->passOn = true;
  return TRUE;
}

BOOL CALLBACK WalkBackward(HWND window, LPARAM user) {
  auto* walk = (FocusWalk*)user;
  if (!Eligible(window)) return TRUE;
  if (window == walk->current && walk->previous) {
    SetFocus(walk->previous);
    walk->done = true;
    return FALSE;
  }
  walk->previous = window;
  return TRUE;
}
}  // namespace

HACCEL ChooseAccelerators(HWND active) {
  if (TabIsTyping() || !active) return nullptr;
  HANDLE property = GetPropA(active, kWindowIdProperty);
  if (!property) return nullptr;
  auto* record = (WindowRecord*)RegistryLookup(gWindows.windows, (ObjectNumber)property - 1);
  return record ? record->acceleratorTable : nullptr;
}

void CycleFocus(int32_t backward) {
  HWND root = GetActiveWindow();
  HWND focus = GetFocus();
  FocusWalk walk{};
  if (!root) return;
  if (focus && IsChild(root, focus)) {
    walk.current = focus;
    // Inside an MDI child the walk stays among that child's descendants.
    HWND top = root;
    for (HWND w = focus; w && w != top; w = GetParent(w)) {
      if (!ClassIs(w, kMdiChildClass)) continue;
      root = w;
      if (w == focus) walk.current = nullptr;
    }
  }
  if (!backward) {
    EnumChildWindows(root, WalkForward, (LPARAM)&walk);
    if (walk.passOn) EnumChildWindows(root, WalkForward, (LPARAM)&walk);
    return;
  }
  EnumChildWindows(root, WalkBackward, (LPARAM)&walk);
  if (!walk.done && walk.previous) SetFocus(walk.previous);
}
