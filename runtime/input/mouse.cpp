// The DirectInput mouse: a buffered device read once per frame. The cooperative level, buffer size
// and acquisition are applied at the first poll on an active screen (and again after a suspend),
// since they depend on the screen's window of that moment.
#include "runtime/input/mouse.h"

#include "runtime/input/input_internal.h"
#include "runtime/screen/screen_internal.h"

MouseState gMouse;

namespace {

// The same layout as DirectInput's predefined mouse format: three axes, four buttons.
DIOBJECTDATAFORMAT kMouseObjects[] = {
    {&GUID_XAxis, 0, DIDFT_ANYINSTANCE | DIDFT_AXIS, 0},
    {&GUID_YAxis, 4, DIDFT_ANYINSTANCE | DIDFT_AXIS, 0},
    {&GUID_ZAxis, 8, DIDFT_ANYINSTANCE | DIDFT_AXIS | DIDFT_OPTIONAL, 0},
    {nullptr, 12, DIDFT_ANYINSTANCE | DIDFT_BUTTON, 0},
    {nullptr, 13, DIDFT_ANYINSTANCE | DIDFT_BUTTON, 0},
    {nullptr, 14, DIDFT_ANYINSTANCE | DIDFT_BUTTON | DIDFT_OPTIONAL, 0},
    {nullptr, 15, DIDFT_ANYINSTANCE | DIDFT_BUTTON | DIDFT_OPTIONAL, 0},
};
DIDATAFORMAT kMouseFormat = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 16, sizeof kMouseObjects / sizeof kMouseObjects[0],
    kMouseObjects};

constexpr DWORD kWheelOffset = 8;

bool Ready() { return gMouse.status != kMouseNone && gMouse.device; }

// The screen area of a windowed screen in desktop coordinates.
RECT WindowedScreenArea() {
  RECT outer{}, area;
  GetWindowRect(gScreen.window, &outer);
  area = outer;
  OffsetRect(&area, gScreen.frameLeft, gScreen.frameTop);
  if (gScreen.stretch) {
    area.right = outer.right - gScreen.frameRight;
    area.bottom = outer.bottom - gScreen.frameBottom;
  } else {
    area.right = area.left + gScreen.screenWidth;
    area.bottom = area.top + gScreen.screenHeight;
  }
  return area;
}

void CaptureCursor(const RECT& area) {
  ClipCursor(&area);
  if (gMouse.cursorShown) {
    ShowCursor(FALSE);
    gMouse.cursorShown = 0;
  }
}

// Any step failing leaves the status at kMouseApply, so the next poll tries the whole sequence.
void ApplyAcquisition() {
  DWORD cooperation = DISCL_FOREGROUND | (gScreen.windowed ? DISCL_NONEXCLUSIVE : DISCL_EXCLUSIVE);
  if (FAILED(gMouse.device->SetCooperativeLevel(gScreen.window, cooperation))) return;
  DIPROPDWORD bufferSize{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, kMouseEventCapacity};
  if (FAILED(gMouse.device->SetProperty(DIPROP_BUFFERSIZE, &bufferSize.diph))) return;
  if (FAILED(gMouse.device->Acquire())) return;
  gMouse.status = kMouseAcquired;
  DIPROPDWORD granularity{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), kWheelOffset, DIPH_BYOFFSET}, 0};
  bool known = SUCCEEDED(gMouse.device->GetProperty(DIPROP_GRANULARITY, &granularity.diph));
  gMouse.wheelGranularity = known ? static_cast<int32_t>(granularity.dwData) : 1;
}

MouseRead ReadOutcome(HRESULT result) {
  if (result == DI_OK) return MouseRead::kEvents;
  return result == DI_BUFFEROVERFLOW ? MouseRead::kOverflow : MouseRead::kFailed;
}

}  // namespace

int32_t InitMouse() {
  if (Ready()) return 1;
  IDirectInput7A* input = TakeDirectInput();
  if (!input) return 0;
  gMouse.device = CreateInputDevice(input, GUID_SysMouse, &kMouseFormat);
  if (!gMouse.device) {
    CloseDirectInput();
    return 0;
  }
  gScreen.mouseDevice = gMouse.device;
  gMouse.cursorShown = 1;
  gMouse.status = kMouseApply;
  gMouse.suspended = 0;
  return 1;
}

int32_t PollMouse() {
  if (!Ready()) return 0;
  gMouse.deltaX = gMouse.deltaY = gMouse.deltaZ = 0;
  if (gMouse.suspended || !IsDisplayActive()) {
    UncaptureMouse();
    return 0;
  }
  RECT area{};
  if (gScreen.windowed) {
    area = WindowedScreenArea();
    CaptureCursor(area);
  }
  if (gMouse.status == kMouseApply) ApplyAcquisition();
  DWORD count = kMouseEventCapacity;
  HRESULT result = gMouse.device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), gMouse.events, &count, 0);
  MouseEvent events[kMouseEventCapacity];
  if (count > kMouseEventCapacity) count = kMouseEventCapacity;
  for (DWORD i = 0; i < count; ++i) events[i] = MouseEvent{gMouse.events[i].dwOfs, gMouse.events[i].dwData};
  int32_t taken =
      ApplyMouseRead(&gMouse, ReadOutcome(result), events, count, gScreen.screenWidth, gScreen.screenHeight);
  if (taken && gScreen.windowed) SetCursorPos(area.left + gMouse.x, area.top + gMouse.y);
  if ((result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) && IsDisplayActive()) gMouse.device->Acquire();
  return taken;
}

void UncaptureMouse() {
  if (!Ready()) return;
  if (gScreen.windowed) {
    ClipCursor(nullptr);
    if (!gMouse.cursorShown) {
      ShowCursor(TRUE);
      gMouse.cursorShown = 1;
    }
  }
  gMouse.device->Unacquire();
}

void SuspendMouse(int32_t release) {
  if (!Ready()) return;
  if (release == 1) {
    gMouse.status = kMouseApply;
    gMouse.suspended = 1;
    UncaptureMouse();
  } else {
    gMouse.suspended = 0;
  }
}

int32_t MousePosX() { return Ready() ? gMouse.x : 0; }
int32_t MousePosY() { return Ready() ? gMouse.y : 0; }
int32_t MouseMoveX() { return Ready() ? gMouse.deltaX : 0; }
int32_t MouseMoveY() { return Ready() ? gMouse.deltaY : 0; }

int32_t MouseWheelSteps() {
  if (!Ready()) return 0;
  // A device reporting no (or a nonsensical) granularity counts raw units.
  if (gMouse.wheelGranularity <= 0) gMouse.wheelGranularity = 1;
  return gMouse.deltaZ / gMouse.wheelGranularity;
}

int32_t MouseButtonDown(int32_t n) {
  if (!Ready()) return 0;
  switch (n) {
    case 1:
      return gMouse.button1;
    case 2:
      return gMouse.button2;
    case 3:
      return gMouse.button3;
    default:
      return 0;
  }
}

void SetMousePosition(int32_t x, int32_t y) {
  if (!Ready()) return;
  gMouse.x = x;
  gMouse.y = y;
}

void EndMouse() {
  if (!Ready()) return;
  ClipCursor(nullptr);
  if (!gMouse.cursorShown) ShowCursor(TRUE);
  gMouse.device->Unacquire();
  gMouse.device->Release();
  if (gScreen.mouseDevice == gMouse.device) gScreen.mouseDevice = nullptr;
  gMouse = MouseState{};
  CloseDirectInput();
}
