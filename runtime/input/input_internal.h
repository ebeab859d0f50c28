// What the input library's files share: the shared, counted DirectInput opener that the keyboard
// and the mouse use, and the keyboard's and the mouse's state records.
#pragma once
#include <windows.h>
// DirectInput needs windows.h first.
#include <dinput.h>

#include <cstdint>

#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/input/mouse_reading.h"

struct DirectInputShared {
  IDirectInput7A* directInput;  // null until created
  HMODULE module;               // DINPUT.DLL
  int32_t users;                // OpenDirectInput calls not yet matched by CloseDirectInput
};
extern DirectInputShared gDirectInput;

enum KeyboardStatus : int32_t {
  kKeyboardNone = 0,      // no device yet
  kKeyboardReady = 1,     // cooperative level and acquisition still to be applied
  kKeyboardAcquired = 2,  // keys holds a valid snapshot
};

// While the status is not kKeyboardNone the keyboard holds its device and one reference to the
// shared DirectInput; with kKeyboardNone it holds neither.
struct KeyboardState {
  uint8_t keys[256];  // high bit set: the key was down at the last successful poll
  IDirectInputDevice7A* device;
  int32_t status;  // KeyboardStatus
  DIDATAFORMAT format;
  DIOBJECTDATAFORMAT* objects;  // 256 entries, allocated once and kept
};
extern KeyboardState gKeyboard;

IDirectInput7A* OpenDirectInput();  // the shared interface, or null; counts every call
void CloseDirectInput();
// For a library's start: the shared interface with one reference taken, or null with none taken.
IDirectInput7A* TakeDirectInput();
// A device of the kind (GUID_SysKeyboard, GUID_SysMouse) with its data format set, or null with
// nothing kept when either step fails.
IDirectInputDevice7A* CreateInputDevice(IDirectInput7A* input, REFGUID kind, DIDATAFORMAT* format);

constexpr DWORD kMouseEventCapacity = 24;

enum MouseStatus : int32_t {
  kMouseNone = 0,      // no usable device yet
  kMouseApply = 1,     // cooperative level, buffer size and acquisition still to be applied
  kMouseAcquired = 2,  // applied; lost acquisition is repaired by the poll itself
};

// The reading (position, movement, buttons) comes first. While the status is not kMouseNone the
// mouse holds its device and one reference to the shared DirectInput; with kMouseNone neither.
struct MouseState : MouseReading {
  int32_t wheelGranularity;  // raw wheel units per notch, read when acquired; 0 until then
  IDirectInputDevice7A* device;
  int32_t status;       // MouseStatus
  int32_t cursorShown;  // 1 while this library believes the system cursor visible
  int32_t suspended;    // SuspendMouse(1) freed the mouse
  DIDEVICEOBJECTDATA events[kMouseEventCapacity];
};
extern MouseState gMouse;
