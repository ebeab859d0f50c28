/// \file
/// Mouse input through a buffered DirectInput 7 device. PollMouse drains the device's events once
/// per frame and moves a position of the runtime's own, clamped to the open screen; the getters
/// answer from that state until the next poll. In a windowed screen the system cursor is confined
/// to the screen area, hidden, and kept on the runtime's position while the screen is in front.
///
/// Every command below is a no-op returning 0 until InitMouse has made the device ready. Positions
/// are in pixels of the screen, movements in the device's mouse counts.
#pragma once
#include <cstdint>

/// Start routine of the mouse: the shared DirectInput (loaded from DINPUT.DLL) and a mouse device,
/// bound to the screen's window at the first poll on an active screen. A second start finds it
/// ready and takes nothing more; a start that fails gives back all it took.
/// \return 1 when the device is ready, else 0.
int32_t InitMouse();
/// Reads the mouse's events since the last poll: moves the position (clamped to the screen), sets
/// the movement and the buttons. While the screen is not in front, or the mouse is suspended, it
/// frees the cursor instead; an overflow of the device's buffer drops the events and releases the
/// left and right buttons.
/// \return 1 when the device's events were read, else 0 (the movement then reads 0).
int32_t PollMouse();
/// \return the mouse's x on the screen, 0..width - 1 after a poll.
int32_t MousePosX();
/// \return the mouse's y on the screen, 0..height - 1 after a poll.
int32_t MousePosY();
/// \return the horizontal movement of the last poll, in mouse counts (right is positive).
int32_t MouseMoveX();
/// \return the vertical movement of the last poll, in mouse counts (down is positive).
int32_t MouseMoveY();
/// \return the wheel notches of the last poll, truncated toward zero (away from the user is
///   positive).
int32_t MouseWheelSteps();
/// \param n 1 left, 2 right, 3 middle.
/// \return 1 while the button was down at the last poll, else 0 (other numbers read 0).
int32_t MouseButtonDown(int32_t n);
/// Moves the runtime's mouse position to (x, y), unclamped until the next successful poll.
void SetMousePosition(int32_t x, int32_t y);
/// \param release 1 frees the mouse (the cursor and the device) until it is taken back; any other
///   value takes it back at the next poll.
void SuspendMouse(int32_t release);
/// Frees the cursor (windowed: unconfined and shown again) and unacquires the device, until the
/// next poll takes it again.
void UncaptureMouse();
/// End routine of the mouse: releases the device and its hold on DirectInput.
void EndMouse();
