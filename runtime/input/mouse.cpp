// The DirectInput mouse: a buffered device read once per frame. The cooperative level, buffer size
// and acquisition are applied at the first poll on an active screen (and again after a suspend),
// since they depend on the screen's window of that moment.
#include "runtime/input/mouse.h"

#include "runtime/input/keyboard.h"
#include "runtime/screen/screen.h"

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

// Clamps a moved coordinate to 0..size-1; with no screen open (size 0) it stays at 0.
int32_t Clamp(int64_t value, int32_t size) {
  if (value < 0) return 0;
  if (value >= size) return size > 0 ? size - 1 : 0;
  return static_cast<int32_t>(value);
}

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

void TakeEvents(DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    const DIDEVICEOBJECTDATA& event = gMouse.events[i];
    int32_t value = static_cast<int32_t>(event.dwData);
    int32_t down = (event.dwData & 0x80) ? 1 : 0;
    switch (event.dwOfs) {
      case 0:
        gMouse.deltaX += value;
        break;
      case 4:
        gMouse.deltaY += value;
        break;
      case 8:
        gMouse.deltaZ += value;
        break;
      case 12:
        gMouse.button1 = down;
        break;
      case 13:
        gMouse.button2 = down;
        break;
      case 14:
        gMouse.button3 = down;
        break;
      default:
        break;
    }
  }
}

}  // namespace

int32_t InitMouse() {
  if (!gMouse.holdsDirectInput) {
    // The opener counts failed calls too; a failure is matched at once so EndMouse needs no record of it.
    if (!OpenDirectInput()) {
      CloseDirectInput();
      gMouse.initCalled = 1;
      return 0;
    }
    gMouse.holdsDirectInput = 1;
  }
  gMouse.initCalled = 1;
  if (Ready()) return 1;
  if (!gMouse.device) {
    void* device = nullptr;
    HRESULT result =
        gDirectInput.directInput->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, &device, nullptr);
    if (FAILED(result) || !device) return 0;
    gMouse.device = static_cast<IDirectInputDevice7A*>(device);
    gScreen.mouseDevice = gMouse.device;
  }
  if (FAILED(gMouse.device->SetDataFormat(&kMouseFormat))) return 0;
  gMouse.cursorShown = 1;
  gMouse.status = kMouseApply;
  gMouse.suspended = 0;
  return 1;
}

int32_t PollMouse() {
  if (!Ready()) return 0;
  DWORD count = kMouseEventCapacity;
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
  HRESULT result = gMouse.device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), gMouse.events, &count, 0);
  if (result == DI_OK) {
    TakeEvents(count < kMouseEventCapacity ? count : kMouseEventCapacity);
    gMouse.x = Clamp(static_cast<int64_t>(gMouse.x) + gMouse.deltaX, gScreen.screenWidth);
    gMouse.y = Clamp(static_cast<int64_t>(gMouse.y) + gMouse.deltaY, gScreen.screenHeight);
    if (gScreen.windowed) SetCursorPos(area.left + gMouse.x, area.top + gMouse.y);
    return 1;
  }
  if (result == DI_BUFFEROVERFLOW) {
    // The dropped events may have held the button releases.
    gMouse.button1 = gMouse.button2 = 0;
  } else if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
    if (IsDisplayActive()) gMouse.device->Acquire();
  }
  return 0;
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
  if (!gMouse.initCalled) return;
  ClipCursor(nullptr);
  if (Ready() && !gMouse.cursorShown) ShowCursor(TRUE);
  if (gMouse.device) {
    gMouse.device->Unacquire();
    gMouse.device->Release();
    if (gScreen.mouseDevice == gMouse.device) gScreen.mouseDevice = nullptr;
  }
  if (gMouse.holdsDirectInput) CloseDirectInput();
  gMouse = MouseState{};
}
