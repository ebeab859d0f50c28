// StartRuntime and EndRuntime in processes of their own, in which nothing was started before:
// every library starts, starting one again takes nothing more, everything is released at the end,
// and a machine without an audio device still gets every other library with the reason why sound
// is missing, and no sound.
#include "runtime/core/runtime.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/text_internal.h"
#include "runtime/input/input_internal.h"
#include "runtime/network/network_internal.h"
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites3d_internal.h"
#include "runtime/sound/sound_internal.h"
#include "runtime/window/window.h"
#include "runtime/window/window_internal.h"
#include "support/error_text.h"
#include "support/test_child.h"
#include "support/wave_image.h"

namespace {
// What is held of the devices, for comparing before and after a second start.
std::string Holdings() {
  return std::to_string(gScreen.directDrawUsers) + " DirectDraw users, " + std::to_string(gDirectInput.users) +
         " DirectInput users, keyboard " + std::to_string(gKeyboard.status) + ", mouse device " +
         (gMouse.device ? "held" : "none");
}
}  // namespace

// Runs only in the child that RunsInAFreshProcess starts.
TEST(RuntimeChild, StartsEveryLibraryOnceAndEndsThemAll) {
  if (!IsTestChild()) GTEST_SKIP() << "runs in a child process";
  EndRuntime();  // nothing started: nothing to end
  ASSERT_EQ(StartRuntime(), 1) << RuntimeErrorText();
  EXPECT_STREQ(RuntimeErrorText(), "");
  EXPECT_NE(gCore.runtimeHeap, nullptr);
  EXPECT_NE(gCore.instance, nullptr);
  EXPECT_NE(gCore.stringHeap, nullptr);
  EXPECT_NE(gCore.objectNodeHeap, nullptr);
  EXPECT_NE(gCore.blockHeap, nullptr);
  EXPECT_NE(gTemp.buffer, nullptr);
  EXPECT_NE(gWindows.windows, nullptr);
  EXPECT_EQ(RegisteredImageDecoders(), 1) << "the PNG decoder";
  EXPECT_EQ(gScreen.started, 1);
  EXPECT_NE(gSound.directSound, nullptr);
  EXPECT_NE(g3DSprites.direct3D, nullptr);
  EXPECT_EQ(gNetwork.started, 1);
  const std::string held = "1 DirectDraw users, 2 DirectInput users, keyboard 1, mouse device held";
  EXPECT_EQ(Holdings(), held);

  // Starting again, whole or library by library, takes nothing more.
  EXPECT_EQ(StartRuntime(kRuntimeScreen | kRuntimeKeyboard), 1);
  EXPECT_NE(InitSprite(), 0);
  EXPECT_NE(InitSound(), 0);
  EXPECT_NE(InitKeyboard(), 0);
  EXPECT_NE(InitMouse(), 0);
  EXPECT_NE(StartNetwork(), 0);
  EXPECT_EQ(Holdings(), held);
  EXPECT_EQ(RegisteredImageDecoders(), 1);

  // A program's objects of every kind, all released by EndRuntime.
  ASSERT_NE(OpenWindow(0, 0, 0, 64, 48, "runtime", kWindowHidden), 0) << RuntimeErrorText();
  HWND window = WindowHandle(0);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 64, 48, 0, 0, 0), 1) << RuntimeErrorText();
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(4)));
  intptr_t sound = CreateSoundFromMemory(AnyID, image.data(), (int32_t)image.size());
  ASSERT_NE(sound, 0) << RuntimeErrorText();

  EndRuntime();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(gSound.directSound, nullptr);
  EXPECT_EQ(gScreen.started, 0);
  EXPECT_EQ(gScreen.directDraw, nullptr);
  EXPECT_EQ(gDirectInput.directInput, nullptr);
  EXPECT_EQ(Holdings(), "0 DirectDraw users, 0 DirectInput users, keyboard 0, mouse device none");
  EXPECT_EQ(g3DSprites.direct3D, nullptr);
  EXPECT_EQ(gNetwork.started, 0);
  EXPECT_EQ(gCore.runtimeHeap, nullptr) << "the heap StartRuntime made is gone";
  EXPECT_STREQ(RuntimeErrorText(), "");

  EXPECT_EQ(StartRuntime(), 0);
  EXPECT_TRUE(ReasonHas("once")) << RuntimeErrorText();
  EndRuntime();  // a second end finds nothing to do
}

// Runs only in the child that RunsInAFreshProcess starts without audio.
TEST(RuntimeChild, WithoutAudioEveryOtherLibraryStartsAndSoundSaysWhy) {
  if (!IsTestChild()) GTEST_SKIP() << "runs in a child process without an audio device";
  EXPECT_EQ(StartRuntime(), 0);
  EXPECT_EQ(std::string(RuntimeErrorText()).rfind("sound: ", 0), 0u) << RuntimeErrorText();
  EXPECT_EQ(gScreen.started, 1);
  EXPECT_EQ(gKeyboard.status, kKeyboardReady);
  EXPECT_NE(g3DSprites.direct3D, nullptr);
  EXPECT_EQ(gNetwork.started, 1);
  EXPECT_EQ(gSound.directSound, nullptr);

  // Sound started alone fails the same way and makes nothing.
  EXPECT_EQ(InitSound(), 0);
  EXPECT_EQ(std::string(RuntimeErrorText()).rfind("sound: ", 0), 0u) << RuntimeErrorText();
  EXPECT_EQ(gSound.directSound, nullptr);
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(16)));
  EXPECT_EQ(CreateSoundFromMemory(AnyID, image.data(), 0), 0);
  EndSound();
  EXPECT_EQ(gSound.module, nullptr);

  EXPECT_EQ(StartRuntime(kRuntimeAll & ~kRuntimeSound), 1) << "without sound nothing is missing";
  EXPECT_STREQ(RuntimeErrorText(), "");
  EndRuntime();
  EXPECT_EQ(gScreen.started, 0);
  EXPECT_EQ(gSound.module, nullptr);
}

TEST(RuntimeLife, RunsInAFreshProcess) {
  if (IsTestChild()) GTEST_SKIP();
  EXPECT_TRUE(RunTestChild("RuntimeChild.StartsEveryLibraryOnceAndEndsThemAll"));
  EXPECT_TRUE(RunTestChild("RuntimeChild.WithoutAudioEveryOtherLibraryStartsAndSoundSaysWhy", true));
}
