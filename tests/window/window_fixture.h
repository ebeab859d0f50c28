// Shared set-up of the window tests: the libraries started once, the demo's window 0 and a few
// hidden windows opened on first use and kept (Wine takes two seconds to hide or destroy a visible
// window), and helpers that empty or inspect the event queue.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/core/registry_internal.h"
#include "runtime/window/window.h"
#include "runtime/window/window_internal.h"
#include "support/core_setup.h"

inline void EnsureWindowsStarted() {
  static bool started = [] {
    EnsureCoreStarted();
    InitMessageBoxes();
    InitControlLibrary();
    InitWindowLibrary();
    return true;
  }();
  (void)started;
}

constexpr uint32_t kDemoFlags = 0x00CA0001;

// Reads events until none is queued and no message is waiting.
inline void DrainEvents() {
  for (int i = 0; i < 10000; ++i) {
    if (PollWindowEvent() == 0 && !gWindows.events->head) return;
  }
}

inline int QueuedEvents() {
  int count = 0;
  for (EventNode* node = gWindows.events->head; node; node = node->next) ++count;
  return count;
}

// Makes the window the foreground and active one, asking again until both hold or ten seconds
// have passed (a busy display may take its time); true once they hold.
inline bool BringToFront(HWND window) {
  DWORD start = GetTickCount();
  do {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    DrainEvents();
    if (GetForegroundWindow() == window && GetActiveWindow() == window) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  } while (IsWindow(window) && GetTickCount() - start < 10000);
  return false;
}

// Window 0 as the demonstration opens it, in front.
inline HWND DemoWindow() {
  EnsureWindowsStarted();
  static HWND window = (HWND)OpenWindow(0, 0, 0, 800, 600, "hurz", kDemoFlags);
  if (GetForegroundWindow() != window || GetActiveWindow() != window) BringToFront(window);
  return window;
}

// A hidden captioned window of the given number and client size, opened once.
inline HWND HiddenWindow(ObjectNumber number, int width = 200, int height = 120) {
  EnsureWindowsStarted();
  if (HWND window = WindowHandle(number)) return window;
  return (HWND)OpenWindow(number, 20, 20, width, height, "hidden", kWindowHidden | kWindowDefaultFlags);
}

inline WindowRecord* RecordOf(ObjectNumber number) { return (WindowRecord*)RegistryLookup(gWindows.windows, number); }

inline bool ClassRegistered(const char* name) {
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  return GetClassInfoExA(GetModuleHandleA(nullptr), name, &info) != 0;
}
