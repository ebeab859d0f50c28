/// \file
/// The screen: one DirectDraw 7 drawing surface at a time, full-screen (exclusive mode with a flip
/// chain) or windowed (a clipped primary and an off-screen back buffer copied into a window).
/// All drawing goes to the back buffer; FlipBuffers presents it and paces the frames.
///
/// Colours: FillScreen, DrawRect, DrawTextAt and SetDrawColor take COLORREF values 0x00BBGGRR
/// (255 is red, 0xFF0000 blue), while ConvertColour gives a pixel value in the screen's own format,
/// for code that writes pixels itself. Sizes and positions are in pixels.
#pragma once
#include <windows.h>
// DirectDraw needs windows.h first.
#include <ddraw.h>

#include <cstdint>

#include "runtime/core/registry.h"

struct DrawingTarget;

/// Start routine of the screen library (and of sprites): the sprite registry, the hidden base
/// window "MultimediaBase Class" that serves as the screen's window while no windowed screen is
/// open, the keyboard (InitKeyboard) and DirectDraw, loaded from DDRAW.DLL. A second start keeps
/// what the first made, sprites and an open screen included, and leaves the keyboard alone.
/// \return non-zero (the sprite registry) on success, 0 when the window, the keyboard or DirectDraw
///   could not be had.
intptr_t InitSprite();
/// End routine of the screen library: closes the screen as the next open would (a full screen
/// gives back its timer period), frees every sprite and lets DirectDraw go. It does not end the
/// keyboard that InitSprite started: call EndKeyboard as well.
void EndScreen();

/// Opens a windowed screen in a window's client area, closing any screen open before. The back
/// buffer is width by height pixels at the desktop's depth, starts black, and FlipBuffers copies
/// it into the window. Unless a frame limit was set before, a limit of 60 frames a second is set
/// with it (and ended with it).
/// \param window the window to show the screen in (WindowHandle of a runtime window, or any HWND).
/// \param x,y where the screen's top-left corner lies in the client area.
/// \param width,height the back buffer's size.
/// \param stretch 0 copies the back buffer at its own size; non-zero stretches it over the client
///   area less the margins, following the window's size.
/// \param rightMargin,bottomMargin client-area pixels left free at the right and the bottom when
///   stretching.
/// \return 1 when the screen is open, 0 on failure (no window, no DirectDraw, or no surfaces).
int32_t OpenWindowedScreen(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t stretch,
                           int32_t rightMargin, int32_t bottomMargin);
/// Opens a full-screen screen, closing any screen open before: the display switches to width by
/// height pixels of `depth` bits (8, 15, 16, 24 or 32) in exclusive mode, with a flip chain that
/// starts black; the mouse cursor is hidden and the 1 ms timer period is held while it is open.
/// The screen's window is the base window, captioned `title` (null: empty).
/// \return 1 when the screen is open, 0 on failure (no InitSprite, or the mode was refused).
int32_t OpenScreen(int32_t width, int32_t height, int32_t depth, const char* title);

/// Fills the output (the back buffer, or the sprite SelectOutput chose) with a colour.
/// \param colour a COLORREF 0x00BBGGRR, converted to the screen's format; on an 8-bit screen, the
///   palette index itself. Not a value of ConvertColour.
void FillScreen(uint32_t colour);
/// The pixel value of a colour in the open screen's format (5-5-5, 5-6-5, or 24/32-bit in the
/// screen's byte order), for code that writes the screen's pixels itself. FillScreen takes a
/// COLORREF instead: FillScreen(ConvertColour(r, g, b)) swaps red and blue on most screens.
/// \param red,green,blue 0..255 each.
/// \return the pixel value; 0 on an 8-bit screen or before any screen was opened.
uint32_t ConvertColour(uint32_t red, uint32_t green, uint32_t blue);
/// Takes the back buffer's device context for one drawing: pass the result to BeginDrawing. The
/// DC stays taken until EndDrawing, ReleaseOutputDC or FlipBuffers gives it back; a second call
/// before that gives null, and so would every BeginDrawing on it. Take it once per frame.
/// \return the drawing target, or null while no screen is open or the back buffer is already
///   handed out or locked.
DrawingTarget* ScreenTarget();
/// Gives back the back buffer's device context that ScreenTarget took, when no EndDrawing did;
/// nothing happens while none is taken.
void ReleaseOutputDC();
/// \return 1 while the screen is in front (windowed: its window is the foreground window;
///   full-screen: the program has not been switched away from), else 0.
int32_t IsDisplayActive();

/// Presents the back buffer: ends a drawing still open on it, gives its DC back, then copies it
/// into the window (windowed, after waiting for the frame limit) or flips the chain (full-screen,
/// after reading waiting window messages, rebuilding a display Windows took away). The output
/// goes back to the back buffer. Nothing happens while no screen is open.
/// \param mode windowed: non-zero waits for the beam to pass the window before copying;
///   full-screen: bit 1 (value 1) flips on the vertical retrace, bit 2 (value 2) first waits for
///   the last lines at raised priority.
void FlipBuffers(int32_t mode = 1);
/// Makes a sprite the output that FillScreen fills, until FlipBuffers or SelectOutput(-1).
/// Memory sprites and numbers that name no sprite leave the output as it is.
/// \param sprite a sprite number, or -1 for the back buffer.
/// \return the output surface now selected.
IDirectDrawSurface7* SelectOutput(ObjectNumber sprite);
/// Sets the frame limit: a frame then lasts at least 1 / (rate + 1) seconds, kept by a busy wait on
/// the performance counter in every windowed FlipBuffers (so a rate of 0 makes a windowed frame last
/// a second) and, with a rate above 0, after full-screen flips as well.
/// \return 1, or 0 for a negative rate or without a performance counter (the limit stays as it was).
int32_t SetFrameLimit(int32_t rate);
/// Waits, spinning on the performance counter, until a frame period of the limit has passed since
/// the last wait ended.
/// \return how many readings of the counter came before that.
int32_t WaitFrame();
