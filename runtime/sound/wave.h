// Reading RIFF WAVE images held in memory: the wave format and where the samples lie. Free of
// platform calls so that it can be built natively for sanitizers and fuzzers.
#pragma once
#include <cstdint>

// Room for the format block: a WAVEFORMATEX (18 bytes) and its extra bytes.
constexpr uint32_t kWaveFormatCapacity = 64;

struct WaveImage {
  uint8_t format[kWaveFormatCapacity];  // WAVEFORMATEX layout; cbSize 0 when the chunk has none, for PCM
                                        // at most what the chunk holds
  const uint8_t* samples;               // inside the image
  uint32_t sampleBytes;
};

enum WaveResult : int32_t {
  kWaveReady = 0,
  kWaveNotRiff,    // no image, a negative length, or no "RIFF" at its start
  kWaveNoFormat,   // no "fmt " chunk at byte 12
  kWaveBadFormat,  // a format chunk too short for a wave format, whose extra bytes it does not hold, or
                   // with values no device plays (no channels, a rate out of range, PCM blocks that
                   // do not hold one sample of each channel)
  kWaveNoData,     // the image ends before a "data" chunk
  kWaveDataCut,    // the "data" chunk claims more bytes than the image holds
};

// A short text for a result, for the reason a sound could not be made.
const char* WaveResultText(WaveResult result);

// Fills `wave` for a RIFF image whose "fmt " chunk opens at byte 12 and which holds a "data"
// chunk. The image ends at `length` bytes when it is non-zero, else at the RIFF size plus 8; no
// byte past that end is read. Nothing outside the image is ever touched.
WaveResult ReadWaveImage(const void* image, int32_t length, WaveImage* wave);
