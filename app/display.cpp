// Display set-up and the frame loop: the libraries the demo needs, window 0 with its windowed
// screen, and the frames with their input, focus-lost screen, cursor handling and pacing.
#include <windows.h>

#include "app/demo.h"
#include "runtime/core/random.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites3d.h"
#include "runtime/sound/sound.h"
#include "runtime/window/window.h"

namespace {
constexpr int32_t kDemoWindow = 0;
// Caption, system menu and minimize box, centred on the desktop.
constexpr int32_t kDemoWindowFlags = 0xCA0001;
constexpr uint32_t kStopIconOk = 16;
constexpr uint32_t kNoFocusFill = 0x404040;
constexpr uint32_t kNoFocusText = 0xC0C0C0;
constexpr uint32_t kArrowColour = 0x20C0C0;
constexpr uint32_t kNoFocusSleepMs = 100;

[[noreturn]] void FailDisplay(const char* text) {
  ShowMessageBox("Message", text, kStopIconOk);
  EndProgram();
}

void DrawNoFocusScreen() {
  FillScreen(kNoFocusFill);
  BeginDrawing(ScreenTarget());
  SetDrawMode(kDrawTransparentText);
  DrawTextAt(100, 100, "NoFocus", kNoFocusText);
  EndDrawing();
  DelayMs(kNoFocusSleepMs);
}

// An arrow head with its tip at the mouse and its notch 8 pixels in along the diagonal.
void DrawArrowCursor(int32_t mx, int32_t my) {
  BeginDrawing(ScreenTarget());
  SetDrawColor(kArrowColour);
  DrawLine(mx, my, 24, 16);
  DrawLine(mx, my, 16, 24);
  DrawLine(mx + 24, my + 16, -16, -8);
  DrawLine(mx + 16, my + 24, -8, -16);
  EndDrawing();
}
}  // namespace

uint32_t FramePacingDelay(uint32_t diff) { return diff < 16 ? kFrameMs - diff : 0; }

int32_t InitDisplay(int32_t width, int32_t height, int32_t windowed, const char* title, int32_t depth) {
  // The title is copied first: a title built in the StringTemp may move while the libraries start.
  char* titleCopy = nullptr;
  NewStringCopy(&titleCopy, title);
  if (!InitSprite()) FailDisplay("InitSprite() failed !");
  if (!InitSound()) FailDisplay("InitSound() failed !");
  if (!InitKeyboard()) FailDisplay("InitKeyboard() failed !");
  if (windowed) {
    if (!OpenWindow(kDemoWindow, 0, 0, width, height, titleCopy, kDemoWindowFlags))
      FailDisplay("OpenWindow() failed !");
    if (!OpenWindowedScreen(reinterpret_cast<HWND>(WindowHandle(kDemoWindow)), 0, 0, width, height, 0, 0, 0))
      FailDisplay("OpenWindowedScreen() failed !");
  } else {
    if (!InitMouse()) FailDisplay("InitMouse() failed !");
    if (!OpenScreen(width, height, depth, titleCopy)) FailDisplay("OpenScreen() failed !");
  }
  if (!Init3DSprites()) FailDisplay("InitSprite() failed !");
  FreeString(titleCopy);
  return 0;
}

int32_t FrameLoop(FrameProc callback, uint32_t background, int32_t cursorFlag) {
  int32_t endFlag = 0;
  int32_t mouse[2] = {0, 0};
  int32_t button1 = 0, button2 = 0;
  uint32_t lastCall = ElapsedTicks();
  // Tick arithmetic is unsigned so that it stays right when the tick count passes 2^31 or wraps.
  uint32_t frameStart = 0;
  do {
    PollKeyboard();
    intptr_t event = PollWindowEvent();
    int32_t active = IsDisplayActive() ? 1 : 0;

    if (WindowExists(kDemoWindow)) {
      if (WindowCursorX(kDemoWindow) >= 0 && active == 1) {
        mouse[0] = WindowCursorX(kDemoWindow);
        mouse[1] = WindowCursorY(kDemoWindow);
        // Only the down bit: the low bit says the button was pressed at some time since the last
        // query, by whichever program, and would move the player without a button held.
        button1 = GetAsyncKeyState(VK_LBUTTON) & 0x8000;
        button2 = GetAsyncKeyState(VK_RBUTTON) & 0x8000;
        if (cursorFlag == 0) {
          ShowCursor(FALSE);
          cursorFlag = 1;
        }
      } else if (cursorFlag == 1) {
        ShowCursor(TRUE);
        cursorFlag = 0;
      }
    } else {
      PollMouse();
      mouse[0] = MousePosX();
      mouse[1] = MousePosY();
      button1 = MouseButtonDown(1);
      button2 = MouseButtonDown(2);
    }

    if (active == 0) {
      DrawNoFocusScreen();
    } else {
      FillScreen(background);
      uint32_t now = ElapsedTicks();
      int32_t elapsed = static_cast<int32_t>(now - lastCall);
      lastCall = now;
      endFlag = callback(elapsed, mouse, button1, button2);
      if (cursorFlag != 1) DrawArrowCursor(mouse[0], mouse[1]);
      if (IsKeyDown(kKeyEscape)) endFlag = 1;
      if (event == EVENT_CLOSE) endFlag = 1;
    }

    FlipBuffers();
    uint32_t delay = FramePacingDelay(ElapsedTicks() - frameStart);
    if (delay) DelayMs(delay);
    frameStart = ElapsedTicks();
  } while (endFlag != 1);
  return 0;
}
