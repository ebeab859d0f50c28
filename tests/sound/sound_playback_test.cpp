// Sounds loaded from WAVE files and played on real DirectSound under Wine (the harness plays into
// ALSA's null device): starting, looping, ending and stopping, the volume, pan and frequency, and
// the reasons given for unknown numbers, bad values and files that are no usable WAVE file.
//
// windows.h and mmsystem.h come first on purpose: mmsystem.h defines PlaySound as a macro for
// Win32's PlaySoundA before the runtime's header declares its PlaySound(number, flags), which this
// file calls by that name (play_sound_name_test.cpp has the other order).
#include <windows.h>
// (mmsystem.h builds on windows.h)
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <string>

#include "runtime/core/runtime.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_internal.h"
#include "support/error_text.h"
#include "support/foreground.h"
#include "support/screen_fixture.h"
#include "support/unix_command.h"
#include "support/wave_image.h"

namespace {

// 16-bit stereo at 22050 Hz: 88200 bytes a second.
std::string WaveOfMs(int ms) {
  return WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", std::string(size_t(88200) * ms / 1000 / 4 * 4, '\0')));
}

IDirectSoundBuffer* BufferOf(ObjectNumber number) {
  auto* record = static_cast<SoundRecord*>(RegistryLookup(gSound.sounds, number));
  return record ? record->buffer : nullptr;
}

class SoundPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_NE(InitSound(), 0) << RuntimeErrorText();
  }
};

TEST_F(SoundPlayback, ALoadedSoundPlaysOnceEndsByItselfAndStopsOnRequest) {
  std::string shortFile = WriteRunTempFile("sound-short.wav", WaveOfMs(60));
  std::string longFile = WriteRunTempFile("sound-long.wav", WaveOfMs(3000));
  intptr_t brief = LoadSound(AnyID, shortFile.c_str());
  ASSERT_NE(brief, 0) << RuntimeErrorText();
  EXPECT_STREQ(RuntimeErrorText(), "");
  ASSERT_NE(LoadSound(3, longFile.c_str()), 0) << RuntimeErrorText();
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(BufferOf(3)->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, 88200u * 3);

  EXPECT_EQ(SoundStatus(3), 0) << "not playing before PlaySound";
  EXPECT_EQ(PlaySound(3, 0), 1) << RuntimeErrorText();
  EXPECT_EQ(SoundStatus(3), 1);
  EXPECT_EQ(StopSound(3), 1);
  EXPECT_EQ(SoundStatus(3), 0);
  DWORD play = 1, write = 0;
  BufferOf(3)->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 0u) << "StopSound rewinds";

  EXPECT_EQ(PlaySound(brief), 1);
  EXPECT_TRUE(WaitUntil([&] { return SoundStatus(brief) == 0; }, 5000)) << "a sound played once ends by itself";
  EXPECT_EQ(PlaySound(brief, kSoundLoop), 1);
  Sleep(300);  // five times its length
  EXPECT_EQ(SoundStatus(brief), 1) << "a looping sound goes on";
  DWORD status = 0;
  BufferOf(brief)->GetStatus(&status);
  EXPECT_TRUE(status & DSBSTATUS_LOOPING);
  EXPECT_EQ(PlaySound(brief, 0), 1) << "playing again restarts it, now once";
  EXPECT_TRUE(WaitUntil([&] { return SoundStatus(brief) == 0; }, 5000));
  DeleteSound(brief);
  DeleteSound(3);
  DeleteFileA(shortFile.c_str());
  DeleteFileA(longFile.c_str());
}

TEST_F(SoundPlayback, VolumePanAndFrequencyReachTheBufferAndOutOfRangeValuesAreRefused) {
  std::string image = WaveOfMs(100);
  ASSERT_NE(CreateSoundFromMemory(5, image.data(), (int32_t)image.size()), 0) << RuntimeErrorText();
  IDirectSoundBuffer* buffer = BufferOf(5);
  LONG volume = 1, pan = 1;
  DWORD frequency = 0;

  EXPECT_EQ(SoundVolume(5, 50), 1);
  buffer->GetVolume(&volume);
  EXPECT_EQ(volume, -602);
  EXPECT_EQ(SoundVolume(5, 101), 0);
  EXPECT_TRUE(ReasonHas("101")) << RuntimeErrorText();
  EXPECT_EQ(SoundVolume(5, -1), 0);
  buffer->GetVolume(&volume);
  EXPECT_EQ(volume, -602) << "a refused volume changes nothing";
  EXPECT_EQ(SoundVolume(5, 0), 1);
  buffer->GetVolume(&volume);
  EXPECT_EQ(volume, DSBVOLUME_MIN);
  EXPECT_STREQ(RuntimeErrorText(), "") << "cleared by the command that succeeded";

  EXPECT_EQ(SoundPan(5, -100), 1);
  buffer->GetPan(&pan);
  EXPECT_EQ(pan, DSBPAN_LEFT);
  EXPECT_EQ(SoundPan(5, 50), 1);
  buffer->GetPan(&pan);
  EXPECT_EQ(pan, 602);
  EXPECT_EQ(SoundPan(5, 101), 0);
  EXPECT_EQ(SoundPan(5, -101), 0);
  buffer->GetPan(&pan);
  EXPECT_EQ(pan, 602);

  EXPECT_EQ(SoundFrequency(5, 44100), 1);
  buffer->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 44100u);
  EXPECT_EQ(SoundFrequency(5, 99), 0);
  EXPECT_EQ(SoundFrequency(5, 100001), 0);
  EXPECT_TRUE(ReasonHas("100001")) << RuntimeErrorText();
  EXPECT_EQ(SoundFrequency(5, 0), 1) << "0: the sound's own rate";
  buffer->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 22050u);

  EXPECT_EQ(PlaySound(5, 2), 0) << "unknown flags";
  EXPECT_EQ(SoundStatus(5), 0);
  DeleteSound(5);
}

TEST_F(SoundPlayback, EveryCommandRefusesANumberWithoutASoundAndSaysSo) {
  std::string image = WaveOfMs(20);
  intptr_t gone = CreateSoundFromMemory(AnyID, image.data(), 0);
  ASSERT_NE(gone, 0);
  DeleteSound(gone);
  for (ObjectNumber number : {ObjectNumber{9}, ObjectNumber{-7}, ObjectNumber{1} << 40, ObjectNumber{gone}}) {
    std::string named = std::to_string(static_cast<long long>(number));
    EXPECT_EQ(PlaySound(number, 0), 0);
    EXPECT_TRUE(ReasonHas(("PlaySound: no sound numbered " + named).c_str())) << RuntimeErrorText();
    EXPECT_EQ(StopSound(number), 0);
    EXPECT_TRUE(ReasonHas("StopSound")) << RuntimeErrorText();
    EXPECT_EQ(SoundStatus(number), 0);
    EXPECT_TRUE(ReasonHas("SoundStatus")) << RuntimeErrorText();
    EXPECT_EQ(SoundVolume(number, 50), 0);
    EXPECT_EQ(SoundPan(number, 0), 0);
    EXPECT_EQ(SoundFrequency(number, 22050), 0);
    EXPECT_TRUE(ReasonHas("SoundFrequency: no sound")) << RuntimeErrorText();
  }
}

// Files that are no usable WAVE file are refused with their reason, and the number keeps its sound.
TEST_F(SoundPlayback, FilesThatAreNoUsableWaveAreRefusedWithTheirReason) {
  std::string good = WaveOfMs(50);
  std::string goodFile = WriteRunTempFile("sound-good.wav", good);
  ASSERT_NE(LoadSound(6, goodFile.c_str()), 0) << RuntimeErrorText();
  IDirectSoundBuffer* kept = BufferOf(6);
  std::string noChannels = PcmFormat();
  noChannels[2] = 0;
  std::string hugeRate = PcmFormat();
  hugeRate.replace(4, 4, Le32(0xFFFFFFFF));
  std::string unknown = PcmFormat();
  unknown[0] = 0x34;
  unknown[1] = 0x12;
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"truncated.wav", good.substr(0, good.size() - 1), "\"data\" chunk runs past the end"},
      {"riff-says-more.wav", good.substr(0, 60), "\"data\" chunk runs past the end"},
      {"empty.wav", "", "is empty"},
      {"text.wav", "this is no sound\n", "not a RIFF file"},
      {"no-data.wav", WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("LIST", "abcd")), "no \"data\" chunk"},
      {"no-channels.wav", WaveFile(Chunk("fmt ", noChannels) + Chunk("data", Samples(64))), "no usable wave format"},
      {"huge-rate.wav", WaveFile(Chunk("fmt ", hugeRate) + Chunk("data", Samples(64))), "no usable wave format"},
      {"unknown-format.wav", WaveFile(Chunk("fmt ", unknown) + Chunk("data", Samples(64))), "DirectSound"},
  };
  for (const Case& c : cases) {
    std::string path = WriteRunTempFile(std::string("sound-") + c.name, c.bytes);
    EXPECT_EQ(LoadSound(6, path.c_str()), 0) << c.name;
    EXPECT_TRUE(ReasonHas(c.reason)) << c.name << ": " << RuntimeErrorText();
    EXPECT_TRUE(ReasonHas(c.name)) << c.name << ": " << RuntimeErrorText();
    EXPECT_EQ(LoadSound(AnyID, path.c_str()), 0) << c.name;
    EXPECT_EQ(BufferOf(6), kept) << c.name;
    DeleteFileA(path.c_str());
  }
  EXPECT_EQ(LoadSound(6, "Z:/tmp/hurz-no-such-file.wav"), 0);
  EXPECT_TRUE(ReasonHas("no such file")) << RuntimeErrorText();
  EXPECT_EQ(LoadSound(6, "Z:/tmp"), 0);
  EXPECT_TRUE(ReasonHas("cannot be opened")) << RuntimeErrorText();
  EXPECT_EQ(LoadSound(6, nullptr), 0);
  EXPECT_TRUE(ReasonHas("no file name")) << RuntimeErrorText();
  EXPECT_EQ(LoadSound(-5, goodFile.c_str()), 0);
  EXPECT_TRUE(ReasonHas("cannot hold a sound")) << RuntimeErrorText();
  EXPECT_EQ(BufferOf(6), kept);
  EXPECT_EQ(PlaySound(6, 0), 1) << "the kept sound still plays";
  DeleteSound(6);
  DeleteFileA(goodFile.c_str());
}

}  // namespace
