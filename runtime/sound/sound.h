/// \file
/// Sound output through DirectSound, loaded from DSOUND.DLL at run time: one DirectSound object
/// bound to the screen's window, and numbered static buffers made from RIFF WAVE files or images
/// (PCM and the other formats DirectSound takes), played from their start, once or in a loop, at a
/// volume, pan and frequency of their own. Sounds stay audible while another program is in front.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

/// Start routine of the sound library: the sound registry, DirectSound on the screen's window (the
/// base window while no windowed screen is open) with the priority level, and the primary buffer.
/// A later call reuses what an earlier one made and retries what failed.
/// \return non-zero (the registry) on success, 0 on failure (no DSOUND.DLL, no audio device).
intptr_t InitSound();
/// Makes a static sound buffer holding the samples of a RIFF WAVE image in memory.
/// \param number the sound's number, or AnyID; a number in use frees that sound first, once the new
///   buffer is made.
/// \param image the WAVE file's bytes (copied into the buffer).
/// \param length the image's size in bytes, which bounds every read; 0 trusts the RIFF size.
/// \return for AnyID the new sound number, otherwise the buffer's address; 0 when the sound library
///   is not started, the image is refused or no buffer could be made, leaving what the number held
///   before untouched.
intptr_t CreateSoundFromMemory(ObjectNumber number, const void* image, int32_t length);
/// Frees the sound; a number holding no sound is ignored.
void DeleteSound(ObjectNumber number);
/// End routine of the sound library: frees every sound, the DirectSound object, then DSOUND.DLL.
void EndSound();

/// PlaySound() flag: play the sound over and over until StopSound().
constexpr int32_t kSoundLoop = 1;

/// Loads a RIFF WAVE file (PCM, or any format DirectSound takes) as a sound.
/// \param number the sound's number (0 up), or AnyID for a new dynamic number; a number that holds a
///   sound gets the new one, and keeps the old when the load fails.
/// \param file the file's name, relative to the working folder or absolute.
/// \return for AnyID the new number, otherwise non-zero; 0 when the file is missing, unreadable or
///   empty, is no usable WAVE file, holds a format DirectSound refuses, memory ran out, or the sound
///   library is not started (RuntimeErrorText() says which).
intptr_t LoadSound(ObjectNumber number, const char* file);

// Win32's mmsystem.h defines PlaySound as a macro naming PlaySoundA (PlaySoundW with UNICODE). A
// definition made before this header is taken back here; one made after it turns a call of
// PlaySound(number, flags) into PlaySoundA(number, flags), which the two overloads below take.
#ifdef PlaySound
#undef PlaySound
#endif

/// Plays a sound from its start; a sound already playing starts again.
/// \param number the sound's number.
/// \param flags 0 to play it once, kSoundLoop to repeat it until StopSound().
/// \return 1, or 0 for a number that names no sound, unknown flags, or a device that refuses.
int32_t PlaySound(ObjectNumber number, int32_t flags);
/// Plays a sound once from its start: PlaySound(number, 0).
/// \param number the sound's number.
/// \return as PlaySound(number, flags).
int32_t PlaySound(ObjectNumber number);
/// PlaySound() under the name mmsystem.h's macro gives it (see above).
inline int32_t PlaySoundA(ObjectNumber number, int32_t flags) { return PlaySound(number, flags); }
/// PlaySound() under the name mmsystem.h's macro gives it (see above).
inline int32_t PlaySoundA(ObjectNumber number) { return PlaySound(number); }
/// PlaySound() under the name mmsystem.h's macro gives it with UNICODE.
inline int32_t PlaySoundW(ObjectNumber number, int32_t flags) { return PlaySound(number, flags); }
/// PlaySound() under the name mmsystem.h's macro gives it with UNICODE.
inline int32_t PlaySoundW(ObjectNumber number) { return PlaySound(number); }
/// Stops a sound and rewinds it to its start.
/// \param number the sound's number.
/// \return 1, or 0 for a number that names no sound.
int32_t StopSound(ObjectNumber number);
/// Whether a sound is playing now.
/// \param number the sound's number.
/// \return 1 while it plays (once or in a loop); 0 when it stopped or ended, and 0 with
///   RuntimeErrorText() saying why for a number that names no sound.
int32_t SoundStatus(ObjectNumber number);
/// Sets a sound's volume, kept for every later PlaySound() until changed.
/// \param number the sound's number.
/// \param percent 100 (as loaded, the loudest) down to 0 (silent); 50 is half the amplitude, 6 dB
///   down.
/// \return 1, or 0 for a number that names no sound or a percent outside 0 to 100.
int32_t SoundVolume(ObjectNumber number, int32_t percent);
/// Sets where a sound is heard between the left and right speakers.
/// \param number the sound's number.
/// \param pan -100 (left only) through 0 (both, as loaded) to 100 (right only); the other side is
///   attenuated as SoundVolume() would with 100 - |pan| percent.
/// \return 1, or 0 for a number that names no sound or a pan outside -100 to 100.
int32_t SoundPan(ObjectNumber number, int32_t pan);
/// Sets the rate a sound is played at, which changes its pitch and its length.
/// \param number the sound's number.
/// \param hertz samples per second from 100 to 100000, or 0 for the sound's own rate.
/// \return 1, or 0 for a number that names no sound or a rate outside that range.
int32_t SoundFrequency(ObjectNumber number, int32_t hertz);
