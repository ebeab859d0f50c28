// Immediate 2D drawing with GDI on the device context that a drawing target hands out
// (the screen's back buffer). At most one drawing is open at a time; every primitive does nothing
// while none is open. Colours are COLORREF values 0x00BBGGRR.
#pragma once
#include <cstdint>

// What a drawing target hands to BeginDrawing. The screen fills one for its back buffer.
struct DrawingTarget {
  intptr_t kind;    // 7: the screen's back buffer, the only kind made here
  intptr_t window;  // 0 for the screen's target
  void* dc;         // the device context (HDC)
  void (*release)();
  intptr_t reserved[2];
  int32_t width;
  int32_t height;
  int32_t depth;
  int32_t format;
  void* (*reacquire)();           // gives the DC back after a lock, or null
  void* (*lock)(int32_t* pitch);  // locks the pixels: first pixel, or null
};

// The open drawing. Handles are GDI's (HDC, HBRUSH, HPEN), kept untyped so this header needs no
// windows.h.
struct DrawingState {
  void* dc;              // null while no drawing is open
  uint32_t frontColour;  // pen, brush and text colour
  int32_t mode;          // the last SetDrawMode flags
  void* currentBrush;    // solid brush in the front colour, owned here
  void* currentPen;      // solid pen of width 0 in the front colour, owned here
  void* defaultBrush;    // black, made once by InitDrawing
  void* defaultPen;
  void* savedBrush;  // what the DC had selected when drawing opened
  void* savedPen;
  void (*releaseTarget)();
};
extern DrawingState gDrawing;

constexpr int32_t kDrawTransparentText = 1;
constexpr int32_t kDrawInvert = 2;
constexpr int32_t kDrawOutline = 4;

void InitDrawing();
intptr_t BeginDrawing(DrawingTarget* target);  // the DC, or 0 when nothing could be opened
void EndDrawing();
void SetDrawColor(uint32_t colour);
void SetDrawMode(int32_t flags);  // 1 transparent text background, 2 invert, 4 outline only
void DrawLine(int32_t x, int32_t y, int32_t dx, int32_t dy);
void DrawRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
void DrawCircle(int32_t x, int32_t y, int32_t radius);
int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour);
int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t backColour);
