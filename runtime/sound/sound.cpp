// DirectSound start-up, sounds made from WAVE files and images in memory, playing them, and
// release. The WAVE parsing itself lives in wave.cpp; this file only turns what it finds into
// DirectSound buffers and drives them.
#include <cstdio>
#include <cstring>

#include "runtime/core/file_read_internal.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/sound/sound_internal.h"
#include "runtime/sound/sound_levels.h"
#include "runtime/sound/wave.h"

SoundState gSound;

namespace {
using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);

// Static, with frequency, pan and volume control, audible while another program is in front, and
// the play position of current drivers.
constexpr DWORD kSoundBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                    DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kSoundBufferFlags == 0x180E2);
// The rates every DirectSound takes (later versions take up to 200000).
constexpr int32_t kLowestFrequency = 100;
constexpr int32_t kHighestFrequency = 100000;

bool CreateDirectSound() {
  if (!gSound.module) gSound.module = LoadLibraryA("DSOUND.DLL");
  if (!gSound.module) return ReportFailure("sound: DSOUND.DLL could not be loaded (Windows error %lu)", GetLastError());
  auto create = reinterpret_cast<DirectSoundCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(gSound.module, "DirectSoundCreate")));
  if (!create) return ReportFailure("sound: DSOUND.DLL has no DirectSoundCreate");
  IDirectSound* created = nullptr;
  HRESULT result = create(nullptr, &created, nullptr);
  if (result == DSERR_NODRIVER)
    return ReportFailure("sound: no audio device (DirectSoundCreate: 0x%08lX)", ResultCode(result));
  if (result != DS_OK || !created)
    return ReportFailure("sound: DirectSound could not be started (DirectSoundCreate: 0x%08lX)", ResultCode(result));
  gSound.directSound = created;
  return true;
}

// The cooperative level and the primary buffer; tried again by every InitSound until they succeed.
bool PrepareDirectSound() {
  if (gSound.primary) return true;
  HRESULT result = gSound.directSound->SetCooperativeLevel(gScreen.window, DSSCL_PRIORITY);
  if (FAILED(result))
    return ReportFailure("sound: DirectSound refused the priority level on the screen's window (0x%08lX)",
                         ResultCode(result));
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  result = gSound.directSound->CreateSoundBuffer(&desc, &gSound.primary, nullptr);
  if (FAILED(result) || !gSound.primary)
    return ReportFailure("sound: the primary sound buffer could not be made (0x%08lX)", ResultCode(result));
  return true;
}

// A static buffer of the wave's format holding a copy of its samples; null on failure.
IDirectSoundBuffer* CreateFilledBuffer(WaveImage* wave, const char* what) {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = kSoundBufferFlags;
  desc.dwBufferBytes = wave->sampleBytes;
  desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(wave->format);
  IDirectSoundBuffer* buffer = nullptr;
  HRESULT result = gSound.directSound->CreateSoundBuffer(&desc, &buffer, nullptr);
  if (FAILED(result) || !buffer) {
    if (result == DSERR_BADFORMAT)
      ReportFailure("sound: %s: DirectSound does not play its wave format", what);
    else if (result == DSERR_OUTOFMEMORY)
      ReportFailure("sound: %s: no memory for its samples", what);
    else
      ReportFailure("sound: %s: DirectSound refused its format or size (0x%08lX)", what, ResultCode(result));
    return nullptr;
  }
  void* first = nullptr;
  DWORD firstBytes = 0;
  result = buffer->Lock(0, wave->sampleBytes, &first, &firstBytes, nullptr, nullptr, 0);
  if (FAILED(result) || !first) {
    buffer->Release();
    ReportFailure("sound: %s: its buffer could not be filled (0x%08lX)", what, ResultCode(result));
    return nullptr;
  }
  memcpy(first, wave->samples, firstBytes < wave->sampleBytes ? firstBytes : wave->sampleBytes);
  buffer->Unlock(first, firstBytes, nullptr, 0);
  return buffer;
}

bool SoundStarted(const char* command) {
  if (gSound.directSound && gSound.sounds) return true;
  return ReportFailure("sound: %s: the sound library is not started (InitSound)", command);
}

// The buffer of a sound, or null with the reason set.
IDirectSoundBuffer* FindSound(ObjectNumber number, const char* command) {
  if (!SoundStarted(command)) return nullptr;
  auto* record = static_cast<SoundRecord*>(RegistryLookup(gSound.sounds, number));
  if (record) return record->buffer;
  ReportFailure("sound: %s: no sound numbered %lld", command, static_cast<long long>(number));
  return nullptr;
}

// what: how the reason names the image ("\"boom.wav\"" or "the WAVE image").
intptr_t SoundFromImage(ObjectNumber number, const void* image, int32_t length, const char* what) {
  WaveImage wave;
  WaveResult parsed = ReadWaveImage(image, length, &wave);
  if (parsed != kWaveReady) return ReportFailure("sound: %s is no usable WAVE file: %s", what, WaveResultText(parsed));
  IDirectSoundBuffer* buffer = CreateFilledBuffer(&wave, what);
  if (!buffer) return 0;
  auto* record = static_cast<SoundRecord*>(RegistryAllocate(gSound.sounds, number));
  if (!record) {
    buffer->Release();
    return ReportNumberRefused("sound", "a sound", number);
  }
  record->buffer = buffer;
  return number == AnyID ? reinterpret_cast<intptr_t>(record) : reinterpret_cast<intptr_t>(buffer);
}

int32_t SetControl(HRESULT result, const char* command) {
  if (SUCCEEDED(result)) return 1;
  return ReportFailure("sound: %s: DirectSound refused the change (0x%08lX)", command, ResultCode(result));
}
}  // namespace

intptr_t InitSound() {
  ClearRuntimeError();
  // A second start keeps the registry, so that sounds made before stay reachable.
  if (!gSound.sounds) gSound.sounds = RegistryCreate(sizeof(SoundRecord), 64, DeleteSound);
  if (!gSound.sounds) return ReportFailure("sound: no memory for the sound registry");
  if (!OpenBaseWindow()) return ReportFailure("sound: the hidden base window could not be made");
  if (!gSound.directSound && !CreateDirectSound()) return 0;
  if (!PrepareDirectSound()) return 0;
  return reinterpret_cast<intptr_t>(gSound.sounds);
}

intptr_t CreateSoundFromMemory(ObjectNumber number, const void* image, int32_t length) {
  ClearRuntimeError();
  if (!SoundStarted("CreateSoundFromMemory")) return 0;
  if (!image) return ReportFailure("sound: CreateSoundFromMemory: no image given");
  return SoundFromImage(number, image, length, "the WAVE image");
}

intptr_t LoadSound(ObjectNumber number, const char* file) {
  ClearRuntimeError();
  if (!SoundStarted("LoadSound")) return 0;
  FileBytes bytes;
  if (!ReadWholeFile(file, "sound", &bytes)) return 0;
  char what[MAX_PATH + 3];
  snprintf(what, sizeof what, "\"%s\"", file);
  // The file's own length bounds the chunk walk, never the RIFF size it claims.
  intptr_t result = SoundFromImage(number, bytes.data, static_cast<int32_t>(bytes.size), what);
  RuntimeFree(bytes.data);
  return result;
}

void DeleteSound(ObjectNumber number) {
  auto* record = static_cast<SoundRecord*>(RegistryLookup(gSound.sounds, number));
  if (!record) return;
  record->buffer->Release();
  RegistryFree(gSound.sounds, number);
}

int32_t PlaySound(ObjectNumber number) { return PlaySound(number, 0); }

int32_t PlaySound(ObjectNumber number, int32_t flags) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "PlaySound");
  if (!buffer) return 0;
  if (flags & ~kSoundLoop) return ReportFailure("sound: PlaySound: unknown flags 0x%X", static_cast<unsigned>(flags));
  buffer->Stop();
  buffer->SetCurrentPosition(0);
  HRESULT result = buffer->Play(0, 0, (flags & kSoundLoop) ? DSBPLAY_LOOPING : 0);
  if (result == DSERR_BUFFERLOST)
    return ReportFailure("sound: PlaySound: the sound's memory was lost to another program");
  return SetControl(result, "PlaySound");
}

int32_t StopSound(ObjectNumber number) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "StopSound");
  if (!buffer) return 0;
  buffer->Stop();
  return SetControl(buffer->SetCurrentPosition(0), "StopSound");
}

int32_t SoundStatus(ObjectNumber number) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "SoundStatus");
  if (!buffer) return 0;
  DWORD status = 0;
  HRESULT result = buffer->GetStatus(&status);
  if (FAILED(result)) return SetControl(result, "SoundStatus");
  return (status & DSBSTATUS_PLAYING) ? 1 : 0;
}

int32_t SoundVolume(ObjectNumber number, int32_t percent) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "SoundVolume");
  if (!buffer) return 0;
  if (percent < 0 || percent > 100)
    return ReportFailure("sound: SoundVolume: %d is not a percent from 0 to 100", percent);
  return SetControl(buffer->SetVolume(VolumeAttenuation(percent)), "SoundVolume");
}

int32_t SoundPan(ObjectNumber number, int32_t pan) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "SoundPan");
  if (!buffer) return 0;
  if (pan < -100 || pan > 100) return ReportFailure("sound: SoundPan: %d is not a pan from -100 to 100", pan);
  return SetControl(buffer->SetPan(PanAttenuation(pan)), "SoundPan");
}

int32_t SoundFrequency(ObjectNumber number, int32_t hertz) {
  ClearRuntimeError();
  IDirectSoundBuffer* buffer = FindSound(number, "SoundFrequency");
  if (!buffer) return 0;
  if (hertz != 0 && (hertz < kLowestFrequency || hertz > kHighestFrequency))
    return ReportFailure("sound: SoundFrequency: %d Hz is outside %d to %d (or 0 for the sound's own rate)", hertz,
                         kLowestFrequency, kHighestFrequency);
  return SetControl(buffer->SetFrequency(static_cast<DWORD>(hertz)), "SoundFrequency");
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
