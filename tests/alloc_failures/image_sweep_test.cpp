// Allocation failures while image files become sprite rows: BMP files of every kind and PNG files
// of every colour type, bit depth and interlacing, damaged ones too, through the sprite loader's
// source reader (its row buffer in the RuntimeHeap, as the loader allocates it, and libpng's own
// memory) and the row conversion; and WAVE images through the chunk walk into sound records.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/png_decoder.h"
#include "runtime/screen/screen_pixels.h"
#include "runtime/screen/sprite_pixels.h"
#include "runtime/screen/sprite_source.h"
#include "runtime/sound/wave.h"
#include "sweep.h"

namespace {

struct ImageFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fuzzers' BMP and PNG seeds (every BMP kind, damaged PNGs) and the PNG suite's plain and
// interlaced images of every colour type and bit depth.
std::vector<ImageFile> ImageFiles() {
  std::vector<ImageFile> files;
  auto add = [&](const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<std::filesystem::path> paths;
    if (std::filesystem::is_directory(folder))
      for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) files.push_back({path.filename().string(), ReadFile(path)});
  };
  const std::filesystem::path source = HURZ_TEST_SOURCE_DIR;
  add(source / "fuzz/corpus/bmp", "");
  add(source / "fuzz/corpus/png", "");
  add(HURZ_TEST_PNGSUITE_DIR, "basn");
  add(HURZ_TEST_PNGSUITE_DIR, "ibasn");
  return files;
}

uint8_t* AllocateRows(size_t bytes) { return static_cast<uint8_t*>(RuntimeAlloc(bytes)); }

// What a sprite made from the image would hold on a 32-bit screen: its size and a digest of its
// converted rows.
std::string SpriteRows(const SpriteSource& source) {
  std::string out = std::to_string(source.width) + "x" + std::to_string(source.height) + " " +
                    std::to_string(source.bits) + " bits" + (source.decodedAlpha ? " alpha" : "") +
                    (source.decodeIncomplete ? " incomplete" : "");
  if (!CanConvertRow(source.bits, 32)) return out;
  std::vector<uint8_t> row(static_cast<size_t>(source.width) * 4);
  uint64_t digest = 1469598103934665603u;
  for (int32_t y = 0; y < source.height; ++y) {
    EXPECT_TRUE(ConvertSpriteRow(source.pixels + static_cast<size_t>(y) * source.pitch, source.bits, source.width, 32,
                                 kFormatBGR32, source.decodedAlpha, row.data()));
    for (uint8_t byte : row) digest = (digest ^ byte) * 1099511628211u;
  }
  return out + " " + std::to_string(digest);
}

class SpriteImages : public Scenario {
 public:
  SpriteImages() : files_(ImageFiles()) {}
  size_t count() const { return files_.size(); }

  void Fresh() override {
    Scenario::Fresh();
    ResetImageDecoders();
    RegisterPngDecoder();
  }

  Results Run() override {
    Results r;
    for (const ImageFile& file : files_) {
      for (bool keepIndices : {false, true}) {
        SpriteSource source;
        SpriteSourceResult result =
            ReadSpriteSource(file.bytes.data(), file.bytes.size(), keepIndices, AllocateRows, &source);
        std::string what = file.name + (keepIndices ? " as indices" : "");
        if (result == kSourceReady)
          r.Got(what, SpriteRows(source));
        else
          r.Refused(what, SpriteSourceResultText(result), result == kSourceNoMemory);
        EXPECT_EQ(PngDecoderBlocks(), 0u) << what << ": libpng's memory is kept once the image was read";
        RuntimeFree(source.buffer);
      }
    }
    return r;
  }

  void Release() override {}

 private:
  std::vector<ImageFile> files_;
};

TEST(AllocationFailures, SpriteImages) {
  SpriteImages scenario;
  ASSERT_GE(scenario.count(), 40u) << "the seeds and the PNG suite were not found";
  SweepScenario("BMP and PNG sprite rows", scenario, 500);
}

// A WAVE image: the RIFF header, a "fmt " chunk of the given body, an optional chunk of another
// kind, and the samples.
std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& format, bool listChunk, uint32_t samples) {
  std::vector<uint8_t> out;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  put32(0);
  tag("WAVE");
  tag("fmt ");
  put32(static_cast<uint32_t>(format.size()));
  out.insert(out.end(), format.begin(), format.end());
  if (listChunk) {
    tag("LIST");
    put32(6);
    tag("INFO");
    out.insert(out.end(), {'x', 'y'});
  }
  tag("data");
  put32(samples);
  for (uint32_t i = 0; i < samples; ++i) out.push_back(static_cast<uint8_t>(i * 7));
  uint32_t riff = static_cast<uint32_t>(out.size() - 8);
  memcpy(out.data() + 4, &riff, 4);
  return out;
}

// A WAVEFORMATEX of the given tag; its cbSize and extra bytes when given.
std::vector<uint8_t> Format(uint16_t tag, int cbSize = -1, size_t extra = 0) {
  std::vector<uint8_t> f = {static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8), 2, 0, 0x44, 0xAC, 0, 0,
                            0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  if (cbSize >= 0) f.insert(f.end(), {static_cast<uint8_t>(cbSize), static_cast<uint8_t>(cbSize >> 8)});
  f.insert(f.end(), extra, 0x5A);
  return f;
}

struct Sound {
  intptr_t live;
  uint32_t bytes;
};

// The sound library's path without DirectSound: the image's bytes in a block of their own (as a
// file's would be), the chunk walk, and a record under a dynamic number for every sound loaded.
class WaveImages : public Scenario {
 public:
  WaveImages() {
    images_ = {WaveFile(Format(1), false, 64),          WaveFile(Format(1), true, 33),
               WaveFile(Format(1, 0), false, 16),       WaveFile(Format(1, 200, 4), false, 20),
               WaveFile(Format(2, 32, 32), true, 48),   WaveFile(Format(2, 40, 32), false, 48)};
  }

  Results Run() override {
    Results r;
    sounds_ = RegistryCreate(sizeof(Sound), 64, nullptr);
    r.Answer("sound registry", sounds_ != nullptr, "made");
    for (size_t i = 0; i < images_.size(); ++i) {
      std::string what = "image " + std::to_string(i);
      const std::vector<uint8_t>& image = images_[i];
      auto* block = static_cast<uint8_t*>(RuntimeAllocRaw(image.size()));
      WaveImage wave;
      bool parsed = false;
      if (block) {
        memcpy(block, image.data(), image.size());
        parsed = ParseWaveImage(block, static_cast<int32_t>(image.size()), &wave);
        uint32_t cbSize = wave.format[16] | wave.format[17] << 8;
        r.Got(what, parsed ? std::to_string(wave.sampleBytes) + " bytes, cbSize " + std::to_string(cbSize) : "refused");
      } else {
        r.Failed(what);
      }
      auto* sound = parsed ? static_cast<Sound*>(RegistryAllocate(sounds_, AnyID)) : nullptr;
      r.Answer(what + " sound", sound != nullptr, "made");
      if (sound) *sound = Sound{1, wave.sampleBytes};
      RuntimeFree(block);
    }
    std::string loaded;
    ObjectNumber number;
    RegistryEnumStart(sounds_);
    while (auto* sound = static_cast<Sound*>(RegistryEnumNext(sounds_, &number))) {
      loaded += std::to_string(sound->bytes) + " ";
      RegistryFree(sounds_, number);
    }
    r.State("sounds", loaded);
    if (sounds_) EXPECT_EQ(RegistryValidate(sounds_), 1);
    return r;
  }

  void Release() override { FreeRegistry(sounds_); }

 private:
  std::vector<std::vector<uint8_t>> images_;
  ObjectRegistry* sounds_ = nullptr;
};

TEST(AllocationFailures, WaveImages) {
  WaveImages scenario;
  SweepScenario("WAVE images", scenario);
}

}  // namespace
