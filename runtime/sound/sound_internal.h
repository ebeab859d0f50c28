// The sound library's records and state: one DirectSound object and the registry of sounds.
#pragma once
#include <windows.h>
// The multimedia types need windows.h,
#include <mmsystem.h>
// and DirectSound needs both.
#include <dsound.h>

#include <cstdint>

#include "runtime/core/registry_internal.h"
#include "runtime/sound/sound.h"

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
