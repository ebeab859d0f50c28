// Input on the test display that reaches its window on a busy machine as on a quiet one. The display
// (Xvfb, no window manager) sends keys to the X window under the pointer, and Wine hands them to
// the foreground window: a window gets keys and clicks once it is in front with the pointer over
// it. So every press first brings its window to the front and checks that it is, waits for what it
// can observe rather than for a fixed time, and presses again, within a bounded time, when a press
// was lost.
#pragma once
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "support/unix_command.h"

// Waits up to timeoutMs for done(), dispatching this thread's messages meanwhile (its own windows
// become active and receive their input through them). done() is asked at least once.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

inline bool PointerAt(POINT screen) {
  POINT at;
  return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
}

// Moves the pointer to a point of the screen and waits until Wine reports it there.
inline bool MovePointerTo(POINT screen, DWORD timeoutMs = 5000) {
  if (RunUnixCommand("xdotool mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y)) != 0)
    return false;
  return WaitUntil([&] { return PointerAt(screen); }, timeoutMs);
}

// The screen point of a client point; (-1, -1) stands for the middle of the client area.
inline POINT ClientPointOnScreen(HWND window, POINT client = {-1, -1}) {
  if (client.x < 0 || client.y < 0) {
    RECT area;
    GetClientRect(window, &area);
    client = POINT{area.right / 2, area.bottom / 2};
  }
  ClientToScreen(window, &client);
  return client;
}

// Makes the window the foreground window with the pointer over the client point, asking again
// until both hold or timeoutMs has passed; true once they hold.
inline bool BringToFront(HWND window, POINT client = {-1, -1}, DWORD timeoutMs = 15000) {
  DWORD start = GetTickCount();
  do {
    POINT screen = ClientPointOnScreen(window, client);
    if (!PointerAt(screen)) MovePointerTo(screen, 1000);
    if (GetForegroundWindow() != window) SetForegroundWindow(window);
    if (WaitUntil([&] { return GetForegroundWindow() == window && PointerAt(screen); }, 1000)) return true;
  } while (IsWindow(window) && GetTickCount() - start < timeoutMs);
  return false;
}

// Holds an input down (the xdotool command `down`; `up` lets it go) with the window in front and the
// pointer at the client point until done() holds: a press not seen within holdMs is let go and
// made again, the window brought to the front first, until timeoutMs has passed. True once done()
// held. When it held during a press, the input is still down, for the caller to let go; otherwise
// every press was let go already, and done() is asked once more, a window that went away (the
// press ended its program) being given the rest of the time to show it.
inline bool HoldUntil(HWND window, const std::string& down, const std::string& up, const std::function<bool()>& done,
                      POINT client, DWORD holdMs, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  auto left = [&] { return timeoutMs - std::min<DWORD>(GetTickCount() - start, timeoutMs); };
  while (IsWindow(window) && left() > 0) {
    if (!BringToFront(window, client, std::min<DWORD>(left(), timeoutMs / 3))) continue;
    if (RunUnixCommand("xdotool " + down) != 0) continue;
    if (WaitUntil(done, std::min<DWORD>(holdMs, left()))) return true;
    RunUnixCommand("xdotool " + up);
    holdMs += holdMs / 2;  // a slower machine gets longer presses
  }
  return WaitUntil(done, left());
}

// A key (xdotool's name for it) held until done(), then let go.
inline bool PressKeyUntil(HWND window, const std::string& key, const std::function<bool()>& done,
                          POINT client = {-1, -1}, DWORD holdMs = 3000, DWORD timeoutMs = 45000) {
  bool seen = HoldUntil(window, "keydown " + key, "keyup " + key, done, client, holdMs, timeoutMs);
  if (seen) RunUnixCommand("xdotool keyup " + key);
  return seen;
}

// A mouse button (1 left, 2 middle, 3 right) held at the client point until done(); it stays down.
inline bool HoldButtonUntil(HWND window, int button, const std::function<bool()>& done, POINT client,
                            DWORD holdMs = 3000, DWORD timeoutMs = 45000) {
  std::string name = std::to_string(button);
  return HoldUntil(window, "mousedown " + name, "mouseup " + name, done, client, holdMs, timeoutMs);
}
