// Volume and pan in percent as DirectSound's attenuations: the ends, the middle, and the symmetry.
#include "runtime/sound/sound_levels.h"

#include <gtest/gtest.h>

TEST(SoundLevels, VolumeFollowsTheAmplitudeInDecibels) {
  EXPECT_EQ(VolumeAttenuation(100), 0);
  EXPECT_EQ(VolumeAttenuation(0), -10000);
  EXPECT_EQ(VolumeAttenuation(50), -602);  // half the amplitude: 6 dB down
  EXPECT_EQ(VolumeAttenuation(10), -2000);
  EXPECT_EQ(VolumeAttenuation(1), -4000);
  EXPECT_EQ(VolumeAttenuation(-5), -10000);
  EXPECT_EQ(VolumeAttenuation(250), 0);
  for (int32_t percent = 1; percent <= 100; ++percent)
    EXPECT_GT(VolumeAttenuation(percent), VolumeAttenuation(percent - 1)) << percent;
}

TEST(SoundLevels, PanAttenuatesTheOtherSide) {
  EXPECT_EQ(PanAttenuation(0), 0);
  EXPECT_EQ(PanAttenuation(100), 10000);
  EXPECT_EQ(PanAttenuation(-100), -10000);
  EXPECT_EQ(PanAttenuation(50), 602);
  for (int32_t pan = 1; pan <= 100; ++pan) EXPECT_EQ(PanAttenuation(-pan), -PanAttenuation(pan)) << pan;
}
