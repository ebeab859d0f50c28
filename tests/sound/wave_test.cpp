// The WAVE chunk walk on well-formed and hostile images, each placed flush against an inaccessible
// page: a read past the image's end would fault.
#include "runtime/sound/wave.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/guarded_memory.h"
#include "support/wave_image.h"

namespace {

// The samples found, or "<fail>"; the parse must keep inside the image.
std::string ParsedSamples(const std::string& image, int32_t length, WaveImage* wave) {
  GuardedMemory guarded(image);
  if (ReadWaveImage(guarded.data(), length, wave) != kWaveReady) return "<fail>";
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
    GuardedMemory guarded(image);
    ASSERT_EQ(ReadWaveImage(guarded.data(), length, &wave), kWaveReady) << length;
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

WaveResult ResultOf(const std::string& image, int32_t length) {
  GuardedMemory guarded(image);
  WaveImage wave;
  return ReadWaveImage(guarded.data(), length, &wave);
}

// Each damage is refused with the reason that names it.
TEST(WaveImage, DamagedImagesFailWithTheirReason) {
  std::string fmt = Chunk("fmt ", PcmFormat());
  std::string good = WaveFile(fmt + Chunk("data", Samples(50)));
  EXPECT_EQ(ResultOf(good, (int32_t)good.size() - 1), kWaveDataCut);  // truncated samples
  EXPECT_EQ(ResultOf(good.substr(0, 30), 30), kWaveBadFormat);        // cut inside the format
  EXPECT_EQ(ResultOf(good.substr(0, 16), 16), kWaveNoFormat);
  EXPECT_EQ(ResultOf(good.substr(0, 6), 6), kWaveNotRiff);
  EXPECT_EQ(ResultOf(WaveFile(fmt + Chunk("LIST", "abcd")), 0), kWaveNoData);
  std::string beyond = WaveFile(fmt) + "data" + Le32(1000) + "short";
  EXPECT_EQ(ResultOf(beyond, (int32_t)beyond.size()), kWaveDataCut);
  std::string wrapping = WaveFile(fmt) + "junk" + Le32(0xFFFFFFF8) + Chunk("data", "x");
  EXPECT_EQ(ResultOf(wrapping, (int32_t)wrapping.size()), kWaveNoData);
  std::string hugeFormat = "RIFF" + Le32(40) + "WAVEfmt " + Le32(0xFFFFFFF0) + PcmFormat();
  EXPECT_EQ(ResultOf(hugeFormat, 0), kWaveBadFormat);
  EXPECT_EQ(ResultOf("RIFX" + good.substr(4), 0), kWaveNotRiff);
  EXPECT_EQ(ResultOf(WaveFile(Chunk("data", Samples(4)) + fmt), 0), kWaveNoFormat);  // "fmt " not at byte 12
  EXPECT_EQ(ResultOf(good, -1), kWaveNotRiff);
  EXPECT_EQ(ReadWaveImage(nullptr, 0, nullptr), kWaveNotRiff);
  // Formats no device plays: no channels, a rate of 0 or far too high, PCM with a wrong block or
  // sample size, more channels than a channel mask names.
  auto withField = [](size_t offset, const std::string& value) {
    std::string format = PcmFormat();
    return format.replace(offset, value.size(), value);
  };
  for (const std::string& bad : {withField(2, {0, 0}), withField(4, Le32(0)), withField(4, Le32(0xFFFFFFFF)),
                                 withField(12, {3, 0}), withField(14, {12, 0}), withField(2, {33, 0})})
    EXPECT_EQ(ResultOf(WaveFile(Chunk("fmt ", bad) + Chunk("data", "abcd")), 0), kWaveBadFormat);
  // Each result has a text of its own for the reason a sound could not be made.
  std::set<std::string> texts;
  for (WaveResult result : {kWaveReady, kWaveNotRiff, kWaveNoFormat, kWaveBadFormat, kWaveNoData, kWaveDataCut}) {
    EXPECT_STRNE(WaveResultText(result), "") << result;
    texts.insert(WaveResultText(result));
  }
  EXPECT_EQ(texts.size(), 6u);
}

TEST(WaveImage, GivenLengthBoundsTheWalkRatherThanTheRiffSize) {
  std::string image = WaveFile(Chunk("fmt ", PcmFormat()) + Chunk("data", "abcd"));
  image.replace(4, 4, Le32(8));  // RIFF size too small to reach "data"
  EXPECT_FALSE(Parses(image, 0));
  EXPECT_TRUE(Parses(image, (int32_t)image.size()));
}

}  // namespace
