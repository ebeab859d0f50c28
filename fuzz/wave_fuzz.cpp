// The WAVE chunk walk on images as the sound library receives them: with the image's length, with
// a length that cuts the image short, or with no length at all (the RIFF size then bounds the
// image; the caller vouches for that many bytes, so only such images are passed). Each image is a
// block of its own, so any read past its end is caught.
#include <cstdlib>
#include <cstring>

#include "runtime/sound/wave.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  uint8_t mode = data[0];
  const uint8_t* body = data + 1;
  size_t bodySize = size - 1;
  int32_t length;
  switch (mode % 3) {
    case 0:
      length = (int32_t)bodySize;
      break;
    case 1:
      length = (int32_t)(bodySize * (mode >> 2) / 64);  // a length short of the bytes there
      break;
    default:
      if (bodySize < 8 || (uint64_t)Read32(body + 4) + 8 > bodySize) return 0;
      length = 0;
      break;
  }
  if (length == 0 && mode % 3 != 2) return 0;  // a length of 0 means "as the RIFF size says"
  auto* image = (uint8_t*)malloc(bodySize ? bodySize : 1);
  memcpy(image, body, bodySize);
  WaveImage wave;
  memset(&wave, 0xA5, sizeof wave);
  WaveResult result = ReadWaveImage(image, length, &wave);
  Check(result >= kWaveReady && result <= kWaveDataCut);  // a known result, each with a text of its own
  if (result == kWaveReady) {
    size_t end = length ? (size_t)length : (size_t)Read32(image + 4) + 8;
    Check(wave.samples >= image + 28);  // after the RIFF header, the format chunk and a chunk header
    Check(wave.samples + wave.sampleBytes <= image + end);
    Check(memcmp(wave.samples - 8, "data", 4) == 0);
    uint32_t cbSize = wave.format[16] | wave.format[17] << 8;
    Check(18 + cbSize <= kWaveFormatCapacity);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < wave.sampleBytes; ++i) sum += wave.samples[i];  // every sample byte is readable
    Check(sum <= 255u * wave.sampleBytes);
  }
  free(image);
  return 0;
}
