// The demo's bird picture as the build leaves it beside the programs, and the decode-image tool run
// as a separate Windows process: the pixels it writes for PNG and BMP files, and the files it refuses.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/screen/bmp_file.h"
#include "runtime/screen/image_decoders_internal.h"
#include "support/bmp_images.h"
#include "support/file_bytes.h"
#include "support/png_writer.h"
#include "support/program_run.h"

namespace {

std::string BinPath(const std::string& name) { return std::string(HURZ_TEST_BIN_DIR) + "/" + name; }

// Runs decode-image with the given arguments.
ProgramRun RunDecodeImage(const std::string& arguments) {
  return RunProgram("\"" + BinPath("decode-image.exe") + "\" " + arguments);
}

}  // namespace

TEST(SqueakerBird, IsA64By64PictureWithAlphaOnATransparentBackground) {
  std::string png = ReadFileBytes(BinPath("squeaker_bird.png"));
  ASSERT_FALSE(png.empty());
  ResetImageDecoders();
  RegisterPngDecoder();
  ASSERT_EQ(FindImageDecoder((intptr_t)png.size(), (const uint8_t*)png.data()), 2);
  ASSERT_EQ(DecodedWidth(), 64);
  ASSERT_EQ(DecodedHeight(), 64);
  std::vector<uint8_t> rows(256 * 65);
  ASSERT_EQ(DecodeImage(rows.data(), 256, 0), 1);
  auto alpha = [&](int x, int y) { return rows[y * 256 + x * 4 + 3]; };
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(alpha(i, 0), 0) << "top edge " << i;
    EXPECT_EQ(alpha(i, 63), 0) << "bottom edge " << i;
  }
  int opaque = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) opaque += alpha(x, y) == 255;
  EXPECT_GT(opaque, 64 * 64 / 4);
  EXPECT_LT(opaque, 64 * 64 * 3 / 4);
  EXPECT_EQ(alpha(30, 40), 255) << "the body";
}

namespace {

// Input and output files of one tool test, removed when it ends.
class DecodeImageTool : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : made_) DeleteFileA(path.c_str());
  }
  std::string TempPath(const std::string& suffix) {
    std::string path = "Z:" + RunTempPath("image-tools-" + std::to_string(made_.size()) + suffix);
    DeleteFileA(path.c_str());
    made_.push_back(path);
    return path;
  }
  std::string Input(const std::string& suffix, const std::string& bytes) {
    std::string path = TempPath(suffix);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Decodes the bytes to a PAM and returns the PAM's bytes, or "" when the tool failed.
  std::string Decode(const std::string& suffix, const std::string& bytes) {
    std::string in = Input(suffix, bytes), out = TempPath(".pam");
    ProgramRun run = RunDecodeImage("\"" + in + "\" \"" + out + "\"");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.exitCode == 0 ? ReadFileBytes(out) : "";
  }

 private:
  std::vector<std::string> made_;
};

std::string Pam(int width, int height, bool alpha, const std::string& tuples) {
  return "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) + "\nDEPTH " +
         (alpha ? "4" : "3") + "\nMAXVAL 255\nTUPLTYPE " + (alpha ? "RGB_ALPHA" : "RGB") + "\nENDHDR\n" + tuples;
}

std::string Chars(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += (char)v;
  return s;
}

std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

// PNGs keep their alpha exactly when they were decoded with it; a palette PNG's transparency is
// dropped like the loader drops it.
TEST_F(DecodeImageTool, PngsBecomeTheirSpritesPixelsTopRowFirst) {
  PngDescription rgba;
  rgba.width = 2;
  rgba.height = 2;
  rgba.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  EXPECT_EQ(Decode(".png", WritePng(rgba, {Chars({1, 2, 3, 4, 5, 6, 7, 8}), Chars({9, 10, 11, 0, 0, 0, 0, 255})})),
            Pam(2, 2, true, Chars({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 0, 0, 0, 255})));

  PngDescription palette;
  palette.width = 3;
  palette.colourType = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {{200, 100, 50}, {1, 2, 3}};
  palette.paletteAlpha = {0};
  EXPECT_EQ(Decode(".png", WritePng(palette, {Chars({1, 0, 1})})),
            Pam(3, 1, false, Chars({1, 2, 3, 200, 100, 50, 1, 2, 3})));

  std::string bird = Decode(".png", ReadFileBytes(BinPath("squeaker_bird.png")));
  EXPECT_EQ(bird.rfind("P7\nWIDTH 64\nHEIGHT 64\nDEPTH 4\n", 0), 0u);
  EXPECT_EQ(bird.size(), bird.find("ENDHDR\n") + 7 + 64 * 64 * 4);
}

// BMP rows come bottom row first; palette images go through their colour table, 16-bit ones are
// widened from 5-5-5 as the sprite library widens them, and BMPs never carry alpha.
TEST_F(DecodeImageTool, BmpsBecomeTheirSpritesPixelsTopRowFirst) {
  // 4 bits, width 3, two rows: the top row indices 1, 2, 0, the bottom row 2, 2, 1.
  auto fourBit = MakeBmpFile(3, 2, 4, 0, {0x000000, 0x102030, 0xA0B0C0}, {0x22, 0x10, 0, 0, 0x12, 0x00, 0, 0});
  EXPECT_EQ(
      Decode(".bmp", AsString(fourBit)),
      Pam(3, 2, false,
          Chars({0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0, 0, 0, 0, 0xA0, 0xB0, 0xC0, 0xA0, 0xB0, 0xC0, 0x10, 0x20, 0x30})));

  // 5-5-5: red 31, green 1, blue 16 on top; white and black below.
  auto sixteenBit = MakeBmp(1, 2, 16, [](int, int y) { return y == 0 ? (31u << 10 | 1u << 5 | 16u) : 0x7FFFu; });
  EXPECT_EQ(Decode(".bmp", AsString(sixteenBit)), Pam(1, 2, false, Chars({248, 8, 128, 248, 248, 248})));

  auto thirtyTwoBit = MakeBmp(2, 1, 32, [](int x, int) { return x ? 0x80112233u : 0xFF445566u; });
  EXPECT_EQ(Decode(".bmp", AsString(thirtyTwoBit)), Pam(2, 1, false, Chars({0x44, 0x55, 0x66, 0x11, 0x22, 0x33})));
}

TEST_F(DecodeImageTool, RefusedFilesGiveAReasonAndNoOutput) {
  auto good = MakeBmp(3, 2, 24, [](int, int) { return 0x123456u; });
  const std::pair<const char*, std::string> refused[] = {
      {"cut-off BMP", AsString(std::vector<uint8_t>(good.begin(), good.end() - 1))},
      {"RLE4 BMP", AsString(MakeBmpFile(2, 1, 4, kBmpRle4, {0, 0xFFFFFF}, {0, 1}))},
      {"text", "not an image at all\n"},
      {"empty", ""},
      {"PNG cut in its header", ReadFileBytes(std::string(HURZ_TEST_PNGSUITE_DIR) + "/basn2c08.png").substr(0, 30)},
      {"PNG claiming 32767 by 32767 pixels", PngClaimingSize(32767, 32767, PNG_COLOR_TYPE_RGB_ALPHA)},
  };
  for (auto& r : refused) {
    std::string in = Input(".img", r.second), out = TempPath(".pam");
    ProgramRun run = RunDecodeImage("\"" + in + "\" \"" + out + "\"");
    EXPECT_EQ(run.exitCode, 1) << r.first;
    EXPECT_EQ(run.output.find("decode-image: "), 0u) << r.first << ": " << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << r.first << ": one line, " << run.output;
    EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES) << r.first << ": output written";
  }
  std::string out = TempPath(".pam");
  EXPECT_EQ(RunDecodeImage("\"Z:/no/such/image.png\" \"" + out + "\"").exitCode, 1);
  EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(RunDecodeImage("").exitCode, 2);
  EXPECT_EQ(RunDecodeImage("\"" + Input(".bmp", AsString(good)) + "\"").exitCode, 2) << "no output named";
}
