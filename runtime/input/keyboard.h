// Keyboard input through DirectInput 7: PollKeyboard takes a snapshot of all 256 keys once per
// frame and IsKeyDown answers from it.
#pragma once
#include <cstdint>

// Non-zero when the keyboard device is ready. A second start finds it ready and takes nothing more;
// a start that fails gives back all it took.
int32_t InitKeyboard();
int32_t PollKeyboard();  // 1 when a fresh snapshot was taken
// 128 or 0 for a key code 0..255; for -1, 1 when any of the codes 0..254 is down. Other codes: 0.
int32_t IsKeyDown(int32_t key);
void EndKeyboard();
