// Volume and pan in the runtime's units, as DirectSound's attenuations.
#include "runtime/sound/sound_levels.h"

#include <cmath>

namespace {
constexpr int32_t kSilence = -10000;  // DSBVOLUME_MIN: hundredths of a decibel
}

int32_t VolumeAttenuation(int32_t percent) {
  if (percent >= 100) return 0;
  if (percent <= 0) return kSilence;
  auto hundredths = static_cast<int32_t>(std::lround(2000.0 * std::log10(percent / 100.0)));
  return hundredths < kSilence ? kSilence : hundredths;
}

int32_t PanAttenuation(int32_t pan) {
  if (pan >= 0) return -VolumeAttenuation(100 - pan);
  return VolumeAttenuation(100 + pan);
}
