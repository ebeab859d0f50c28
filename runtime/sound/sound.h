/// \file
/// Sound output through DirectSound, loaded from DSOUND.DLL at run time: one DirectSound object
/// bound to the screen's window, and numbered static buffers made from RIFF WAVE images (PCM and
/// the other formats DirectSound takes). Sounds stay audible while another program is in front.
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
