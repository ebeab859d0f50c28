// Keyboard input through DirectInput 7: one snapshot of all 256 keys per poll. The cooperative
// level is applied at the first poll, with the screen's window of that moment.
#include "runtime/core/heaps_internal.h"
#include "runtime/input/input_internal.h"
#include "runtime/screen/screen_internal.h"

KeyboardState gKeyboard;

namespace {
constexpr DWORD kKeyboardCooperation = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY;

// The same layout as DirectInput's predefined keyboard format: one optional button per key code.
bool BuildKeyboardFormat() {
  if (!gKeyboard.objects) {
    gKeyboard.objects = static_cast<DIOBJECTDATAFORMAT*>(RuntimeAlloc(256 * sizeof(DIOBJECTDATAFORMAT)));
    if (!gKeyboard.objects) return false;
  }
  for (DWORD i = 0; i < 256; ++i) {
    gKeyboard.objects[i].pguid = &GUID_Key;
    gKeyboard.objects[i].dwOfs = i;
    gKeyboard.objects[i].dwType = DIDFT_OPTIONAL | DIDFT_BUTTON | (i << 8);
    gKeyboard.objects[i].dwFlags = 0;
  }
  gKeyboard.format.dwSize = sizeof(DIDATAFORMAT);
  gKeyboard.format.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
  gKeyboard.format.dwFlags = DIDF_RELAXIS;
  gKeyboard.format.dwDataSize = 256;
  gKeyboard.format.dwNumObjs = 256;
  gKeyboard.format.rgodf = gKeyboard.objects;
  return true;
}
}  // namespace

int32_t InitKeyboard() {
  if (gKeyboard.status != kKeyboardNone) return 1;
  IDirectInput7A* input = TakeDirectInput();
  if (!input) return 0;
  gKeyboard.device = BuildKeyboardFormat() ? CreateInputDevice(input, GUID_SysKeyboard, &gKeyboard.format) : nullptr;
  if (!gKeyboard.device) {
    CloseDirectInput();
    return 0;
  }
  gKeyboard.status = kKeyboardReady;
  return 1;
}

int32_t PollKeyboard() {
  if (gKeyboard.status == kKeyboardNone) return 0;
  if (gKeyboard.status == kKeyboardReady) {
    gKeyboard.device->SetCooperativeLevel(gScreen.window, kKeyboardCooperation);
    gKeyboard.device->Acquire();
    gKeyboard.status = kKeyboardAcquired;
  }
  if (SUCCEEDED(gKeyboard.device->GetDeviceState(sizeof gKeyboard.keys, gKeyboard.keys))) return 1;
  gKeyboard.status = kKeyboardReady;
  return 0;
}

int32_t IsKeyDown(int32_t key) {
  if (gKeyboard.status != kKeyboardAcquired || key < -1 || key > 255) return 0;
  if (key == -1) {
    for (int code = 0; code < 255; ++code)
      if (gKeyboard.keys[code] & 0x80) return 1;
    return 0;
  }
  return gKeyboard.keys[key] & 0x80;
}

void EndKeyboard() {
  if (gKeyboard.status == kKeyboardNone) return;
  gKeyboard.device->Unacquire();
  gKeyboard.device->Release();
  gKeyboard.device = nullptr;
  gKeyboard.status = kKeyboardNone;
  CloseDirectInput();
}
