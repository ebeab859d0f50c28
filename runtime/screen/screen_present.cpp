// Presenting the back buffer and pacing the frames: windowed screens wait for the frame period on
// the performance counter and for the beam, then copy into the window; full-screen screens pump
// messages, flip in step with the retrace and rebuild the display when Windows took it away.
#include "runtime/core/registry_internal.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/screen_pacing.h"

namespace {
constexpr int32_t kFlipRetrace = 1;
constexpr int32_t kFlipLateBeam = 2;
constexpr DWORD kLateBeamLines = 150;

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Windowed: spins until the beam is below the destination or in the vertical blank.
void WaitBeamBelow(LONG bottom) {
  DWORD screenHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
  for (;;) {
    DWORD line = 0;
    if (FAILED(gScreen.directDraw->GetScanLine(&line))) return;
    if (static_cast<LONG>(line) > bottom || line > screenHeight) return;
  }
}

// Full screen: waits, at raised priority and sleeping 1 ms between reads, for the last lines.
void WaitLateBeam() {
  HANDLE thread = GetCurrentThread();
  int priority = GetThreadPriority(thread);
  SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
  for (;;) {
    DWORD line = 0;
    if (FAILED(gScreen.directDraw->GetScanLine(&line))) break;
    if (line >= static_cast<DWORD>(gScreen.height - static_cast<int32_t>(kLateBeamLines))) break;
    Sleep(1);
  }
  SetThreadPriority(thread, priority);
}

void RebuildLostDisplay() {
  gScreen.directDraw->SetCooperativeLevel(gScreen.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  gScreen.directDraw->SetDisplayMode(gScreen.width, gScreen.height, gScreen.depth, gScreen.refreshRate, 0);
  gScreen.directDraw->RestoreAllSurfaces();
  ShowWindow(gScreen.window, SW_SHOWMAXIMIZED);
  RestoreSpritesHook();
  if (gScreen.depth == 8) {
    IDirectDrawPalette* palette = nullptr;
    if (SUCCEEDED(gScreen.primary->GetPalette(&palette)) && palette) {
      gScreen.primary->SetPalette(palette);
      palette->Release();
    }
  }
}
}  // namespace

IDirectDrawSurface7* SelectOutput(ObjectNumber sprite) {
  if (sprite == -1) {
    gScreen.output = gScreen.backBuffer;
    gScreen.width = gScreen.screenWidth;
    gScreen.height = gScreen.screenHeight;
    return gScreen.output;
  }
  auto* record = gScreen.sprites ? static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, sprite)) : nullptr;
  if (record && record->depth != kMemorySpriteDepth) {
    gScreen.output = record->surface;
    gScreen.width = record->currentWidth;
    gScreen.height = record->currentHeight;
  }
  return gScreen.output;
}

void FlipBuffers(int32_t mode) {
  GiveBackOutput();
  if (!gScreen.screenWidth || !gScreen.flipRoutine) return;
  SelectOutput(-1);
  gScreen.flipRoutine(mode);
  gScreen.output = gScreen.backBuffer;
}

void FlipWindowed(int32_t mode) {
  RECT destination, source;
  ComputeBlitRects(&destination, &source);
  WaitFrame();
  if (mode != 0) WaitBeamBelow(destination.bottom);
  gScreen.primary->Blt(&destination, gScreen.backBuffer, &source, DDBLT_WAIT, nullptr);
}

void FlipFullScreen(int32_t mode) {
  PumpMessages();
  if (gScreen.active && gScreen.primary) {
    DWORD flags = (mode & kFlipRetrace) ? DDFLIP_WAIT : DDFLIP_WAIT | DDFLIP_NOVSYNC;
    if (mode & kFlipLateBeam) WaitLateBeam();
    if (gScreen.primary->Flip(nullptr, flags) == DDERR_SURFACELOST) RebuildLostDisplay();
  }
  if (gScreen.frameRate != 0 && gScreen.monitorFrequency != static_cast<uint32_t>(gScreen.refreshRate)) WaitFrame();
}

int32_t SetFrameLimit(int32_t rate) {
  LARGE_INTEGER frequency;
  // A rate of -1 would divide by zero and a lower one would give a negative period.
  if (rate < 0 || !QueryPerformanceFrequency(&frequency)) return 0;
  gScreen.autoFrameRate = 0;
  gScreen.frameRate = rate;
  gScreen.ticksPerFrame = FramePeriodTicks(frequency.QuadPart, rate);
  gScreen.lastTick = 0;
  return 1;
}

int32_t WaitFrame() {
  int32_t spins = 0;
  for (;;) {
    LARGE_INTEGER count;
    while (!QueryPerformanceCounter(&count)) {
    }
    if (FrameWaitStep(static_cast<int32_t>(static_cast<uint32_t>(count.QuadPart)), &gScreen.lastTick,
                      gScreen.ticksPerFrame))
      return spins;
    ++spins;
  }
}
