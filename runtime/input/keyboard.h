/// \file
/// Keyboard input through DirectInput 7: PollKeyboard takes a snapshot of all 256 keys once per
/// frame and IsKeyDown answers from it.
///
/// Keys are DirectInput key codes (dinput.h's DIK_ constants: DIK_ESCAPE 1, DIK_SPACE 57,
/// DIK_LEFT 203, ...), which name keys by their place on the keyboard, not the virtual-key codes
/// (VK_) that window events carry. The keyboard reads keys only while the screen's window is in
/// front.
#pragma once
#include <cstdint>

/// Start routine of the keyboard: the shared DirectInput (loaded from DINPUT.DLL) and a keyboard
/// device. InitSprite calls it too; a second start finds the device ready and takes nothing more,
/// and a start that fails gives back all it took.
/// \return non-zero when the keyboard device is ready, else 0.
int32_t InitKeyboard();
/// Takes a snapshot of all keys. The first poll binds the keyboard to the screen's window of that
/// moment, so poll only once the screen is open.
/// \return 1 when a fresh snapshot was taken; 0 before InitKeyboard or when the device could not
///   be read (the window is not in front): IsKeyDown then reads every key as up until a poll
///   succeeds again.
int32_t PollKeyboard();
/// Whether a key was down at the last successful PollKeyboard.
/// \param key a DirectInput key code 0..255 (DIK_), or -1 for any key.
/// \return for a key code, 128 when it was down, else 0; for -1, 1 when any of the codes 0..254
///   was down. Other codes, and every key before the first successful poll: 0.
int32_t IsKeyDown(int32_t key);
/// End routine of the keyboard: releases the device and its hold on DirectInput. Call it even when
/// only InitSprite started the keyboard.
void EndKeyboard();
