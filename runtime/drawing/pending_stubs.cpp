// Placeholders until the drawing library lands: nothing is open, nothing is drawn.
#include "runtime/drawing/drawing.h"

void InitDrawing() {}
intptr_t BeginDrawing(DrawingTarget*) { return 0; }
void EndDrawing() {}
void SetDrawColor(uint32_t) {}
void SetDrawMode(int32_t) {}
void DrawLine(int32_t, int32_t, int32_t, int32_t) {}
void DrawRect(int32_t, int32_t, int32_t, int32_t, uint32_t) {}
void DrawCircle(int32_t, int32_t, int32_t) {}
int32_t DrawTextAt(int32_t, int32_t, const char*, uint32_t) { return 0; }
int32_t DrawTextAt(int32_t, int32_t, const char*, uint32_t, uint32_t) { return 0; }
