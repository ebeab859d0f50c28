// view-image FILE: shows a BMP or PNG picture in a window the size of the picture. Drag the
// window's border to size it (the picture follows, in proportion); Escape or closing the window
// ends the program. A file the sprite loader does not take gives a message box and exit code 1.
//
// A first program on the hurz runtime: start the libraries it uses, open a window with a windowed
// screen on it, load the picture as a sprite, and draw it every frame as a 3D sprite.
#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/core/heaps.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"
#include "runtime/input/keyboard.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d.h"
#include "runtime/window/window.h"

namespace {
constexpr ObjectNumber kWindow = 0;  // the program's one window
// A captioned window with a sizing border and the minimise and maximise boxes, hidden until the
// picture's size is known.
constexpr uint32_t kWindowFlags = WS_OVERLAPPEDWINDOW | kWindowHidden;
HANDLE runtimeHeap;  // the heap the runtime keeps its records in

// Every library a program uses has a start routine, called once before its first command, and an
// end routine. The core's heap comes first: the runtime keeps its records in it.
void StartRuntime() {
  runtimeHeap = HeapCreate(0, 4096, 0);
  UseRuntimeHeap(runtimeHeap, GetModuleHandleA(nullptr));
  InitStringTemp();
  InitObjectNodes();
  ResetImageDecoders();
  RegisterPngDecoder();  // BMP files are read without a decoder; PNG files need this one
  InitMessageBoxes();
  InitWindowLibrary();
}

// The end routines, in an order where nothing is ended while another library still uses it.
void EndRuntime() {
  EndWindowLibrary();
  End3DSprites();
  EndKeyboard();  // InitSprite started the keyboard
  EndScreen();
  EndObjectNodes();
  HeapDestroy(runtimeHeap);
}

int Fail(const std::string& text) {
  ShowMessageBox("view-image", text.c_str(), MB_OK | MB_ICONERROR);
  EndRuntime();
  return 1;
}

// Sizes the window so that its client area is width by height pixels, centres it, and shows it.
void ShowWindowSized(HWND window, int32_t width, int32_t height) {
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE);
  int outerWidth = outer.right - outer.left, outerHeight = outer.bottom - outer.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;
  SetWindowPos(window, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, outerWidth, outerHeight, SWP_NOZORDER);
  ShowWindow(window, SW_SHOWNORMAL);
}

// Draws the picture as large as the window's client area allows, keeping its proportions, in the
// middle; a window no larger than the picture shows it pixel for pixel.
void DrawFitted(ObjectNumber drawing, int32_t width, int32_t height, HWND window) {
  RECT client;
  GetClientRect(window, &client);
  float scaleX = float(client.right) / width, scaleY = float(client.bottom) / height;
  float scale = scaleX < scaleY ? scaleX : scaleY;
  float right = width * scale, bottom = height * scale;
  // The corners, clockwise from the top left, relative to the point the sprite is drawn at.
  Shape3DSprite(drawing, 0, 0, right, 0, right, bottom, 0, bottom);
  if (Begin3DScene()) {
    Draw3DSprite(drawing, int32_t(client.right - right) / 2, int32_t(client.bottom - bottom) / 2);
    End3DScene();
  }
}

// Reads every waiting window event; false once the user asked to end.
bool HandleEvents() {
  bool keepGoing = true;
  while (int32_t event = PollWindowEvent()) {
    if (event == EVENT_CLOSE) keepGoing = false;
    if (event == WM_KEYDOWN && EventwParam() == VK_ESCAPE) keepGoing = false;
  }
  return keepGoing;
}
}  // namespace

int main(int argc, char** argv) {
  StartRuntime();
  if (argc != 2) return Fail("Usage: view-image FILE\n\nShows a BMP or PNG picture.");
  const char* file = argv[1];

  // The screen library (with DirectDraw and the keyboard), then a window with a windowed screen.
  // The screen is as large as the desktop, so that the window can grow up to that size; the
  // window shows the screen's top-left corner.
  if (!InitSprite()) return Fail("DirectDraw could not be started.");
  if (!OpenWindow(kWindow, 0, 0, 1, 1, file, kWindowFlags)) return Fail("The window could not be opened.");
  HWND window = WindowHandle(kWindow);
  int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (!OpenWindowedScreen(window, 0, 0, screenWidth, screenHeight, 0, 0, 0))
    return Fail("The screen could not be opened.");
  if (!Init3DSprites()) return Fail("Direct3D could not be started.");

  // Sprites belong to the open screen. A texture sprite can be drawn as a 3D sprite, which the
  // runtime scales to any size; the alpha mode keeps a PNG's transparency.
  ObjectNumber picture = LoadSpriteFile(AnyID, file, kSpriteTexture | kSpriteAlpha);
  if (!picture) return Fail("\"" + std::string(file) + "\" is no picture that view-image can show.");
  ObjectNumber drawing = Create3DSprite(AnyID, picture);
  if (!drawing) return Fail("The picture could not be prepared for drawing.");

  // The window's client area takes the picture's size, shrunk to fit the desktop if need be.
  int32_t width = SpriteWidth(picture), height = SpriteHeight(picture);
  double shrink = 1.0;
  if (width > screenWidth) shrink = double(screenWidth) / width;
  if (height * shrink > screenHeight) shrink = double(screenHeight) / height;
  ShowWindowSized(window, static_cast<int32_t>(width * shrink), static_cast<int32_t>(height * shrink));

  // One frame per pass: events first, then the picture drawn into the back buffer, and
  // FlipBuffers shows it (at most 60 frames a second).
  while (HandleEvents()) {
    FillScreen(0);
    DrawFitted(drawing, width, height, window);
    FlipBuffers();
  }
  EndRuntime();
  return 0;
}
