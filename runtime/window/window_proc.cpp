// The procedure of every runtime window class. Sizing gets each message first, then the window's
// callbacks; the runtime itself queues close, move, size, repaint and activation events, sets
// immediate events for commands, tray and drop messages, and routes control messages.

#include <windows.h>

#include "runtime/core/registry_internal.h"
#include "runtime/window/window_internal.h"

namespace {
EventState& Events() { return *gWindows.events; }

// The event the read that dispatched this message returns, or the next read when a nested loop
// (a message box's) dispatched it; the window is kept with it, since later messages change it.
void SetImmediate(int32_t event, intptr_t data, int32_t type = -1) {
  Events().immediate = event;
  Events().immediateWindow = Events().window;
  Events().data = data;
  Events().type = type;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  auto control = (HWND)lParam;
  if (RouteControlMessage(control, window, WM_COMMAND, wParam, lParam) != UNHANDLED) return 0;
  WORD code = HIWORD(wParam);
  WORD command = LOWORD(wParam);
  if (control) {
    LONG_PTR id = GetWindowLongPtrA(control, GWLP_ID);
    if (id == kMenuControlId) {
      SetImmediate(EVENT_MENU, command, code);
    } else {
      SetImmediate(EVENT_CONTROL, id, code);
    }
  } else if (code == 0) {
    SetImmediate(EVENT_MENU, (intptr_t)wParam);
  } else if (command == CMD_FOCUS_NEXT) {
    CycleFocus(0);
  } else if (command == CMD_FOCUS_PREVIOUS) {
    CycleFocus(1);
  } else {
    SetImmediate(EVENT_MENU, command);
  }
  return 0;
}

LRESULT OnSize(HWND window, WPARAM wParam, ObjectNumber number, WindowRecord* record) {
  if (!record || record->window != window) return 1;
  if (wParam == SIZE_MINIMIZED) return UNHANDLED;
  QueueEvent(EVENT_RESIZE, number);
  return 0;
}

LRESULT OnEraseBackground(HWND window, WPARAM wParam, ObjectNumber number, WindowRecord* record) {
  LRESULT result = UNHANDLED;
  if (record && record->background) {
    RECT client;
    GetClientRect(window, &client);
    FillRect((HDC)wParam, &client, record->background);
    result = 1;
  } else if (record && record->window == window && record->erase) {
    result = record->erase((HDC)wParam, window);
  }
  QueueEvent(EVENT_REPAINT, number);
  return result;
}

BOOL CALLBACK SendSystemColours(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

LRESULT OnTrayEvent(WPARAM wParam, LPARAM lParam) {
  int32_t type;
  switch (lParam) {
    case WM_LBUTTONUP:
      type = 0;
      break;
    case WM_RBUTTONUP:
      type = 1;
      break;
    case WM_LBUTTONDBLCLK:
      type = 2;
      break;
    case WM_RBUTTONDBLCLK:
      type = 3;
      break;
    default:
      return 0;
  }
  SetImmediate(EVENT_TRAY, (intptr_t)wParam, type);
  return 0;
}

LRESULT OnDrop(int32_t event, WPARAM wParam, LPARAM lParam) {
  if (!ClaimDropRecord(lParam)) return UNHANDLED;
  // A control's drop carries the control's number; a window's keeps the data as it was.
  SetImmediate(event, event == EVENT_DROP_CONTROL ? (intptr_t)wParam : Events().data);
  return 0;
}
}  // namespace

ObjectNumber FindRuntimeWindow(HWND window, WindowRecord** record) {
  for (HWND w = window; w; w = GetParent(w)) {
    if (HANDLE property = GetPropA(w, kWindowIdProperty)) {
      ObjectNumber number = (ObjectNumber)property - 1;
      *record = (WindowRecord*)RegistryLookup(gWindows.windows, number);
      return number;
    }
  }
  *record = nullptr;
  return -1;
}

LRESULT RuntimeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!gWindows.events) return UNHANDLED;
  LRESULT sized = TrackSizing(window, message, wParam, lParam);
  if (sized != UNHANDLED) return sized;
  WindowRecord* record;
  ObjectNumber number = FindRuntimeWindow(window, &record);
  // The window's own callback, or else the global one, may give the message's result.
  if (WindowCallback callback = record && record->callback ? record->callback : Events().globalCallback) {
    LRESULT called = callback(window, message, wParam, lParam);
    if (called != CONTINUE_RUNTIME) return called;
    // It may have opened or closed windows and moved the registry's slots.
    number = FindRuntimeWindow(window, &record);
  }
  Events().window = number;

  switch (message) {
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MSG_CONTROL_ROUTE:
      return RouteControlMessage((HWND)lParam, window, message, wParam, lParam);
    case WM_NOTIFY:
      return lParam ? RouteControlMessage(((NMHDR*)lParam)->hwndFrom, window, message, wParam, lParam) : UNHANDLED;
    case WM_CLOSE:
    case WM_MOVE:
      if (number != -1) QueueEvent((int32_t)message, number);
      return 0;
    case WM_SIZE:
      return OnSize(window, wParam, number, record);
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) QueueEvent(EVENT_ACTIVATE, number);
      return 1;
    case WM_ERASEBKGND:
      return OnEraseBackground(window, wParam, number, record);
    case WM_SYSCOLORCHANGE:
      if (record && !record->mdiClient) EnumChildWindows(window, SendSystemColours, 0);
      return UNHANDLED;
    case MSG_TRAY_CALLBACK:
      PostMessageA(window, MSG_TRAY_EVENT, wParam, lParam);
      return 0;
    case MSG_TRAY_EVENT:
      return OnTrayEvent(wParam, lParam);
    case MSG_CONTROL_EVENT:
      SetImmediate(EVENT_CONTROL, (intptr_t)wParam, (int32_t)lParam);
      return 0;
    case MSG_DROP_WINDOW:
      return OnDrop(EVENT_DROP_WINDOW, wParam, lParam);
    case MSG_DROP_CONTROL:
      return OnDrop(EVENT_DROP_CONTROL, wParam, lParam);
    default:
      return UNHANDLED;
  }
}

LRESULT CALLBACK RuntimeClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = RuntimeWindowProc(window, message, wParam, lParam);
  return result == UNHANDLED ? DefWindowProcA(window, message, wParam, lParam) : result;
}
