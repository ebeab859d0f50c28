// Interactive sizing done by the runtime instead of Win32's modal loop (with full-window dragging
// on), so that each mouse movement or key is one ordinary message and the program's own loop
// keeps running while the window changes size.

#include <windows.h>

#include "runtime/window/window_internal.h"

namespace {
constexpr int32_t kCursorSizeAll = 32646;  // IDC_SIZEALL

SizingState& Sizing() { return *gWindows.sizing; }

bool FullWindowDragging() {
  BOOL on = FALSE;
  return SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0) && on;
}

HCURSOR SharedCursor(int32_t cursorId) {
  return (HCURSOR)LoadImageA(nullptr, MAKEINTRESOURCEA(cursorId), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE);
}

void DefaultLimits(HWND window, MINMAXINFO* limits) {
  limits->ptReserved = POINT{0, 0};
  limits->ptMaxSize = POINT{GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) {
    limits->ptMaxPosition = POINT{GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  } else if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
    limits->ptMaxPosition = POINT{GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  } else {
    limits->ptMaxPosition = POINT{0, 0};
  }
  limits->ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits->ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

LRESULT StartSizing(HWND window, WPARAM wParam) {
  SizingState& s = Sizing();
  s.active = 1;
  s.edge = (int32_t)(wParam & 0xF);
  GetWindowRect(window, &s.rect);
  s.start = s.rect;
  DefaultLimits(window, &s.limits);
  SendMessageA(window, WM_GETMINMAXINFO, 0, (LPARAM)&s.limits);
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  s.restoreCursor = s.edge == 0;
  if (s.restoreCursor) {
    GetCursorPos(&s.savedCursor);
    SetCursor(SharedCursor(kCursorSizeAll));
  }
  return 0;
}

// Sizes the window to the cursor point as a mouse movement does.
void SizeTo(HWND window, POINT point) {
  SizingState& s = Sizing();
  ClampSizingRect(point.x, point.y);
  SendMessageA(window, WM_SIZING, (WPARAM)s.edge, (LPARAM)&s.rect);
  ApplySizingRect(window, s.rect);
}

void OnArrowKey(HWND window, UINT key) {
  SizingState& s = Sizing();
  POINT p;
  GetCursorPos(&p);
  SizingArrow arrow = SizingArrowKey(key, s.edge, s.rect, p);
  if (arrow.picksEdge) {
    s.edge = arrow.edge;
    PlaceSizingCursor(arrow.cursorId, arrow.point.x, arrow.point.y);
    return;
  }
  SetCursorPos(arrow.point.x, arrow.point.y);
  SizeTo(window, arrow.point);
}

LRESULT WhileSizing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SizingState& s = Sizing();
  switch (message) {
    case WM_MOUSEMOVE: {
      s.restoreCursor = 0;
      POINT point{(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
      ClientToScreen(window, &point);
      SizeTo(window, point);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        ReleaseCapture();
        return 0;
      }
      if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN) {
        OnArrowKey(window, (UINT)wParam);
      }
      return UNHANDLED;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
      s.active = 0;
      if (s.restoreCursor) SetCursorPos(s.savedCursor.x, s.savedCursor.y);
      return 0;
    default:
      return UNHANDLED;
  }
}
}  // namespace

LRESULT TrackSizing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!gWindows.sizing) return UNHANDLED;
  if (Sizing().active) return WhileSizing(window, message, wParam, lParam);
  if (message == WM_SYSCOMMAND && (wParam & ~(WPARAM)0xF) == SC_SIZE && FullWindowDragging()) {
    return StartSizing(window, wParam);
  }
  return UNHANDLED;
}

void ClampSizingRect(int32_t x, int32_t y) {
  SizingState& s = Sizing();
  ClampSizingEdges(&s.rect, s.edge, x, y, s.limits.ptMinTrackSize, s.limits.ptMaxTrackSize);
}

void ApplySizingRect(HWND window, RECT rect) {
  if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) MapWindowPoints(nullptr, GetParent(window), (POINT*)&rect, 2);
  MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void PlaceSizingCursor(int32_t cursorId, int32_t x, int32_t y) {
  SetCursorPos(x, y);
  SetCursor(SharedCursor(cursorId));
}
