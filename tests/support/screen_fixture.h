// Screen helpers for tests: starts the screen library once, makes plain top-level windows and reads
// back-buffer pixels by locking the surface.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/heaps_internal.h"
#include "runtime/screen/screen_internal.h"
#include "support/core_setup.h"
#include "support/foreground.h"

inline bool EnsureScreenStarted() {
  static bool started = [] {
    EnsureCoreStarted();
    gCore.instance = GetModuleHandleA(nullptr);  // as the program's entry hands it over
    InitDrawing();
    return InitSprite() != 0;
  }();
  return started;
}

inline void PumpTestMessages(DWORD forMs = 0) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (forMs) Sleep(5);
  } while (GetTickCount() - start < forMs);
}

// A visible, captioned window whose client area is width by height, brought to the front.
inline HWND CreateTestWindow(int width, int height, int x = 40, int y = 40) {
  static bool registered = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = "HurzTestWindow";
    return RegisterClassExA(&windowClass) != 0;
  }();
  if (!registered) return nullptr;
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, style, FALSE);
  HWND window = CreateWindowExA(0, "HurzTestWindow", "hurz test", style | WS_VISIBLE, x, y, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
  }
  return window;
}

// Hiding or destroying a visible window takes Wine two seconds on a display without a window
// manager, so tests share windows: one per client size and place, made on first use and kept.
inline HWND TestWindow(int width, int height, int x = 40, int y = 40) {
  struct Kept {
    int width, height, x, y;
    HWND window;
  };
  static Kept kept[8];
  static int count = 0;
  for (int i = 0; i < count; ++i)
    if (kept[i].width == width && kept[i].height == height && kept[i].x == x && kept[i].y == y &&
        IsWindow(kept[i].window)) {
      SetForegroundWindow(kept[i].window);
      WaitUntil([&] { return GetForegroundWindow() == kept[i].window; }, 5000);
      return kept[i].window;
    }
  HWND window = CreateTestWindow(width, height, x, y);
  if (window && count < 8) kept[count++] = Kept{width, height, x, y, window};
  return window;
}

// Reads pixels of a surface through a lock; 32-bit screens only. Returns false when the lock fails.
class SurfacePixels {
 public:
  explicit SurfacePixels(IDirectDrawSurface7* surface) : surface_(surface) {
    desc_.dwSize = sizeof desc_;
    locked_ = surface && SUCCEEDED(surface->Lock(nullptr, &desc_, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
  }
  ~SurfacePixels() {
    if (locked_) surface_->Unlock(nullptr);
  }
  bool ok() const { return locked_; }
  uint32_t at(int x, int y) const { return raw(x, y) & 0xFFFFFF; }
  // The whole 32-bit pixel, the fourth byte included.
  uint32_t raw(int x, int y) const {
    uint32_t value;
    memcpy(&value, static_cast<uint8_t*>(desc_.lpSurface) + y * desc_.lPitch + x * 4, 4);
    return value;
  }

 private:
  IDirectDrawSurface7* surface_;
  DDSURFACEDESC2 desc_{};
  bool locked_ = false;
};
