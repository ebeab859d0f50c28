// Numbered top-level windows, the events the program reads from them, keyboard focus navigation
// among a window's controls and the modal message box. Each window has a class of its own whose
// procedure turns Win32 messages into the integer events of PollWindowEvent.
#pragma once
#include <windows.h>

#include <cstdint>

#include "runtime/core/registry.h"

// Events returned by the event readers. Any other non-zero value is a raw message number.
enum : int32_t {
  EVENT_NONE = 0,
  EVENT_MOVE = 3,
  EVENT_RESIZE = 5,
  EVENT_REPAINT = 15,
  EVENT_CLOSE = 16,
  EVENT_CONTROL = 13100,
  EVENT_MENU = 13101,
  EVENT_TRAY = 13102,
  EVENT_ACTIVATE = 13104,
  EVENT_DROP_WINDOW = 13105,
  EVENT_DROP_CONTROL = 13106,
};

// Open flags of the runtime's own, mixed with Win32 window styles.
constexpr uint32_t kWindowCentreOnScreen = 0x1;
constexpr uint32_t kWindowCentreOnOwner = 0x2;
constexpr uint32_t kWindowHidden = 0x10000000;
constexpr uint32_t kWindowMaximised = 0x01000000;
constexpr uint32_t kWindowMinimised = 0x20000000;
constexpr uint32_t kWindowDefaultFlags = 0x00C80000;  // caption and system menu
// An x or y of this value lets Win32 place the window, unless a centring bit is set.
constexpr int32_t kWindowDefaultPosition = -65535;

// Window library start and end; the control library start (it has no end).
void InitWindowLibrary();
void EndWindowLibrary();
void InitControlLibrary();

// 0 on failure; for AnyID the new window number, otherwise the window's HWND. Re-using the number
// of an open window closes that window first. A null title is the empty title.
intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                    uint32_t flags);
intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title);
void CloseWindowObject(ObjectNumber number);
HWND WindowHandle(ObjectNumber number);
intptr_t WindowExists(ObjectNumber number);
// The mouse position in the window's client area, the right and bottom edges included; -1 outside
// it or for a number that names no window.
int32_t WindowCursorX(ObjectNumber number);
int32_t WindowCursorY(ObjectNumber number);

// One event per call: a queued event first, otherwise at most one message is read and dispatched.
// Timeout 0 does not wait, -1 waits without limit, otherwise at most that many milliseconds.
int32_t ReadWindowEvent(int32_t timeout);
int32_t PollWindowEvent();
int32_t AwaitWindowEvent();
// About the event last read: the runtime window it belongs to (-1 when none), its type (-1 when it
// has none), its data (control number, menu item or icon number) and, for a raw message, its
// parameters. The drop record is valid until the next read.
ObjectNumber EventWindow();
int32_t EventType();
intptr_t EventData();
WPARAM EventwParam();
LPARAM EventlParam();
void* EventDropRecord();

// Message boxes: the start routine (common controls and COM) and the modal box, which disables
// the calling thread's other windows while it is shown. The result is MessageBoxA's.
void InitMessageBoxes();
int32_t ShowMessageBox(const char* title, const char* text, uint32_t flags);
int32_t ShowMessageBox(const char* title, const char* text);
