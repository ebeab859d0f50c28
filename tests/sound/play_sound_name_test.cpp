// The runtime's PlaySound reached by its name when Win32's mmsystem.h, included after the runtime's
// header, has defined PlaySound as a macro for PlaySoundA (sound_playback_test.cpp has the other
// order). A call that reached Win32's PlaySoundA would not compile with these arguments, and one
// that compiled some other way would not leave the runtime's reason.
// The runtime's header first, on purpose; mmsystem.h builds on windows.h.
// clang-format off
#include "runtime/sound/sound.h"
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/runtime.h"
#include "support/error_text.h"

TEST(PlaySoundName, TheRuntimesCommandAnswersThroughWin32sMacro) {
#ifndef PlaySound
  FAIL() << "mmsystem.h no longer defines the PlaySound macro this test is about";
#endif
  EXPECT_EQ(PlaySound(4711, kSoundLoop), 0);
  EXPECT_TRUE(ReasonHas("PlaySound: ")) << RuntimeErrorText();
  EXPECT_EQ(PlaySound(4712), 0);
  EXPECT_TRUE(ReasonHas("4712")) << RuntimeErrorText();
}
