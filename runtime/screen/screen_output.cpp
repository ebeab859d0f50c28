// Drawing access to the open screen: colour fills of the output surface, and the drawing target
// that hands the back buffer's device context (or its locked pixels) to one drawing at a time.
#include "runtime/drawing/drawing_internal.h"
#include "runtime/screen/screen_internal.h"

namespace {
void* ReacquireOutputDC() {
  if (gScreen.outputState == kOutputLocked) {
    gScreen.backBuffer->Unlock(nullptr);
    HDC dc = nullptr;
    gScreen.outputState = SUCCEEDED(gScreen.backBuffer->GetDC(&dc)) ? reinterpret_cast<intptr_t>(dc) : 0;
  }
  return reinterpret_cast<void*>(gScreen.outputState);
}

// Refused while a drawing holds the back buffer's DC: releasing it would leave the drawing on a
// DC that is no longer valid. A holder of the target that is not drawing may switch to pixels.
void* LockOutputPixels(int32_t* pitch) {
  if (gDrawing.dc && gDrawing.releaseTarget == ReleaseOutputDC) return nullptr;
  if (gScreen.outputState && gScreen.outputState != kOutputLocked)
    gScreen.backBuffer->ReleaseDC(reinterpret_cast<HDC>(gScreen.outputState));
  void* pixels = nullptr;
  if (gScreen.outputState != kOutputLocked) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (SUCCEEDED(gScreen.backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
      if (pitch) *pitch = desc.lPitch;
      pixels = desc.lpSurface;
    }
  }
  gScreen.outputState = kOutputLocked;
  return pixels;
}
}  // namespace

uint32_t ConvertColour(uint32_t red, uint32_t green, uint32_t blue) {
  return ConvertColourFor(gScreen.depth, gScreen.format, red, green, blue);
}

void FillScreen(uint32_t colour) {
  if (!gScreen.screenWidth || !gScreen.output) return;
  uint32_t value = colour;
  if (gScreen.depth > 8) value = ConvertColour(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  gScreen.fillEffects.dwFillColor = value;
  gScreen.output->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &gScreen.fillEffects);
}

DrawingTarget* ScreenTarget() {
  if (gScreen.outputState != 0 || !gScreen.screenWidth || !gScreen.backBuffer) return nullptr;
  HDC dc = nullptr;
  if (FAILED(gScreen.backBuffer->GetDC(&dc)) || !dc) return nullptr;
  gScreen.outputState = reinterpret_cast<intptr_t>(dc);
  DrawingTarget& target = gScreen.target;
  target = DrawingTarget{};
  target.kind = kTargetKindScreen;
  target.dc = dc;
  target.release = ReleaseOutputDC;
  target.width = gScreen.width;
  target.height = gScreen.height;
  target.depth = gScreen.depth;
  target.format = gScreen.format;
  target.reacquire = ReacquireOutputDC;
  target.lock = LockOutputPixels;
  return &target;
}

void GiveBackOutput() {
  if (gDrawing.dc && gDrawing.releaseTarget == ReleaseOutputDC) EndDrawing();
  ReleaseOutputDC();
}

void ReleaseOutputDC() {
  if (gScreen.outputState == 0) return;
  if (gScreen.backBuffer) {
    if (gScreen.outputState == kOutputLocked)
      gScreen.backBuffer->Unlock(nullptr);
    else
      gScreen.backBuffer->ReleaseDC(reinterpret_cast<HDC>(gScreen.outputState));
  }
  gScreen.outputState = 0;
}

int32_t IsDisplayActive() {
  if (gScreen.windowed) return GetForegroundWindow() == gScreen.window ? 1 : 0;
  return gScreen.active;
}
