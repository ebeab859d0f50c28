// The sound commands' units turned into DirectSound's: volume in percent and pan from -100 to 100
// become attenuations in hundredths of a decibel. Pure arithmetic, so it builds natively as well.
#pragma once
#include <cstdint>

// 100 percent is full volume (0), 0 percent silence (-10000); in between the loudness in decibels
// follows the amplitude, so 50 percent is about -6 dB (-602).
int32_t VolumeAttenuation(int32_t percent);
// 0 is the centre (0); a pan towards one side attenuates the other as VolumeAttenuation(100 - |pan|)
// does, down to silence at -100 (left only: -10000) and 100 (right only: 10000).
int32_t PanAttenuation(int32_t pan);
