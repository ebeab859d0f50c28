// Sound output through DirectSound, loaded from DSOUND.DLL at run time: one DirectSound object
// bound to the screen's window, and numbered static buffers made from RIFF WAVE images in memory.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

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
