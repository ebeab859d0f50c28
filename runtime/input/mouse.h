// Mouse input through a buffered DirectInput 7 device. PollMouse drains the device's events once
// per frame and moves a position of the runtime's own, clamped to the screen; the getters answer
// from that state until the next poll. In a windowed screen the system cursor is confined to the
// screen area, hidden, and kept on the runtime's position.
#pragma once
#include <cstdint>

// Every command below is a no-op returning 0 until InitMouse has made the device ready.
// 1 when the device is ready. A second start finds it ready and takes nothing more; a start that
// fails gives back all it took.
int32_t InitMouse();
int32_t PollMouse();  // 1 when the device's events were read
int32_t MousePosX();
int32_t MousePosY();
int32_t MouseMoveX();
int32_t MouseMoveY();
int32_t MouseWheelSteps();                    // wheel notches of the last poll, truncated toward zero
int32_t MouseButtonDown(int32_t n);           // 1 left, 2 right, 3 middle; other numbers read 0
void SetMousePosition(int32_t x, int32_t y);  // unclamped until the next successful poll
void SuspendMouse(int32_t release);           // 1 frees the mouse, anything else takes it back
void UncaptureMouse();                        // frees the cursor and unacquires the device
void EndMouse();
