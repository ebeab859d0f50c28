// Immediate 2D drawing with GDI on the device context that a drawing target hands out
// (the screen's back buffer). At most one drawing is open at a time; every primitive does nothing
// while none is open. Colours are COLORREF values 0x00BBGGRR.
#pragma once
#include <cstdint>

// What a drawing draws on: the screen hands one out for its back buffer (ScreenTarget).
struct DrawingTarget;

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
