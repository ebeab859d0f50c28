// Sound output through DirectSound, loaded from DSOUND.DLL at run time: one DirectSound object
// bound to the screen's window, and numbered static buffers made from RIFF WAVE files or images in
// memory, played from their start, once or in a loop, at a volume, pan and frequency of their own.
#pragma once
#include <windows.h>
// The multimedia types need windows.h,
#include <mmsystem.h>
// and DirectSound needs both.
#include <dsound.h>
// mmsystem.h names Win32's PlaySoundA "PlaySound" by a macro, which would turn every call of the
// runtime's PlaySound(number, flags) into a call of PlaySoundA. Its include guard keeps a later
// include from bringing the macro back, so the name is the runtime's in every program.
#undef PlaySound

#include <cstdint>

#include "runtime/core/registry.h"

// A sound, the record of the sound registry. The buffer is the liveness word.
struct SoundRecord {
  IDirectSoundBuffer* buffer;
};

struct SoundState {
  IDirectSound* directSound;  // null until InitSound created it
  HMODULE module;             // DSOUND.DLL
  IDirectSoundBuffer* primary;
  ObjectRegistry* sounds;  // SoundRecord, 64 slots; kept across InitSound calls
};
extern SoundState gSound;

// Library start: the sound registry, DirectSound on the screen's window with the priority level,
// and the primary buffer. The registry on success, 0 on failure. A later call reuses what an
// earlier one made.
intptr_t InitSound();
// A static buffer holding the samples of a RIFF WAVE image. `length` bounds the image when it is
// non-zero; otherwise the RIFF size does. For AnyID the new dynamic number, otherwise the buffer's
// address; 0 on failure, leaving what the number held before untouched.
intptr_t CreateSoundFromMemory(ObjectNumber number, const void* image, int32_t length);
void DeleteSound(ObjectNumber number);  // a number holding no sound is ignored
// Library end: every sound, the DirectSound object, then DSOUND.DLL.
void EndSound();

/// PlaySound() flag: play the sound over and over until StopSound().
constexpr int32_t kSoundLoop = 1;

/// Loads a RIFF WAVE file (PCM or any format DirectSound takes) as a sound.
/// @param number the sound's number (0 up), or AnyID for a new dynamic number. A number that holds
/// a sound already gets the new one; on failure it keeps the old.
/// @param file the file's name, relative to the working folder or absolute; copied on entry.
/// @return for AnyID the new number, otherwise non-zero; 0 on failure (the file missing or
/// unreadable, not a WAVE file, a format DirectSound refuses, no memory, InitSound() not run).
intptr_t LoadSound(ObjectNumber number, const char* file);
/// Plays a sound from its start; a sound already playing starts again.
/// @param flags 0 to play once, kSoundLoop to repeat until StopSound().
/// @return 1, or 0 for a number that names no sound, unknown flags, or a device that refuses.
int32_t PlaySound(ObjectNumber number, int32_t flags);
/// Plays a sound once from its start: PlaySound(number, 0).
int32_t PlaySound(ObjectNumber number);
/// Stops a sound and rewinds it to its start.
/// @return 1, or 0 for a number that names no sound.
int32_t StopSound(ObjectNumber number);
/// Whether a sound is playing now.
/// @return 1 while it plays (once or in a loop), 0 when it stopped or ended, and 0 with
/// RuntimeErrorText() saying why for a number that names no sound.
int32_t SoundStatus(ObjectNumber number);
/// Sets a sound's volume; it stays until changed, for every later PlaySound().
/// @param percent 100 (as loaded, the loudest) down to 0 (silent); 50 is half the amplitude, 6 dB down.
/// @return 1, or 0 for a number that names no sound or a percent outside 0 to 100.
int32_t SoundVolume(ObjectNumber number, int32_t percent);
/// Sets where a sound is heard between the left and right speakers.
/// @param pan -100 (left only) through 0 (both, as loaded) to 100 (right only); the other side is
/// attenuated as SoundVolume() would with 100 - |pan| percent.
/// @return 1, or 0 for a number that names no sound or a pan outside -100 to 100.
int32_t SoundPan(ObjectNumber number, int32_t pan);
/// Sets the rate a sound is played at, which changes its pitch and length.
/// @param hertz samples per second from 100 to 100000, or 0 for the sound's own rate.
/// @return 1, or 0 for a number that names no sound or a rate outside that range.
int32_t SoundFrequency(ObjectNumber number, int32_t hertz);
