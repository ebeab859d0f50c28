// The modal message box: the calling thread's other windows are disabled while it is shown and
// enabled again afterwards, keyed by thread so that other threads' windows are never touched.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <commctrl.h>
#include <ole2.h>

#include "runtime/core/registry_internal.h"
#include "runtime/window/window_internal.h"

MessageBoxLibrary gMessageBoxes;

namespace {
BOOL CALLBACK DisableThreadWindow(HWND window, LPARAM) {
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || window == GetForegroundWindow()) return TRUE;
  auto* node =
      (DisabledWindowNode*)NodeListAdd(&gMessageBoxes.disabledWindows, sizeof(ObjectNode) + sizeof(DisabledWindowNode));
  if (!node) return TRUE;  // without a record it could never be enabled again
  node->thread = GetCurrentThreadId();
  node->window = window;
  // Filled first: disabling runs the window's callbacks, which may show a message box themselves.
  EnableWindow(window, FALSE);
  return TRUE;
}

DisabledWindowNode* FirstOfThread(DWORD thread) {
  for (ObjectNode* node = gMessageBoxes.disabledWindows; node; node = node->older) {
    auto* record = (DisabledWindowNode*)NodeRecord(node);
    if (record->thread == thread) return record;
  }
  return nullptr;
}

// Each node leaves the list before its window is enabled, and the walk starts again from the head:
// enabling runs the window's callbacks, which may show a message box and change the list.
void EnableThreadWindows() {
  DWORD thread = GetCurrentThreadId();
  while (DisabledWindowNode* record = FirstOfThread(thread)) {
    HWND window = record->window;
    NodeListRemove(&gMessageBoxes.disabledWindows, record);
    EnableWindow(window, TRUE);
  }
}
}  // namespace

void InitMessageBoxes() {
  InitCommonControls();
  CoInitialize(nullptr);
}

void SuspendThreadWindows(int32_t disable) {
  if (disable) {
    EnumWindows(DisableThreadWindow, 0);
  } else {
    EnableThreadWindows();
  }
}

HWND ProcessForegroundWindow() {
  HWND foreground = GetForegroundWindow();
  if (!foreground) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : nullptr;
}

int32_t ShowMessageBox(const char* title, const char* text, uint32_t flags) {
  SuspendThreadWindows(1);
  HWND owner = ProcessForegroundWindow();
  int32_t result = MessageBoxA(owner, text ? text : "", title ? title : "", flags);
  SuspendThreadWindows(0);
  return result;
}

int32_t ShowMessageBox(const char* title, const char* text) { return ShowMessageBox(title, text, 0); }
