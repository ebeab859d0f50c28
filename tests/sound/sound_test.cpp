// Sounds made from WAVE images on real DirectSound under Wine (the harness plays into ALSA's null
// device): buffer contents and format, damaged images, number re-use and the library's end.
#include <gtest/gtest.h>

#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime.h"
#include "runtime/sound/sound_internal.h"
#include "support/guarded_memory.h"
#include "support/screen_fixture.h"
#include "support/wave_image.h"

namespace {

IDirectSoundBuffer* BufferOf(ObjectNumber number) {
  auto* record = static_cast<SoundRecord*>(RegistryLookup(gSound.sounds, number));
  return record ? record->buffer : nullptr;
}

// The buffer's bytes, read back through a lock.
std::string BufferBytes(IDirectSoundBuffer* buffer) {
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  if (!buffer || FAILED(buffer->GetCaps(&caps))) return "<no buffer>";
  void* first = nullptr;
  DWORD firstBytes = 0;
  if (FAILED(buffer->Lock(0, caps.dwBufferBytes, &first, &firstBytes, nullptr, nullptr, 0))) return "<no lock>";
  std::string bytes(static_cast<const char*>(first), firstBytes);
  buffer->Unlock(first, firstBytes, nullptr, 0);
  return bytes;
}

// Whether another reference to the buffer is still held by someone else than the caller.
ULONG OtherReferences(IDirectSoundBuffer* buffer) {
  buffer->AddRef();
  return buffer->Release() - 1;
}

std::string Canonical(size_t samples) { return WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(samples))); }

class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_NE(InitSound(), 0) << "DirectSound did not start";
  }
};

TEST_F(Sound, SecondInitKeepsTheInterfaceAndTheRegistry) {
  IDirectSound* directSound = gSound.directSound;
  ObjectRegistry* registry = gSound.sounds;
  EXPECT_EQ(InitSound(), reinterpret_cast<intptr_t>(registry));
  EXPECT_EQ(gSound.directSound, directSound);
}

TEST_F(Sound, CanonicalImageGivesABufferHoldingItsSamples) {
  std::string image = Canonical(400);
  ASSERT_EQ(image.size(), 444u);
  for (int32_t length : {0, 444}) {
    GuardedMemory guarded(image);
    intptr_t number = CreateSoundFromMemory(AnyID, guarded.data(), length);
    ASSERT_NE(number, 0) << length;
    IDirectSoundBuffer* buffer = BufferOf(number);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(BufferBytes(buffer), Samples(400));
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 400u);
    EXPECT_EQ(caps.dwFlags & 0x180E2, 0x180E2u);
    WAVEFORMATEX format{};
    ASSERT_EQ(buffer->GetFormat(&format, sizeof format, nullptr), DS_OK);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.wBitsPerSample, 16);
    DeleteSound(number);
    EXPECT_EQ(BufferOf(number), nullptr);
  }
}

TEST_F(Sound, ChunksBeforeTheSamplesAreSteppedOver) {
  std::string list = Chunk("LIST", "INFOISFT" + Le32(5) + "hurz!");
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + list + Chunk("data", Samples(64)));
  GuardedMemory guarded(image);
  ASSERT_NE(CreateSoundFromMemory(4, guarded.data(), 0), 0);
  EXPECT_EQ(BufferBytes(BufferOf(4)), Samples(64));
  DeleteSound(4);
}

TEST_F(Sound, DamagedImagesFailAndLeaveTheNumbersSoundAlone) {
  std::string good = Canonical(200);
  ASSERT_NE(CreateSoundFromMemory(2, good.data(), 0), 0);
  IDirectSoundBuffer* kept = BufferOf(2);
  std::string fmt = Chunk("fmt ", PcmFormat());
  std::string shortFormat = WaveFile(Chunk("fmt ", PcmFormat().substr(0, 12)) + Chunk("data", Samples(8)));
  std::string noData = WaveFile(fmt + Chunk("LIST", "abcd"));
  std::string claimsMore = WaveFile(fmt) + "data" + Le32(5000) + Samples(100);
  std::string notRiff = "RIFX" + good.substr(4);
  struct Case {
    const char* what;
    std::string image;
    int32_t length;
  } cases[] = {
      {"truncated samples", good, (int32_t)good.size() - 1},
      {"short fmt", shortFormat, 0},
      {"no data chunk", noData, 0},
      {"data beyond the image", claimsMore, (int32_t)claimsMore.size()},
      {"not RIFF", notRiff, 0},
  };
  for (const Case& c : cases) {
    GuardedMemory guarded(c.image);
    EXPECT_EQ(CreateSoundFromMemory(2, guarded.data(), c.length), 0) << c.what;
    EXPECT_EQ(BufferOf(2), kept) << c.what;
    EXPECT_EQ(CreateSoundFromMemory(AnyID, guarded.data(), c.length), 0) << c.what;
  }
  EXPECT_EQ(CreateSoundFromMemory(2, nullptr, 0), 0);
  EXPECT_EQ(BufferOf(2), kept);
  EXPECT_EQ(BufferBytes(kept), Samples(200));
  DeleteSound(2);
}

TEST_F(Sound, LoadingIntoAnOccupiedNumberReleasesTheOldSound) {
  std::string first = Canonical(32), second = Canonical(96);
  ASSERT_NE(CreateSoundFromMemory(7, first.data(), 0), 0);
  IDirectSoundBuffer* old = BufferOf(7);
  old->AddRef();  // keeps the old buffer alive so that its count can be read after the swap
  ASSERT_EQ(OtherReferences(old), 1u);
  ASSERT_NE(CreateSoundFromMemory(7, second.data(), 0), 0);
  EXPECT_EQ(OtherReferences(old), 0u) << "the old buffer was not released";
  old->Release();
  EXPECT_NE(BufferOf(7), old);
  EXPECT_EQ(BufferBytes(BufferOf(7)), Samples(96));
  DeleteSound(7);
}

TEST_F(Sound, DeleteSoundIgnoresNumbersWithoutASound) {
  std::string image = Canonical(16);
  intptr_t dynamic = CreateSoundFromMemory(AnyID, image.data(), 0);
  ASSERT_NE(dynamic, 0);
  DeleteSound(dynamic);
  DeleteSound(dynamic);  // already gone: its record must not be touched again
  DeleteSound(5);
  DeleteSound(1 << 24);
  DeleteSound(-7);
  EXPECT_EQ(BufferOf(dynamic), nullptr);
  EXPECT_EQ(CreateSoundFromMemory(-7, image.data(), 0), 0);  // neither static nor AnyID
}

TEST_F(Sound, EndSoundReleasesEverythingAndInitSoundStartsAgain) {
  std::string image = Canonical(48);
  ASSERT_NE(CreateSoundFromMemory(0, image.data(), 0), 0);
  intptr_t dynamic = CreateSoundFromMemory(AnyID, image.data(), 0);
  ASSERT_NE(dynamic, 0);
  EndSound();
  EXPECT_EQ(gSound.directSound, nullptr);
  EXPECT_EQ(gSound.module, nullptr);
  EXPECT_EQ(BufferOf(0), nullptr);
  EXPECT_EQ(BufferOf(dynamic), nullptr);
  EXPECT_EQ(CreateSoundFromMemory(0, image.data(), 0), 0);  // no DirectSound now
  ASSERT_NE(InitSound(), 0);
  ASSERT_NE(CreateSoundFromMemory(0, image.data(), 0), 0);
  EXPECT_EQ(BufferBytes(BufferOf(0)), Samples(48));
  EndSound();
  EndSound();  // a second end finds nothing to do
}

}  // namespace
