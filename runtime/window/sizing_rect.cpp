// The arithmetic of interactive sizing: where the edges go for a cursor point within the track
// limits, and what an arrow key does. No Win32 calls, so it is tested on its own.

#include <windows.h>

#include "runtime/window/window_internal.h"

namespace {
enum : int32_t {
  kEdgeNone = 0,
  kEdgeLeft = WMSZ_LEFT,
  kEdgeRight = WMSZ_RIGHT,
  kEdgeTop = WMSZ_TOP,
  kEdgeTopLeft = WMSZ_TOPLEFT,
  kEdgeTopRight = WMSZ_TOPRIGHT,
  kEdgeBottom = WMSZ_BOTTOM,
  kEdgeBottomLeft = WMSZ_BOTTOMLEFT,
  kEdgeBottomRight = WMSZ_BOTTOMRIGHT,
};
constexpr int32_t kArrowStep = 10;
constexpr int32_t kCursorWestEast = 32644;    // IDC_SIZEWE
constexpr int32_t kCursorNorthSouth = 32645;  // IDC_SIZENS
constexpr int32_t kCursorNwSe = 32642;        // IDC_SIZENWSE
constexpr int32_t kCursorNeSw = 32643;        // IDC_SIZENESW

// Keeps far - near within [minimum, maximum] by moving the edge that was dragged.
LONG ClampMoving(LONG moving, LONG fixed, LONG minimum, LONG maximum, bool movingIsLow) {
  LONG size = movingIsLow ? fixed - moving : moving - fixed;
  LONG bounded = size < minimum ? minimum : size > maximum ? maximum : size;
  if (bounded == size) return moving;
  return movingIsLow ? fixed - bounded : fixed + bounded;
}

SizingArrow Pick(int32_t edge, int32_t cursor, LONG x, LONG y) { return SizingArrow{1, edge, cursor, POINT{x, y}}; }
SizingArrow Step(int32_t edge, LONG x, LONG y) { return SizingArrow{0, edge, 0, POINT{x, y}}; }
}  // namespace

void ClampSizingEdges(RECT* r, int32_t edge, int32_t x, int32_t y, POINT minTrack, POINT maxTrack) {
  if (edge == kEdgeLeft || edge == kEdgeTopLeft || edge == kEdgeBottomLeft) {
    r->left = ClampMoving(edge == kEdgeTopLeft ? x - 2 : x, r->right, minTrack.x, maxTrack.x, true);
  }
  if (edge == kEdgeRight || edge == kEdgeTopRight || edge == kEdgeBottomRight) {
    r->right = ClampMoving(x + 2, r->left, minTrack.x, maxTrack.x, false);
  }
  if (edge == kEdgeTop || edge == kEdgeTopLeft || edge == kEdgeTopRight) {
    r->top = ClampMoving(edge == kEdgeTopLeft ? y - 2 : y, r->bottom, minTrack.y, maxTrack.y, true);
  }
  if (edge == kEdgeBottom || edge == kEdgeBottomLeft || edge == kEdgeBottomRight) {
    r->bottom = ClampMoving(y + 2, r->top, minTrack.y, maxTrack.y, false);
  }
}

SizingArrow SizingArrowKey(UINT key, int32_t edge, const RECT& r, POINT p) {
  switch (key) {
    case VK_LEFT:
      if (edge == kEdgeNone) return Pick(kEdgeLeft, kCursorWestEast, r.left, p.y);
      if (edge == kEdgeTop) return Pick(kEdgeTopLeft, kCursorNwSe, r.left + 2, r.top + 2);
      if (edge == kEdgeBottom) return Pick(kEdgeBottomLeft, kCursorNeSw, r.left, r.bottom - 2);
      return Step(edge, p.x - kArrowStep, p.y);
    case VK_RIGHT:
      if (edge == kEdgeNone) return Pick(kEdgeRight, kCursorWestEast, r.right - 2, p.y);
      if (edge == kEdgeTop) return Pick(kEdgeTopRight, kCursorNeSw, r.right - 2, r.top);
      if (edge == kEdgeBottom) return Pick(kEdgeBottomRight, kCursorNwSe, r.right - 2, r.bottom - 2);
      return Step(edge, p.x + kArrowStep, p.y);
    case VK_UP:
      if (edge == kEdgeNone) return Pick(kEdgeTop, kCursorNorthSouth, p.x, r.top);
      if (edge == kEdgeRight) return Pick(kEdgeTopRight, kCursorNeSw, r.right - 2, r.top);
      if (edge == kEdgeLeft) return Pick(kEdgeTopLeft, kCursorNwSe, r.left + 2, r.top + 2);
      return Step(edge, p.x, p.y - kArrowStep);
    case VK_DOWN:
      if (edge == kEdgeNone) return Pick(kEdgeBottom, kCursorNorthSouth, p.x, r.bottom - 2);
      if (edge == kEdgeRight) return Pick(kEdgeBottomRight, kCursorNwSe, r.right - 2, r.bottom - 2);
      if (edge == kEdgeLeft) return Pick(kEdgeBottomLeft, kCursorNeSw, r.left, r.bottom - 2);
      return Step(edge, p.x, p.y + kArrowStep);
    default:
      return Step(edge, p.x, p.y);
  }
}
