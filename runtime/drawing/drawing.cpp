// Immediate 2D drawing with GDI on the device context of a drawing target: the front colour's pen
// and brush are made and owned here, and the DC's own objects are put back when drawing closes.
#include <windows.h>

#include <cstring>

#include "runtime/drawing/draw_coordinates.h"
#include "runtime/drawing/drawing_internal.h"

DrawingState gDrawing;

namespace {
HDC DC() { return static_cast<HDC>(gDrawing.dc); }

HPEN MakePen(uint32_t colour) { return CreatePen(PS_SOLID, 0, colour); }

// Replaces an owned GDI object by a newly selected one, deleting the old one.
void Adopt(void** owned, HGDIOBJ created) {
  SelectObject(DC(), created);
  if (*owned) DeleteObject(static_cast<HGDIOBJ>(*owned));
  *owned = created;
}
}  // namespace

void InitDrawing() {
  if (!gDrawing.defaultBrush) gDrawing.defaultBrush = CreateSolidBrush(0);
  if (!gDrawing.defaultPen) gDrawing.defaultPen = MakePen(0);
}

intptr_t BeginDrawing(DrawingTarget* target) {
  EndDrawing();
  if (!target) return 0;
  gDrawing.dc = target->dc;
  gDrawing.releaseTarget = target->release;
  gDrawing.mode = 0;
  if (gDrawing.dc) {
    SetTextAlign(DC(), TA_UPDATECP);
    gDrawing.savedBrush = SelectObject(DC(), static_cast<HGDIOBJ>(gDrawing.defaultBrush));
    gDrawing.savedPen = SelectObject(DC(), static_cast<HGDIOBJ>(gDrawing.defaultPen));
    gDrawing.frontColour = 0;
    gDrawing.currentBrush = CreateSolidBrush(0);
    SetTextColor(DC(), 0);
  }
  return reinterpret_cast<intptr_t>(gDrawing.dc);
}

void EndDrawing() {
  if (!gDrawing.dc) return;
  SelectObject(DC(), static_cast<HGDIOBJ>(gDrawing.savedBrush));
  SelectObject(DC(), static_cast<HGDIOBJ>(gDrawing.savedPen));
  if (gDrawing.currentBrush) DeleteObject(static_cast<HGDIOBJ>(gDrawing.currentBrush));
  if (gDrawing.currentPen) DeleteObject(static_cast<HGDIOBJ>(gDrawing.currentPen));
  gDrawing.currentBrush = gDrawing.currentPen = nullptr;
  if (gDrawing.releaseTarget) gDrawing.releaseTarget();
  gDrawing.dc = nullptr;
}

void SetDrawColor(uint32_t colour) {
  if (!gDrawing.dc) return;
  gDrawing.frontColour = colour;
  if (!(gDrawing.mode & kDrawOutline)) {
    if (HBRUSH brush = CreateSolidBrush(colour)) Adopt(&gDrawing.currentBrush, brush);
  }
  if (HPEN pen = MakePen(colour)) Adopt(&gDrawing.currentPen, pen);
  SetTextColor(DC(), colour);
}

void SetDrawMode(int32_t flags) {
  if (!gDrawing.dc) return;
  gDrawing.mode = flags;
  SetROP2(DC(), (flags & kDrawInvert) ? R2_NOT : R2_COPYPEN);
  SelectObject(DC(), (flags & kDrawOutline) ? GetStockObject(NULL_BRUSH) : static_cast<HGDIOBJ>(gDrawing.currentBrush));
  SetBkMode(DC(), (flags & kDrawTransparentText) ? TRANSPARENT : OPAQUE);
}

void DrawLine(int32_t x, int32_t y, int32_t dx, int32_t dy) {
  if (!gDrawing.dc) return;
  POINT old;
  MoveToEx(DC(), x, y, &old);
  LineTo(DC(), OffsetCoordinate(x, dx), OffsetCoordinate(y, dy));
  MoveToEx(DC(), old.x, old.y, nullptr);
}

void DrawRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
  if (!gDrawing.dc) return;
  if (width == 1 && height == 1) {
    // Some GDIs apply the mix mode to SetPixelV; the single pixel is meant to be plain colour.
    int mix = SetROP2(DC(), R2_COPYPEN);
    SetPixelV(DC(), x, y, colour);
    SetROP2(DC(), mix);
    return;
  }
  bool other = colour != gDrawing.frontColour;
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HGDIOBJ keptPen = nullptr;
  HGDIOBJ keptBrush = nullptr;
  if (other) {
    // A pen or brush that cannot be made leaves the front colour's in place for this rectangle.
    if ((pen = MakePen(colour))) keptPen = SelectObject(DC(), pen);
    if (!(gDrawing.mode & kDrawOutline) && (brush = CreateSolidBrush(colour))) keptBrush = SelectObject(DC(), brush);
  }
  Rectangle(DC(), x, y, OffsetCoordinate(x, width), OffsetCoordinate(y, height));
  if (brush) {
    SelectObject(DC(), keptBrush);
    DeleteObject(brush);
  }
  if (pen) {
    SelectObject(DC(), keptPen);
    DeleteObject(pen);
  }
}

void DrawCircle(int32_t x, int32_t y, int32_t radius) {
  if (!gDrawing.dc) return;
  // A one-pixel rectangle is dropped as empty by some GDIs; a one-pixel line draws the same pixel
  // with the same pen and mix mode everywhere.
  if (radius == 1)
    DrawLine(x, y, 1, 0);
  else
    Ellipse(DC(), OffsetCoordinate(x, -int64_t{radius}), OffsetCoordinate(y, -int64_t{radius}),
            OffsetCoordinate(x, radius), OffsetCoordinate(y, radius));
}

namespace {
int32_t DrawTextWith(int32_t x, int32_t y, const char* text, uint32_t colour, const uint32_t* backColour) {
  if (!gDrawing.dc) return 0;
  bool other = colour != gDrawing.frontColour;
  if (other) SetTextColor(DC(), colour);
  COLORREF previousBack = 0;
  if (backColour) previousBack = SetBkColor(DC(), *backColour);
  MoveToEx(DC(), x, y, nullptr);
  if (text && *text) TextOutA(DC(), 0, 0, text, static_cast<int>(strlen(text)));
  if (backColour) SetBkColor(DC(), previousBack);
  if (other) SetTextColor(DC(), gDrawing.frontColour);
  POINT end{x, y};
  MoveToEx(DC(), 0, 0, &end);
  return end.x;
}
}  // namespace

int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour) {
  return DrawTextWith(x, y, text, colour, nullptr);
}

int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t backColour) {
  return DrawTextWith(x, y, text, colour, &backColour);
}
