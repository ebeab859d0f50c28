// Keyboard input through DirectInput 7: PollKeyboard takes a snapshot of all 256 keys once per
// frame and IsKeyDown answers from it. Also the shared, counted DirectInput opener that the
// keyboard and the mouse use.
#pragma once
#include <dinput.h>
#include <windows.h>

#include <cstdint>

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

// Non-zero when the keyboard device is ready. A second start finds it ready and takes nothing more;
// a start that fails gives back all it took.
int32_t InitKeyboard();
int32_t PollKeyboard();  // 1 when a fresh snapshot was taken
// 128 or 0 for a key code 0..255; for -1, 1 when any of the codes 0..254 is down. Other codes: 0.
int32_t IsKeyDown(int32_t key);
void EndKeyboard();
