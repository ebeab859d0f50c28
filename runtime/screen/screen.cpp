// The screen library's start and end: the sprite registry, the hidden base window that serves as
// the screen's window whenever no windowed screen is open, the keyboard and the shared, counted
// DirectDraw object loaded from DDRAW.DLL at run time.
#include "runtime/screen/screen.h"

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/input/keyboard.h"
#include "runtime/screen/screen_internal.h"

ScreenState gScreen;

namespace {
constexpr char kBaseWindowClass[] = "MultimediaBase Class";
using DirectDrawCreateExFn = HRESULT(WINAPI*)(GUID*, void**, REFIID, IUnknown*);

// Releasing Alt or Tab comes just before Windows switches away from a full-screen program, while
// the surfaces still hold the sprites' pixels.
void SuspendOnce() {
  if (gScreen.suspendRoutine && !gScreen.suspended) {
    gScreen.suspendRoutine();
    gScreen.suspended = 1;
  }
}

void OnActivate(WPARAM wParam) {
  if (gScreen.windowed) return;
  if (LOWORD(wParam)) {
    gScreen.active = 1;
    gScreen.suspended = 0;
    return;
  }
  SuspendOnce();
  gScreen.active = 0;
  if (gScreen.mouseDevice) gScreen.mouseDevice->Unacquire();
}

LRESULT CALLBACK BaseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (wParam == VK_TAB || wParam == VK_MENU) SuspendOnce();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 1;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
}  // namespace

HINSTANCE ScreenInstance() {
  return gCore.instance ? static_cast<HINSTANCE>(gCore.instance) : GetModuleHandleA(nullptr);
}

void DeleteSpriteHook(ObjectNumber number) {
  if (gScreen.deleteSprite) gScreen.deleteSprite(number);
}

void SaveSpritesHook() {
  if (gScreen.saveSpritePixels) gScreen.saveSpritePixels();
}

void RestoreSpritesHook() {
  if (gScreen.restoreSpritePixels) gScreen.restoreSpritePixels();
}

int32_t OpenBaseWindow() {
  if (gScreen.baseWindowCreated || gScreen.window) return gScreen.baseWindowCreated;
  HINSTANCE instance = ScreenInstance();
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = BaseWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.lpszClassName = kBaseWindowClass;
  if (!RegisterClassExA(&windowClass)) return gScreen.baseWindowCreated;
  gScreen.window = CreateWindowExA(0, kBaseWindowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (gScreen.window) {
    gScreen.baseWindow = gScreen.window;
    gScreen.baseWindowCreated = 1;
  }
  return gScreen.baseWindowCreated;
}

IDirectDraw7* OpenDirectDraw() {
  if (!gScreen.directDraw) {
    gScreen.directDrawModule = LoadLibraryA("DDRAW.DLL");
    if (gScreen.directDrawModule) {
      auto create = reinterpret_cast<DirectDrawCreateExFn>(
          reinterpret_cast<void*>(GetProcAddress(gScreen.directDrawModule, "DirectDrawCreateEx")));
      void* created = nullptr;
      if (create && SUCCEEDED(create(nullptr, &created, IID_IDirectDraw7, nullptr)))
        gScreen.directDraw = static_cast<IDirectDraw7*>(created);
      if (!gScreen.directDraw) {
        FreeLibrary(gScreen.directDrawModule);
        gScreen.directDrawModule = nullptr;
      }
    }
  }
  ++gScreen.directDrawUsers;
  return gScreen.directDraw;
}

void CloseDirectDraw() {
  --gScreen.directDrawUsers;
  if (gScreen.directDraw && gScreen.directDrawUsers == 0) {
    gScreen.directDraw->Release();
    FreeLibrary(gScreen.directDrawModule);
    gScreen.directDrawModule = nullptr;
    gScreen.directDraw = nullptr;
  }
}

intptr_t InitSprite() {
  gScreen.colourKey = DDCOLORKEY{0, 0};
  gScreen.fillEffects = DDBLTFX{};
  gScreen.fillEffects.dwSize = sizeof(DDBLTFX);
  gScreen.formatDesc = DDSURFACEDESC2{};
  gScreen.formatDesc.dwSize = sizeof(DDSURFACEDESC2);
  gScreen.convertDesc = DDSURFACEDESC2{};
  gScreen.convertDesc.dwSize = sizeof(DDSURFACEDESC2);
  // A second start keeps what an open screen holds: its pacing and the DC it handed out.
  if (!gScreen.screenWidth) {
    gScreen.refreshRate = 0;
    gScreen.frameRate = 0;
    gScreen.autoFrameRate = 0;
    gScreen.outputState = 0;
  }
  // A second start keeps the registry, so that sprites made before stay reachable.
  if (!gScreen.sprites) gScreen.sprites = RegistryCreate(sizeof(SpriteRecord), 64, DeleteSpriteHook);
  if (!OpenBaseWindow()) return 0;
  // The keyboard is started with the library, not again by every later start: a program that
  // ended it keeps it ended.
  if (!gScreen.started && !InitKeyboard()) return 0;
  // The library is one user of the shared DirectDraw object from its start to EndScreen, however
  // often it is started; a start after one whose load failed tries the load again.
  if (!gScreen.started) {
    gScreen.started = 1;
    OpenDirectDraw();
  } else if (!gScreen.directDraw) {
    CloseDirectDraw();
    OpenDirectDraw();
  }
  if (!gScreen.directDraw) return 0;
  return reinterpret_cast<intptr_t>(gScreen.sprites);
}

void EndScreen() {
  if (!gScreen.started) return;
  // An open screen is closed as the next open would close it: a full screen gives back its timer
  // period too.
  if (gScreen.screenWidth)
    TearDownScreen();
  else
    ReleaseScreen();
  CloseDirectDraw();
  gScreen.started = 0;
}
