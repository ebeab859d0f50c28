/// \file
/// Immediate 2D drawing with GDI on the device context that a drawing target hands out (the
/// screen's back buffer, through ScreenTarget). At most one drawing is open at a time; every
/// primitive does nothing while none is open. Coordinates are pixels of the back buffer, (0, 0) at
/// its top left.
///
/// Colours are COLORREF values 0x00BBGGRR (255 is red, 0xFF0000 blue; RGB() of windows.h makes
/// them), not the pixel values of ConvertColour. DrawRect and DrawTextAt take their colour as an
/// argument; DrawLine and DrawCircle use the front colour that SetDrawColor sets (black when a
/// drawing begins).
///
/// A frame's drawing: `BeginDrawing(ScreenTarget())`, the primitives, `EndDrawing()`, then
/// FlipBuffers.
#pragma once
#include <cstdint>

/// What a drawing draws on: the screen hands one out for its back buffer (ScreenTarget).
struct DrawingTarget;

/// SetDrawMode flag: text is drawn without filling its background.
constexpr int32_t kDrawTransparentText = 1;
/// SetDrawMode flag: lines and shapes invert the pixels they cover instead of painting them.
constexpr int32_t kDrawInvert = 2;
/// SetDrawMode flag: rectangles and circles are drawn as outlines, not filled.
constexpr int32_t kDrawOutline = 4;

/// Start routine of the drawing library: the default pen and brush.
void InitDrawing();
/// Opens a drawing on a target, ending the drawing open before; the front colour is black and the
/// mode 0 (opaque text, painting, filled shapes).
/// \param target what ScreenTarget gave; null opens nothing.
/// \return the target's device context (HDC), or 0 when nothing could be opened.
intptr_t BeginDrawing(DrawingTarget* target);
/// Ends the open drawing, restores the DC's own pen and brush and gives the DC back to its target
/// (the screen's back buffer can then be taken again); nothing happens while none is open.
void EndDrawing();
/// Sets the front colour (a COLORREF) of DrawLine, DrawCircle's edge and the text's default; set
/// while kDrawOutline is off, it is also the fill of the circles that follow.
void SetDrawColor(uint32_t colour);
/// Sets the drawing mode until the drawing ends.
/// \param flags a sum of kDrawTransparentText, kDrawInvert and kDrawOutline; 0 for none.
void SetDrawMode(int32_t flags);
/// Draws a line in the front colour from (x, y) to (x + dx, y + dy), that end point left out.
/// \param x,y the line's start.
/// \param dx,dy the line's extent from its start, not its end point.
void DrawLine(int32_t x, int32_t y, int32_t dx, int32_t dy);
/// Draws a rectangle of width by height pixels whose top-left corner is (x, y), filled (or, with
/// kDrawOutline, outlined) in `colour`; a 1 by 1 rectangle is one pixel.
void DrawRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
/// Draws a circle of `radius` pixels centred on (x, y), its edge in the front colour. Unless
/// kDrawOutline is set it is filled with the colour last set by SetDrawColor while kDrawOutline
/// was off (black when none was).
void DrawCircle(int32_t x, int32_t y, int32_t radius);
/// Draws a text in `colour` on the DC's background colour, GDI's white unless changed (transparent
/// with kDrawTransparentText): the form with a back colour says it.
/// \param x,y the text's top-left corner.
/// \param text NUL-terminated 8-bit text; null or empty draws nothing.
/// \param colour the text's colour, a COLORREF.
/// \return the x just past the text; 0 while no drawing is open.
int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour);
/// DrawTextAt on a background of `backColour` (a COLORREF), unless kDrawTransparentText is set.
int32_t DrawTextAt(int32_t x, int32_t y, const char* text, uint32_t colour, uint32_t backColour);
