// What the screen library's files share: the screen's state record and the record of its sprite
// registry, the counted DirectDraw opener, the program's instance and the trampolines through which
// the screen reaches the sprite library's routines once they are plugged in, and the steps of
// opening, presenting and closing.
#pragma once
#include <windows.h>
// Direct3D's and DirectDraw's headers need windows.h first.
#include <d3d.h>
#include <ddraw.h>
#include <dinput.h>

#include <cstdint>

#include "runtime/core/registry_internal.h"
#include "runtime/drawing/drawing_internal.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/screen_pixels.h"

// A sprite, the record of the screen's sprite registry. The screen frees every sprite when it
// closes, and presents into a sprite selected as output.
struct SpriteRecord {
  union {
    IDirectDrawSurface7* surface;  // non-zero while the sprite exists (the liveness word)
    uint8_t* pixels;               // a memory sprite's palette indices (depth kMemorySpriteDepth)
  };
  int16_t width;
  int16_t height;
  int16_t depth;  // bits per pixel given to the surface, or kMemorySpriteDepth
  int16_t mode;
  void* backup;  // saved pixels: a 32-bit pitch, then pitch times currentHeight bytes
  int16_t currentWidth;
  int16_t currentHeight;
  int16_t reserved1;
  int16_t reserved2;
};
constexpr int16_t kMemorySpriteDepth = -2;

struct ScreenState {
  IDirectDraw7* directDraw;  // shared and counted: OpenDirectDraw / CloseDirectDraw
  int32_t directDrawUsers;
  HMODULE directDrawModule;
  IDirectDrawSurface7* primary;
  IDirectDrawSurface7* backBuffer;
  IDirectDrawSurface7* output;  // what FillScreen fills: the back buffer or a selected sprite
  IDirectDrawClipper* clipper;
  IDirect3DDevice7* device3D;  // made by the 3D sprites' first scene, released with the screen
  ObjectRegistry* sprites;     // SpriteRecord, 64 slots
  HWND window;                 // the windowed screen's window, otherwise the base window
  HWND baseWindow;
  int32_t baseWindowCreated;
  int32_t started;  // InitSprite got past its window and keyboard steps
  int32_t width;    // size of the current output
  int32_t height;
  int32_t screenWidth;  // size of the open screen; non-zero while one is open
  int32_t screenHeight;
  int32_t depth;
  int32_t format;  // PixelFormatCode
  int32_t windowed;
  int32_t active;
  void (*suspendRoutine)();  // saves the sprites' pixels before the display is lost
  int32_t suspended;         // suspendRoutine already ran for this loss of focus
  void (*flipRoutine)(int32_t mode);
  int32_t offsetX;  // screen area inside the window's client area
  int32_t offsetY;
  int32_t rightMargin;
  int32_t bottomMargin;
  int32_t stretch;
  int32_t frameLeft;  // distances from the window rectangle to the screen area
  int32_t frameTop;
  int32_t frameRight;
  int32_t frameBottom;
  WNDPROC previousWindowProc;
  int32_t frameRate;      // frames per second of the software pacing; 0 none
  int32_t autoFrameRate;  // frameRate was set by OpenWindowedScreen
  int32_t ticksPerFrame;
  int32_t lastTick;
  int32_t refreshRate;
  uint32_t monitorFrequency;
  intptr_t outputState;  // 0 idle, a DC handle while handed out, -1 while locked
  DrawingTarget target;
  DDBLTFX fillEffects;
  DDSURFACEDESC2 formatDesc;
  DDSURFACEDESC2 convertDesc;  // lock description for writing sprite pixels
  DDCOLORKEY colourKey;        // black: the sprites' source colour key

  // The sprite library plugs its routines in here; until it does, the screen has no sprites to
  // free, save or restore.
  ReleaseRoutine deleteSprite;
  void (*saveSpritePixels)();
  void (*restoreSpritePixels)();
  int32_t cursorHidden;  // a full-screen open hid the cursor; its release shows it again
  // The mouse library's DirectInput device, unacquired when a full-screen screen is switched away.
  IDirectInputDevice7A* mouseDevice;
};
extern ScreenState gScreen;

constexpr intptr_t kOutputLocked = -1;
constexpr intptr_t kTargetKindScreen = 7;

// Creates the hidden "MultimediaBase Class" window unless a screen window already exists; whether
// the base window exists.
int32_t OpenBaseWindow();
IDirectDraw7* OpenDirectDraw();
void CloseDirectDraw();

// Before presenting or closing: a drawing still open on the back buffer is ended (its DC goes back
// through the target's release, and the drawing never touches it again), then whatever else is
// handed out is given back.
void GiveBackOutput();

HINSTANCE ScreenInstance();
void DeleteSpriteHook(ObjectNumber number);
void SaveSpritesHook();
void RestoreSpritesHook();
// Closes the open screen, if any: ends the automatic frame limit and the timer period, releases
// everything and marks no screen open.
void TearDownScreen();
void ReadPixelFormat();
void BlackenBuffers();
// Steps of opening, presenting and closing.
void ReleaseScreen();
void UpdateFrameOffsets();
void ComputeBlitRects(RECT* destination, RECT* source);
void RepaintWindowed();
void FlipWindowed(int32_t mode);
void FlipFullScreen(int32_t mode);
