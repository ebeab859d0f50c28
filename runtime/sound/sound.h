// Sound output through DirectSound, loaded from DSOUND.DLL at run time: one DirectSound object
// bound to the screen's window, and numbered static buffers made from RIFF WAVE images in memory.
#pragma once
#include <windows.h>
// The multimedia types need windows.h,
#include <mmsystem.h>
// and DirectSound needs both.
#include <dsound.h>

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
