// The RIFF chunk walk behind sounds made from memory. Every read is checked against the end of
// the image first, in 64-bit arithmetic so that hostile chunk sizes cannot wrap around.
#include "runtime/sound/wave.h"

#include <cstring>

namespace {

constexpr uint64_t kFormatStart = 20;      // the "fmt " chunk's body
constexpr uint32_t kPcmFormatBytes = 16;   // WAVEFORMATEX up to wBitsPerSample
constexpr uint32_t kFullFormatBytes = 18;  // with cbSize
constexpr uint32_t kPcmTag = 1;            // WAVE_FORMAT_PCM
constexpr uint32_t kMostChannels = 32;     // WAVEFORMATEXTENSIBLE's channel mask has 32 bits
// The widest range of rates any DirectSound takes (version 7's ends at 100000, later ones at
// 200000): a rate the device in use refuses is refused when its buffer is made.
constexpr uint32_t kLowestRate = 100;
constexpr uint32_t kHighestRate = 200000;

uint32_t Read16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Read32(const uint8_t* p) { return Read16(p) | Read16(p + 2) << 16; }

bool IsTag(const uint8_t* p, const char* tag) { return memcmp(p, tag, 4) == 0; }

// Values no sound device plays, refused before they reach one: no channels or a block of no
// bytes, a rate outside what DirectSound takes, and PCM whose block does not hold one sample of
// each channel.
bool IsPlayableFormat(const uint8_t* format) {
  uint32_t tag = Read16(format), channels = Read16(format + 2), rate = Read32(format + 4);
  uint32_t blockAlign = Read16(format + 12), bits = Read16(format + 14);
  if (channels < 1 || channels > kMostChannels || blockAlign == 0) return false;
  if (rate < kLowestRate || rate > kHighestRate) return false;
  if (tag != kPcmTag) return true;
  return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && blockAlign == channels * bits / 8;
}

// Copies the format block; a chunk of 16 or 17 bytes has no cbSize, which then reads as 0. The
// extra bytes cbSize announces must lie in the chunk, except for PCM: its extra bytes mean nothing
// (DirectSound ignores cbSize there), so a cbSize running past the chunk is cut to what it holds.
bool TakeFormat(const uint8_t* body, uint32_t size, WaveImage* wave) {
  if (size < kPcmFormatBytes) return false;
  uint32_t bytes = kPcmFormatBytes, extra = 0;
  if (size >= kFullFormatBytes) {
    extra = Read16(body + 16);
    if (Read16(body) == kPcmTag) {
      uint32_t room = (size < kWaveFormatCapacity ? size : kWaveFormatCapacity) - kFullFormatBytes;
      if (extra > room) extra = room;
    }
    bytes = kFullFormatBytes + extra;
    if (bytes > size || bytes > kWaveFormatCapacity) return false;
  }
  memset(wave->format, 0, sizeof wave->format);
  memcpy(wave->format, body, bytes);
  if (size >= kFullFormatBytes) {
    wave->format[16] = (uint8_t)extra;
    wave->format[17] = (uint8_t)(extra >> 8);
  }
  return IsPlayableFormat(wave->format);
}

}  // namespace

const char* WaveResultText(WaveResult result) {
  switch (result) {
    case kWaveReady:
      return "ready";
    case kWaveNotRiff:
      return "not a RIFF file";
    case kWaveNoFormat:
      return "no \"fmt \" chunk at byte 12";
    case kWaveBadFormat:
      return "its \"fmt \" chunk is cut short or holds no usable wave format";
    case kWaveNoData:
      return "no \"data\" chunk before the end";
    case kWaveDataCut:
      return "its \"data\" chunk runs past the end";
  }
  return "unknown failure";
}

WaveResult ReadWaveImage(const void* image, int32_t length, WaveImage* wave) {
  auto* bytes = (const uint8_t*)image;
  if (!bytes || length < 0) return kWaveNotRiff;
  if (length > 0 && length < 8) return kWaveNotRiff;
  if (!IsTag(bytes, "RIFF")) return kWaveNotRiff;
  uint64_t end = length > 0 ? (uint64_t)length : (uint64_t)Read32(bytes + 4) + 8;
  if (end < kFormatStart || !IsTag(bytes + 12, "fmt ")) return kWaveNoFormat;
  uint32_t formatSize = Read32(bytes + 16);
  if (kFormatStart + formatSize > end || !TakeFormat(bytes + kFormatStart, formatSize, wave)) return kWaveBadFormat;
  for (uint64_t chunk = kFormatStart + formatSize; chunk + 8 <= end;) {
    uint32_t size = Read32(bytes + chunk + 4);
    if (IsTag(bytes + chunk, "data")) {
      if (chunk + 8 + size > end) return kWaveDataCut;
      wave->samples = bytes + chunk + 8;
      wave->sampleBytes = size;
      return kWaveReady;
    }
    chunk += 8 + (uint64_t)size;
  }
  return kWaveNoData;
}
