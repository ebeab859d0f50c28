// The screen: one DirectDraw 7 drawing surface at a time, full-screen (exclusive mode with a flip
// chain) or windowed (a clipped primary and an off-screen back buffer copied into the window).
// All drawing goes to the back buffer; FlipBuffers presents it and paces the frames.
#pragma once
#include <windows.h>
// DirectDraw needs windows.h first.
#include <ddraw.h>

#include <cstdint>

#include "runtime/core/registry.h"

struct DrawingTarget;

// Library start: sprite registry, hidden base window, keyboard, DirectDraw. The sprite registry
// on success, 0 on failure.
intptr_t InitSprite();
void EndScreen();

int32_t OpenWindowedScreen(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t stretch,
                           int32_t rightMargin, int32_t bottomMargin);
int32_t OpenScreen(int32_t width, int32_t height, int32_t depth, const char* title);

void FillScreen(uint32_t colour);
uint32_t ConvertColour(uint32_t red, uint32_t green, uint32_t blue);  // for the open screen
DrawingTarget* ScreenTarget();  // null while the back buffer is handed out or locked
void ReleaseOutputDC();
int32_t IsDisplayActive();

// Presentation and pacing. Mode 1 waits for the retrace (full screen) or the beam (windowed);
// value 2 adds a beam wait at raised priority before a full-screen flip.
void FlipBuffers(int32_t mode = 1);
IDirectDrawSurface7* SelectOutput(ObjectNumber sprite);  // -1: the back buffer
int32_t SetFrameLimit(int32_t rate);                     // 1, or 0 without a performance counter
int32_t WaitFrame();
