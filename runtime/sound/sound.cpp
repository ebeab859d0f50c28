// DirectSound start-up, sounds made from WAVE images in memory, and release. The WAVE parsing
// itself lives in wave.cpp; this file only turns what it finds into DirectSound buffers.
#include <cstring>

#include "runtime/core/registry_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/sound/sound_internal.h"
#include "runtime/sound/wave.h"

SoundState gSound;

namespace {
using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);

// Static, with frequency, pan and volume control, audible while another program is in front, and
// the play position of current drivers.
constexpr DWORD kSoundBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                    DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kSoundBufferFlags == 0x180E2);

bool CreateDirectSound() {
  if (!gSound.module) gSound.module = LoadLibraryA("DSOUND.DLL");
  if (!gSound.module) return false;
  auto create = reinterpret_cast<DirectSoundCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(gSound.module, "DirectSoundCreate")));
  if (!create) return false;
  IDirectSound* created = nullptr;
  if (create(nullptr, &created, nullptr) != DS_OK || !created) return false;
  gSound.directSound = created;
  return true;
}

// The cooperative level and the primary buffer; tried again by every InitSound until they succeed.
bool PrepareDirectSound() {
  if (gSound.primary) return true;
  if (FAILED(gSound.directSound->SetCooperativeLevel(gScreen.window, DSSCL_PRIORITY))) return false;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  return SUCCEEDED(gSound.directSound->CreateSoundBuffer(&desc, &gSound.primary, nullptr)) && gSound.primary;
}

// A static buffer of the wave's format holding a copy of its samples; null on failure.
IDirectSoundBuffer* CreateFilledBuffer(WaveImage* wave) {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = kSoundBufferFlags;
  desc.dwBufferBytes = wave->sampleBytes;
  desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(wave->format);
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(gSound.directSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || !buffer) return nullptr;
  void* first = nullptr;
  DWORD firstBytes = 0;
  if (FAILED(buffer->Lock(0, wave->sampleBytes, &first, &firstBytes, nullptr, nullptr, 0)) || !first) {
    buffer->Release();
    return nullptr;
  }
  memcpy(first, wave->samples, firstBytes < wave->sampleBytes ? firstBytes : wave->sampleBytes);
  buffer->Unlock(first, firstBytes, nullptr, 0);
  return buffer;
}
}  // namespace

intptr_t InitSound() {
  // A second start keeps the registry, so that sounds made before stay reachable.
  if (!gSound.sounds) gSound.sounds = RegistryCreate(sizeof(SoundRecord), 64, DeleteSound);
  if (!gSound.sounds) return 0;
  if (!OpenBaseWindow()) return 0;
  if (!gSound.directSound && !CreateDirectSound()) return 0;
  if (!PrepareDirectSound()) return 0;
  return reinterpret_cast<intptr_t>(gSound.sounds);
}

intptr_t CreateSoundFromMemory(ObjectNumber number, const void* image, int32_t length) {
  if (!gSound.directSound || !gSound.sounds || !image) return 0;
  WaveImage wave;
  if (!ParseWaveImage(image, length, &wave)) return 0;
  IDirectSoundBuffer* buffer = CreateFilledBuffer(&wave);
  if (!buffer) return 0;
  auto* record = static_cast<SoundRecord*>(RegistryAllocate(gSound.sounds, number));
  if (!record) {
    buffer->Release();
    return 0;
  }
  record->buffer = buffer;
  return number == AnyID ? reinterpret_cast<intptr_t>(record) : reinterpret_cast<intptr_t>(buffer);
}

void DeleteSound(ObjectNumber number) {
  auto* record = static_cast<SoundRecord*>(RegistryLookup(gSound.sounds, number));
  if (!record) return;
  record->buffer->Release();
  RegistryFree(gSound.sounds, number);
}

void EndSound() {
  if (gSound.sounds) {
    ObjectNumber number;
    RegistryEnumStart(gSound.sounds);
    while (RegistryEnumNext(gSound.sounds, &number)) DeleteSound(number);
  }
  if (gSound.primary) gSound.primary->Release();
  gSound.primary = nullptr;
  if (gSound.directSound) gSound.directSound->Release();
  gSound.directSound = nullptr;
  if (gSound.module) FreeLibrary(gSound.module);
  gSound.module = nullptr;
}
