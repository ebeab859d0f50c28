/// \file
/// Numbered top-level windows, the events the program reads from them, keyboard focus navigation
/// among a window's controls (Tab and Shift+Tab) and the modal message box. Each window has a class
/// of its own whose procedure turns Win32 messages into the integer events of the event readers.
///
/// Window events carry Win32's own values: a key pressed in a window comes as the raw message
/// WM_KEYDOWN (256) with the virtual-key code (VK_ESCAPE, 'A', ...) in EventwParam(), not as the
/// DirectInput key codes that IsKeyDown takes. Sizes and positions are in pixels.
#pragma once
#include <windows.h>

#include <cstdint>

#include "runtime/core/registry.h"

/// Events returned by the event readers. Any other non-zero value is the number of a raw Win32
/// message (WM_KEYDOWN, WM_LBUTTONDOWN, ...), whose parameters EventwParam and EventlParam give.
enum : int32_t {
  EVENT_NONE = 0,              ///< nothing happened
  EVENT_MOVE = 3,              ///< a window was moved
  EVENT_RESIZE = 5,            ///< a window's size changed (not when minimised)
  EVENT_REPAINT = 15,          ///< a window's background was drawn: repaint its content
  EVENT_CLOSE = 16,            ///< the user asked to close a window (the window stays open)
  EVENT_CONTROL = 13100,       ///< a control reported: EventData() is its number, EventType() its code
  EVENT_MENU = 13101,          ///< a menu item or accelerator was chosen: EventData() is the item
  EVENT_TRAY = 13102,          ///< a tray icon was clicked: EventData() is the icon, EventType() 0..3
  EVENT_ACTIVATE = 13104,      ///< a window was activated
  EVENT_DROP_WINDOW = 13105,   ///< something was dropped on a window: EventDropRecord()
  EVENT_DROP_CONTROL = 13106,  ///< something was dropped on a control: EventDropRecord(), EventData()
};

/// Open flag: centre the window on the screen (narrowed to the screen when larger).
constexpr uint32_t kWindowCentreOnScreen = 0x1;
/// Open flag: centre the window on its owner, or on the active window.
constexpr uint32_t kWindowCentreOnOwner = 0x2;
/// Open flag: leave the window hidden (show it with ShowWindow).
constexpr uint32_t kWindowHidden = 0x10000000;
/// Open flag: show the window maximised.
constexpr uint32_t kWindowMaximised = 0x01000000;
/// Open flag: show the window minimised.
constexpr uint32_t kWindowMinimised = 0x20000000;
/// The flags of the short OpenWindow: a caption and a system menu (WS_CAPTION | WS_SYSMENU).
constexpr uint32_t kWindowDefaultFlags = 0x00C80000;
/// An x or y of this value lets Win32 place the window, unless a centring flag is set.
constexpr int32_t kWindowDefaultPosition = -65535;

/// Start routine of the window library: the window registry and the event queue. A repeated start
/// keeps the open windows and the queued events.
void InitWindowLibrary();
/// End routine of the window library: closes every window and frees the drop records not yet read.
void EndWindowLibrary();
/// Start routine of the control library (common controls); it has no end routine.
void InitControlLibrary();

/// Opens a top-level window with a class of its own.
/// \param number the window's number, or AnyID; a number in use closes that window first.
/// \param x,y the outer window's top-left corner on the screen, in pixels; kWindowDefaultPosition
///   lets Win32 place it, and a centring flag overrides both.
/// \param width,height the size of the client area in pixels (the frame is added around it).
/// \param title the caption (null is the empty title).
/// \param flags Win32 window styles (WS_...) mixed with the kWindow... flags above; flags without any
///   Win32 style get a caption. The window is shown unless kWindowHidden is given.
/// \return for AnyID the new window number, otherwise the window's HWND; 0 on failure.
intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                    uint32_t flags);
/// OpenWindow with kWindowDefaultFlags: a shown window with a caption and a system menu.
intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title);
/// Closes the window and frees its number; a number that names no window is ignored.
void CloseWindowObject(ObjectNumber number);
/// \return the window's HWND, or null for a number that names no window.
HWND WindowHandle(ObjectNumber number);
/// \return non-zero when the number names an open window, else 0.
intptr_t WindowExists(ObjectNumber number);
/// \return the mouse's x in the window's client area in pixels, the right edge included; -1 outside
///   it or for a number that names no window.
int32_t WindowCursorX(ObjectNumber number);
/// \return the mouse's y in the window's client area in pixels, the bottom edge included; -1 outside
///   it or for a number that names no window.
int32_t WindowCursorY(ObjectNumber number);

/// Reads one event: first a command, tray or drop event that a nested message loop (a message
/// box's) dispatched since the last read, then a queued event, otherwise at most one Win32 message
/// of the thread is read and dispatched (window procedures run inside this call).
/// \param timeout 0 does not wait, -1 waits without limit, otherwise at most that many milliseconds.
/// \return an EVENT_ value, the number of the raw message read, or EVENT_NONE when nothing came.
int32_t ReadWindowEvent(int32_t timeout);
/// ReadWindowEvent(0): an event or message if one is waiting, without waiting.
int32_t PollWindowEvent();
/// ReadWindowEvent(-1): waits until a message comes.
int32_t AwaitWindowEvent();
/// \return the number of the runtime window the last event belongs to, -1 when none.
ObjectNumber EventWindow();
/// \return the last event's type (a control's notification code, a tray click 0..3), -1 when it
///   has none.
int32_t EventType();
/// \return the last event's data: a control number, menu item or tray icon number.
intptr_t EventData();
/// \return the wParam of the last raw message read (for WM_KEYDOWN: the virtual-key code).
WPARAM EventwParam();
/// \return the lParam of the last raw message read.
LPARAM EventlParam();
/// \return the drop record of the last drop event, valid until the next read; null for others.
void* EventDropRecord();

/// Start routine of the message boxes: common controls and COM.
void InitMessageBoxes();
/// Shows a modal message box (MessageBoxA) owned by the program's foreground window, with the
/// thread's other windows disabled while it is shown.
/// \param title,text the caption and the message (null: empty).
/// \param flags MessageBoxA's MB_ flags.
/// \return MessageBoxA's result (IDOK, IDCANCEL, ...), 0 when no box could be shown.
int32_t ShowMessageBox(const char* title, const char* text, uint32_t flags);
/// ShowMessageBox with flags 0: an OK button and no icon.
int32_t ShowMessageBox(const char* title, const char* text);
