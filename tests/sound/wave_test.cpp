// The WAVE chunk walk on well-formed and hostile images, each placed flush against an inaccessible
// page: a read past the image's end would fault.
#include "runtime/sound/wave.h"

#include <gtest/gtest.h>

#include "wave_image.h"

namespace {

// The samples found, or "<fail>"; the parse must keep inside the image.
std::string ParsedSamples(const std::string& image, int32_t length, WaveImage* wave) {
  GuardedImage guarded(image);
  if (!ParseWaveImage(guarded.data(), length, wave)) return "<fail>";
  EXPECT_GE(wave->samples, guarded.data());
  EXPECT_LE(wave->samples + wave->sampleBytes, guarded.data() + image.size());
  return std::string((const char*)wave->samples, wave->sampleBytes);
}

bool Parses(const std::string& image, int32_t length) {
  WaveImage wave;
  return ParsedSamples(image, length, &wave) != "<fail>";
}

TEST(WaveImage, CanonicalImageGivesItsFormatAndSamples) {
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", Samples(100)));
  ASSERT_EQ(image.size(), 144u);
  for (int32_t length : {0, 144}) {
    WaveImage wave;
    memset(&wave, 0xCC, sizeof wave);
    GuardedImage guarded(image);
    ASSERT_TRUE(ParseWaveImage(guarded.data(), length, &wave)) << length;
    EXPECT_EQ(wave.samples, guarded.data() + 44);
    EXPECT_EQ(wave.sampleBytes, 100u);
    EXPECT_EQ(memcmp(wave.format, PcmFormat().data(), 16), 0);
    EXPECT_EQ(wave.format[16] | wave.format[17], 0);  // no cbSize in the chunk: 0
  }
}

TEST(WaveImage, OtherChunksAreSteppedOverWithoutPadding) {
  std::string list = Chunk("LIST", "INFOISFT" + Le32(3) + "abc");  // odd size, no pad byte
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + list + Chunk("data", "xyz"));
  WaveImage wave;
  EXPECT_EQ(ParsedSamples(image, 0, &wave), "xyz");
}

TEST(WaveImage, FormatExtraBytesMustLieInTheChunkExceptForPcm) {
  std::string format = PcmFormat() + std::string{2, 0} + "ab";
  WaveImage wave;
  ASSERT_EQ(ParsedSamples(WaveFile(Chunk("fmt ", format) + Chunk("data", "x")), 0, &wave), "x");
  EXPECT_EQ(std::string((const char*)wave.format + 16, 4), std::string("\2\0ab", 4));
  // PCM claiming more extra bytes than its chunk holds is loaded, its cbSize cut to the chunk.
  for (const std::string& extra : {std::string{9, 0} + "ab", std::string{(char)0xFF, (char)0xFF}}) {
    std::string claimsMore = PcmFormat() + extra;
    ASSERT_EQ(ParsedSamples(WaveFile(Chunk("fmt ", claimsMore) + Chunk("data", "x")), 0, &wave), "x");
    EXPECT_EQ(wave.format[16] | wave.format[17] << 8, (int)extra.size() - 2);
    EXPECT_EQ(std::string((const char*)wave.format + 18, extra.size() - 2), extra.substr(2));
  }
  // Other formats keep refusing it.
  std::string adpcm = PcmFormat() + std::string{9, 0} + "ab";
  adpcm[0] = 2;
  EXPECT_FALSE(Parses(WaveFile(Chunk("fmt ", adpcm) + Chunk("data", "x")), 0));
  EXPECT_FALSE(Parses(WaveFile(Chunk("fmt ", PcmFormat().substr(0, 14)) + Chunk("data", "x")), 0));
}

TEST(WaveImage, DamagedImagesFail) {
  std::string fmt = Chunk("fmt ", PcmFormat());
  std::string good = WaveFile(fmt + Chunk("data", Samples(50)));
  EXPECT_FALSE(Parses(good, (int32_t)good.size() - 1));  // truncated samples
  EXPECT_FALSE(Parses(good.substr(0, 30), 30));          // cut inside the format
  EXPECT_FALSE(Parses(good.substr(0, 6), 6));
  EXPECT_FALSE(Parses(WaveFile(fmt + Chunk("LIST", "abcd")), 0));  // no "data"
  std::string beyond = WaveFile(fmt) + "data" + Le32(1000) + "short";
  EXPECT_FALSE(Parses(beyond, (int32_t)beyond.size()));
  std::string wrapping = WaveFile(fmt) + "junk" + Le32(0xFFFFFFF8) + Chunk("data", "x");
  EXPECT_FALSE(Parses(wrapping, (int32_t)wrapping.size()));
  std::string hugeFormat = "RIFF" + Le32(40) + "WAVEfmt " + Le32(0xFFFFFFF0) + PcmFormat();
  EXPECT_FALSE(Parses(hugeFormat, 0));
  EXPECT_FALSE(Parses("RIFX" + good.substr(4), 0));
  EXPECT_FALSE(Parses(WaveFile(Chunk("data", Samples(4)) + fmt), 0));  // "fmt " not at byte 12
  EXPECT_FALSE(Parses(good, -1));
  EXPECT_FALSE(ParseWaveImage(nullptr, 0, nullptr));
}

TEST(WaveImage, GivenLengthBoundsTheWalkRatherThanTheRiffSize) {
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", "abcd"));
  image.replace(4, 4, Le32(8));  // RIFF size too small to reach "data"
  EXPECT_FALSE(Parses(image, 0));
  EXPECT_TRUE(Parses(image, (int32_t)image.size()));
}

}  // namespace
