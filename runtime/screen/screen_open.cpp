// Opening and closing the screen: windowed (a primary clipped to the application window and an
// off-screen back buffer, with the window subclassed to repaint from it) or full-screen (exclusive
// mode, a display mode and a flip chain on the base window).
#include "runtime/screen/screen.h"
// The session header needs windows.h, which screen.h brings in.
#include <wtsapi32.h>

#include <cstdio>

#include "runtime/core/platform.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/screen/screen_internal.h"

namespace {
constexpr char kSubclassMarker[] = "tq_dxpaint";
constexpr char kPreviousProcProperty[] = "TQ_ScreenPreviousProc";
using RegisterSessionFn = BOOL(WINAPI*)(HWND, DWORD);

// The procedure each subclassed window had before, kept per window so that a window subclassed
// for an earlier screen still reaches its own procedure.
WNDPROC PreviousProcOf(HWND window) {
  auto kept = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcProperty));
  return kept ? kept : gScreen.previousWindowProc;
}

void OnSessionChange(WPARAM code) {
  if (code == WTS_SESSION_LOCK) {
    SaveSpritesHook();
  } else if (code == WTS_SESSION_UNLOCK && gScreen.windowed && gScreen.screenWidth) {
    gScreen.primary->Restore();
    gScreen.backBuffer->Restore();
    RestoreSpritesHook();
  }
}

LRESULT CALLBACK ScreenSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = PreviousProcOf(window);
  bool ours = window == gScreen.window;
  switch (message) {
    case WM_PAINT: {
      LRESULT result = CallWindowProcA(previous, window, message, wParam, lParam);
      if (ours) RepaintWindowed();
      return result;
    }
    case WM_SIZE:
      if (ours && gScreen.windowed) {
        UpdateFrameOffsets();
        RepaintWindowed();
      }
      return CallWindowProcA(previous, window, message, wParam, lParam);
    case WM_WTSSESSION_CHANGE:
      if (ours) OnSessionChange(wParam);
      return 0;
    default:
      return CallWindowProcA(previous, window, message, wParam, lParam);
  }
}

void SubclassOnce(HWND window) {
  if (GetPropA(window, kSubclassMarker)) return;
  gScreen.previousWindowProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScreenSubclassProc)));
  SetPropA(window, kPreviousProcProperty, reinterpret_cast<HANDLE>(gScreen.previousWindowProc));
  SetPropA(window, kSubclassMarker, reinterpret_cast<HANDLE>(1));
  if (HMODULE wts = LoadLibraryA("Wtsapi32.dll")) {
    auto reg = reinterpret_cast<RegisterSessionFn>(
        reinterpret_cast<void*>(GetProcAddress(wts, "WTSRegisterSessionNotification")));
    if (reg) reg(window, NOTIFY_FOR_THIS_SESSION);
    FreeLibrary(wts);
  }
}

// The surfaces of a windowed screen: a clipped primary and an off-screen back buffer. Gives the
// first DirectDraw result that failed, for the reason of a failed open, else DD_OK.
HRESULT CreateWindowedSurfaces(HWND window) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
  HRESULT result = gScreen.directDraw->CreateSurface(&desc, &gScreen.primary, nullptr);
  if (SUCCEEDED(result)) result = gScreen.directDraw->CreateClipper(0, &gScreen.clipper, nullptr);
  if (SUCCEEDED(result)) result = gScreen.clipper->SetHWnd(0, window);
  if (SUCCEEDED(result)) result = gScreen.primary->SetClipper(gScreen.clipper);
  if (FAILED(result)) return result;
  desc = DDSURFACEDESC2{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  desc.dwWidth = gScreen.width;
  desc.dwHeight = gScreen.height;
  return gScreen.directDraw->CreateSurface(&desc, &gScreen.backBuffer, nullptr);
}

// A full screen's flip chain: the primary with one attached back buffer. Gives the first result
// that failed, else DD_OK.
HRESULT CreateFlipChain() {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  HRESULT result = gScreen.directDraw->CreateSurface(&desc, &gScreen.primary, nullptr);
  if (FAILED(result)) return result;
  DDSCAPS2 caps{};
  caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
  return gScreen.primary->GetAttachedSurface(&caps, &gScreen.backBuffer);
}

void BlackenSurface(IDirectDrawSurface7* surface) {
  HDC dc = nullptr;
  if (FAILED(surface->GetDC(&dc))) return;
  RECT whole{0, 0, gScreen.width, gScreen.height};
  FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  surface->ReleaseDC(dc);
}

// A failed open leaves the library started with no screen open, and says why.
int32_t FailOpen(const char* why, HRESULT result = S_OK) {
  if (FAILED(result))
    SetRuntimeError("screen: %s (0x%08lX)", why, ResultCode(result));
  else
    SetRuntimeError("screen: %s", why);
  ReleaseScreen();
  if (gScreen.autoFrameRate) SetFrameLimit(0);
  gScreen.screenWidth = gScreen.screenHeight = 0;
  return 0;
}
}  // namespace

void ReadPixelFormat() {
  if (!gScreen.primary) return;
  if (FAILED(gScreen.primary->Lock(nullptr, &gScreen.formatDesc, DDLOCK_WAIT, nullptr))) return;
  gScreen.primary->Unlock(nullptr);
  const DDPIXELFORMAT& pf = gScreen.formatDesc.ddpfPixelFormat;
  gScreen.format = PixelFormatFromMasks(gScreen.depth, pf.dwRBitMask, pf.dwGBitMask);
}

void BlackenBuffers() {
  if (gScreen.backBuffer) BlackenSurface(gScreen.backBuffer);
  if (!gScreen.windowed && gScreen.primary) BlackenSurface(gScreen.primary);
  gScreen.output = gScreen.backBuffer;
}

void UpdateFrameOffsets() {
  RECT client, outer;
  GetClientRect(gScreen.window, &client);
  ClientToScreen(gScreen.window, reinterpret_cast<POINT*>(&client.left));
  ClientToScreen(gScreen.window, reinterpret_cast<POINT*>(&client.right));
  GetWindowRect(gScreen.window, &outer);
  gScreen.frameLeft = gScreen.offsetX + client.left - outer.left;
  gScreen.frameTop = gScreen.offsetY + client.top - outer.top;
  gScreen.frameRight = gScreen.rightMargin + outer.right - client.right;
  gScreen.frameBottom = gScreen.bottomMargin + outer.bottom - client.bottom;
}

void ComputeBlitRects(RECT* destination, RECT* source) {
  GetWindowRect(gScreen.window, destination);
  OffsetRect(destination, gScreen.frameLeft, gScreen.frameTop);
  if (gScreen.stretch) {
    destination->right -= gScreen.frameRight + gScreen.frameLeft;
    destination->bottom -= gScreen.frameBottom + gScreen.frameTop;
  } else {
    destination->right = destination->left + gScreen.width;
    destination->bottom = destination->top + gScreen.height;
  }
  *source = RECT{0, 0, gScreen.width, gScreen.height};
}

void RepaintWindowed() {
  if (!gScreen.windowed || !gScreen.primary || !gScreen.backBuffer) return;
  RECT destination, source;
  ComputeBlitRects(&destination, &source);
  gScreen.primary->Blt(&destination, gScreen.backBuffer, &source, DDBLT_WAIT, nullptr);
}

void ReleaseScreen() {
  GiveBackOutput();
  if (gScreen.device3D) {
    gScreen.device3D->Release();
    gScreen.device3D = nullptr;
  }
  if (gScreen.sprites) {
    RegistryEnumStart(gScreen.sprites);
    ObjectNumber number;
    while (RegistryEnumNext(gScreen.sprites, &number)) DeleteSpriteHook(number);
  }
  if (gScreen.directDraw) gScreen.directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  if (gScreen.backBuffer) gScreen.backBuffer->Release();
  if (gScreen.primary) gScreen.primary->Release();
  gScreen.backBuffer = gScreen.primary = gScreen.output = nullptr;
  if (gScreen.window && gScreen.cursorHidden) ShowCursor(TRUE);
  gScreen.cursorHidden = 0;
  if (gScreen.clipper) gScreen.clipper->Release();
  gScreen.clipper = nullptr;
  if (gScreen.windowed) {
    gScreen.windowed = 0;
    InvalidateRect(gScreen.window, nullptr, TRUE);
  }
  gScreen.window = gScreen.baseWindow;
  ShowWindow(gScreen.baseWindow, SW_HIDE);
}

void TearDownScreen() {
  if (!gScreen.screenWidth) return;
  if (gScreen.autoFrameRate) SetFrameLimit(0);
  if (!gScreen.windowed) PlatformFineTimer(false);
  ReleaseScreen();
  gScreen.screenWidth = gScreen.screenHeight = 0;
}

int32_t OpenWindowedScreen(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, int32_t stretch,
                           int32_t rightMargin, int32_t bottomMargin) {
  ClearRuntimeError();
  TearDownScreen();
  gScreen.suspendRoutine = SaveSpritesHook;
  if (!gScreen.directDraw) return FailOpen("OpenWindowedScreen: the screen library is not started (InitSprite)");
  if (!window) return FailOpen("OpenWindowedScreen: no window given");
  gScreen.window = window;
  gScreen.width = gScreen.screenWidth = width;
  gScreen.height = gScreen.screenHeight = height;
  HDC dc = GetDC(window);
  gScreen.depth = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(window, dc);
  if (gScreen.frameRate == 0) {
    SetFrameLimit(60);
    gScreen.autoFrameRate = 1;
  } else {
    gScreen.autoFrameRate = 0;
  }
  gScreen.windowed = 1;
  HRESULT result = gScreen.directDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
  if (FAILED(result)) return FailOpen("OpenWindowedScreen: DirectDraw refused the window", result);
  result = CreateWindowedSurfaces(window);
  if (FAILED(result)) return FailOpen("OpenWindowedScreen: the screen's surfaces could not be made", result);
  BlackenBuffers();
  gScreen.offsetX = x;
  gScreen.offsetY = y;
  gScreen.rightMargin = rightMargin;
  gScreen.bottomMargin = bottomMargin;
  gScreen.stretch = stretch;
  UpdateFrameOffsets();
  SubclassOnce(window);
  ReadPixelFormat();
  gScreen.flipRoutine = FlipWindowed;
  gScreen.active = 1;
  return 1;
}

int32_t OpenScreen(int32_t width, int32_t height, int32_t depth, const char* title) {
  width = static_cast<int16_t>(width);
  height = static_cast<int16_t>(height);
  depth = static_cast<int16_t>(depth);
  ClearRuntimeError();
  TearDownScreen();
  gScreen.suspendRoutine = SaveSpritesHook;
  if (!gScreen.window || !gScreen.directDraw)
    return FailOpen("OpenScreen: the screen library is not started (InitSprite)");
  SetWindowTextA(gScreen.window, title ? title : "");
  MoveWindow(gScreen.window, 0, 0, width, height, TRUE);
  gScreen.width = gScreen.screenWidth = width;
  gScreen.height = gScreen.screenHeight = height;
  gScreen.depth = depth;
  ShowCursor(FALSE);
  gScreen.cursorHidden = 1;
  HRESULT result = gScreen.directDraw->SetCooperativeLevel(gScreen.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  if (FAILED(result)) return FailOpen("OpenScreen: DirectDraw refused the full screen", result);
  result = gScreen.directDraw->SetDisplayMode(width, height, depth, gScreen.refreshRate, 0);
  if (FAILED(result)) {
    char why[96];
    snprintf(why, sizeof why, "OpenScreen: the display mode %d by %d at %d bits was refused", width, height, depth);
    return FailOpen(why, result);
  }
  result = CreateFlipChain();
  if (FAILED(result)) return FailOpen("OpenScreen: the screen's surfaces could not be made", result);
  ShowWindow(gScreen.window, SW_SHOWMAXIMIZED);
  BlackenBuffers();
  DWORD frequency = 0;
  gScreen.directDraw->GetMonitorFrequency(&frequency);
  gScreen.monitorFrequency = frequency;
  ReadPixelFormat();
  gScreen.active = 1;
  gScreen.flipRoutine = FlipFullScreen;
  PlatformFineTimer(true);
  return 1;
}
