// The drawing target's record, which the screen fills for its back buffer, and the drawing
// library's state: the open drawing and the GDI objects it owns.
#pragma once
#include <cstdint>

#include "runtime/drawing/drawing.h"

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
