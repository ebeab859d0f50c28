// BMP files built here: the header reader's checks, and the palette expansion (colour lookup for
// 1, 4 and 8 bits, RLE8 records, hostile files whose runs, moves, indices or headers reach outside
// the image). File and buffer sit against guard pages, so a stray read or write faults.
#include "runtime/screen/bmp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/bmp_images.h"
#include "support/guarded_memory.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;

std::string Le32(uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }
std::string Le16(uint16_t v) { return std::string{(char)v, (char)(v >> 8)}; }

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += (char)v;
  return s;
}

// A BMP with a 40-byte info header; table entries are 0x00RRGGBB.
std::string Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, const std::vector<uint32_t>& table,
                const std::string& pixels) {
  std::string colours;
  for (uint32_t c : table) colours += Le32(c);
  uint32_t offset = 14 + 40 + (uint32_t)colours.size();
  std::string info = Le32(40) + Le32(width) + Le32(height) + Le16(1) + Le16(bits) + Le32(compression) +
                     Le32((uint32_t)pixels.size()) + Le32(2835) + Le32(2835) + Le32((uint32_t)table.size()) + Le32(0);
  return "BM" + Le32(offset + (uint32_t)pixels.size()) + Le32(0) + Le32(offset) + info + colours + pixels;
}

struct Expanded {
  int32_t result;
  int32_t pitch;
  std::vector<uint8_t> buffer;  // pitch * (rows + 1) bytes

  std::vector<int> Pixel(int x, int y) const {
    const uint8_t* p = &buffer[(size_t)y * pitch + (size_t)x * 3];
    return {p[0], p[1], p[2]};
  }
  // True when every byte outside the image's own pixels (row padding, the spare row) is untouched,
  // and so is every pixel listed as skipped.
  bool OnlyPixelsWritten(int width, int height, std::vector<std::pair<int, int>> skipped = {}) const {
    for (size_t i = 0; i < buffer.size(); ++i) {
      int y = (int)(i / pitch), x = (int)(i % pitch) / 3;
      bool inImage = y < height && (int)(i % pitch) < 3 * width;
      for (auto& s : skipped)
        if (s.first == x && s.second == y) inImage = false;
      if (!inImage && buffer[i] != kUntouched) return false;
    }
    return true;
  }
};

Expanded Expand(const std::string& bmp, int32_t width, int32_t rows, int32_t pitch = -1) {
  if (pitch < 0) pitch = 3 * width + (width & 3);
  GuardedMemory file(bmp);
  size_t bytes = (size_t)pitch * (rows + 1);
  GuardedMemory out(bytes);
  memset(out.data(), kUntouched, bytes);
  // Expanded as the sprite loader expands it: only once the headers were read.
  BmpInfo info;
  int32_t result = ReadBmpInfo(file.data(), bmp.size(), &info)
                       ? ExpandBmpPalette(file.data(), bmp.size(), info, out.data(), pitch)
                       : 0;
  Expanded e{result, pitch, {}};
  e.buffer.assign(out.data(), out.data() + bytes);
  return e;
}

const std::vector<int> kBlack = {0, 0, 0}, kWhite = {255, 255, 255};

std::vector<uint32_t> Ramp(int n) {
  std::vector<uint32_t> table;
  for (int i = 0; i < n; ++i) table.push_back((uint32_t)(i * 0x010203 + 0x102030));
  return table;
}
std::vector<int> RampColour(int i) {
  uint32_t c = (uint32_t)(i * 0x010203 + 0x102030);
  return {(int)(c & 255), (int)(c >> 8 & 255), (int)(c >> 16 & 255)};
}

}  // namespace

TEST(BmpPalette, OneBitIsBlackAndWhiteWhateverTheTableSays) {
  // Width 10: two bytes per row, padded to 4; the second byte uses its two high bits only.
  std::string pixels = Bytes({0b10110000, 0b01111111, 0, 0, 0b01001111, 0b10111111, 0, 0});
  Expanded e = Expand(Bmp(10, 2, 1, 0, {0x00FF0000, 0x000000FF}, pixels), 10, 2);
  ASSERT_EQ(e.result, 1);
  const char* rows[2] = {"1011000001", "0100111110"};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(e.Pixel(x, y), rows[y][x] == '1' ? kWhite : kBlack) << x << "," << y;
  EXPECT_TRUE(e.OnlyPixelsWritten(10, 2));
}

TEST(BmpPalette, FourBitOddWidthWritesTheLastLowNibbleAsAFourthPixel) {
  std::string pixels = Bytes({0x12, 0x34, 0xEE, 0xEE, 0x56, 0x78, 0xEE, 0xEE});
  Expanded e = Expand(Bmp(3, 2, 4, 0, Ramp(16), pixels), 3, 2);
  ASSERT_EQ(e.result, 1);
  ASSERT_EQ(e.pitch, 12);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(e.Pixel(x, 0), RampColour(1 + x)) << x;
    EXPECT_EQ(e.Pixel(x, 1), RampColour(5 + x)) << x;
  }
  EXPECT_TRUE(e.OnlyPixelsWritten(4, 2));
}

TEST(BmpPalette, EightBitLooksIndicesUpAndIndicesPastTheTableAreBlack) {
  // Two table entries, so 2 and 255 have none; the row of width 3 is padded to 4 bytes.
  std::string pixels = Bytes({1, 0, 2, 0xEE, 255, 1, 0, 0xEE});
  Expanded e = Expand(Bmp(3, 2, 8, 0, {0x00112233, 0x00AABBCC}, pixels), 3, 2);
  ASSERT_EQ(e.result, 1);
  std::vector<int> zero = {0x33, 0x22, 0x11}, one = {0xCC, 0xBB, 0xAA};
  EXPECT_EQ(e.Pixel(0, 0), one);
  EXPECT_EQ(e.Pixel(1, 0), zero);
  EXPECT_EQ(e.Pixel(2, 0), kBlack);
  EXPECT_EQ(e.Pixel(0, 1), kBlack);
  EXPECT_EQ(e.Pixel(1, 1), one);
  EXPECT_EQ(e.Pixel(2, 1), zero);
  EXPECT_TRUE(e.OnlyPixelsWritten(3, 2));
}

TEST(BmpPalette, Rle8RunsAbsoluteRecordsAndDeltasSkipPixels) {
  std::string records = Bytes({2, 1,              // two pixels of 1 at (0, 0), (1, 0)
                               0, 2, 1, 1,        // move to (3, 1)
                               1, 2,              // (3, 1) gets 2
                               0, 0,              // next line: (0, 2)
                               0, 3, 4, 5, 6, 0,  // absolute: 4, 5, 6, then the pad byte
                               1, 7,              // (3, 2)
                               0, 1});            // end of image
  Expanded e = Expand(Bmp(4, 3, 8, 1, Ramp(8), records), 4, 3);
  ASSERT_EQ(e.result, 1);
  EXPECT_EQ(e.Pixel(0, 0), RampColour(1));
  EXPECT_EQ(e.Pixel(1, 0), RampColour(1));
  EXPECT_EQ(e.Pixel(3, 1), RampColour(2));
  EXPECT_EQ(e.Pixel(0, 2), RampColour(4));
  EXPECT_EQ(e.Pixel(1, 2), RampColour(5));
  EXPECT_EQ(e.Pixel(2, 2), RampColour(6));
  EXPECT_EQ(e.Pixel(3, 2), RampColour(7));
  EXPECT_TRUE(e.OnlyPixelsWritten(4, 3, {{2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}}));
}

TEST(BmpPalette, HostileRle8StaysInsideTheImage) {
  struct {
    const char* what;
    std::string records;
  } cases[] = {
      {"run past the row", Bytes({255, 1, 0, 0, 255, 2})},
      {"absolute record past the row", Bytes({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1})},
      {"delta past the image", Bytes({0, 2, 200, 0, 5, 1, 0, 2, 0, 200, 5, 1, 0, 0, 0, 0, 0, 0, 9, 1})},
      {"lines past the image", Bytes({0, 0, 0, 0, 0, 0, 0, 0, 9, 1})},
      {"index past the table", Bytes({5, 200, 0, 3, 255, 254, 253, 0})},
      {"absolute record past the file", Bytes({0, 200, 1, 1})},
      {"delta cut by the file's end", Bytes({3, 1, 0, 2, 1})},
  };
  for (auto& c : cases) {
    Expanded e = Expand(Bmp(5, 2, 8, 1, Ramp(2), c.records), 5, 2);
    EXPECT_EQ(e.result, 1) << c.what;
    EXPECT_TRUE(e.OnlyPixelsWritten(5, 2)) << c.what;
  }
  Expanded e = Expand(Bmp(5, 2, 8, 1, Ramp(2), Bytes({5, 200, 0, 0, 2, 1})), 5, 2);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(e.Pixel(x, 0), kBlack);
  EXPECT_EQ(e.Pixel(1, 1), RampColour(1));
}

TEST(BmpPalette, HeadersThatDoNotFitTheFileExpandNothing) {
  std::string good = Bmp(4, 2, 8, 0, Ramp(4), std::string(8, '\1'));
  ASSERT_EQ(Expand(good, 4, 2).result, 1);
  auto with = [&](size_t at, const std::string& bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  struct {
    const char* what;
    std::string bmp;
  } cases[] = {
      {"not a BMP", with(0, "XM")},
      {"headers cut short", good.substr(0, 40)},
      {"info header past the file", with(14, Le32(0x10000))},
      {"info header too small", with(14, Le32(12))},
      {"pixel data past the file", with(10, Le32(5000))},
      {"pixel data inside the headers", with(10, Le32(20))},
      {"last row cut short", good.substr(0, good.size() - 1)},
      {"rows past the file", with(22, Le32(0x7FFFFFFF))},
      {"width zero", with(18, Le32(0))},
      {"top-down", with(22, Le32((uint32_t)-2))},
      {"24 bits", with(28, Le16(24))},
      {"RLE4", with(28, Le16(4)).replace(30, 4, Le32(2))},
  };
  for (auto& c : cases) {
    Expanded e = Expand(c.bmp, 4, 2);
    EXPECT_EQ(e.result, 0) << c.what;
    EXPECT_TRUE(e.OnlyPixelsWritten(0, 0)) << c.what;
  }
  // Every row with its padding, as for every other kind of BMP.
  std::string odd = Bmp(3, 2, 8, 0, Ramp(4), std::string(8, '\1'));
  ASSERT_EQ(Expand(odd, 3, 2).result, 1);
  EXPECT_EQ(Expand(odd.substr(0, odd.size() - 1), 3, 2).result, 0) << "last row's padding missing";
  Expanded narrow = Expand(good, 4, 2, 11);
  EXPECT_EQ(narrow.result, 0) << "pitch below three bytes per pixel";
  EXPECT_TRUE(narrow.OnlyPixelsWritten(0, 0));
}

TEST(BmpHeaders, PlainImagesAreRead) {
  auto file = MakeBmp(5, 3, 24, [](int x, int y) { return uint32_t(x + 10 * y); });
  BmpInfo info{};
  ASSERT_TRUE(ReadBmpInfo(file.data(), file.size(), &info));
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 3);
  EXPECT_EQ(info.bits, 24);
  EXPECT_EQ(info.pixelOffset, 54u);
  EXPECT_EQ(file.size(), 54u + 3 * 16);
  auto indexed = MakeBmp(3, 2, 8, [](int, int) { return 0u; });
  ASSERT_TRUE(ReadBmpInfo(indexed.data(), indexed.size(), &info));
  EXPECT_EQ(info.bits, 8);
  EXPECT_TRUE(BmpPixelsFit(info, indexed.size()));
  EXPECT_FALSE(BmpPixelsFit(info, indexed.size() - 1));
}

TEST(BmpHeaders, HeadersThatDoNotFitTheBytesAreRefused) {
  const auto good = MakeBmp(4, 4, 32, [](int, int) { return 0xFF00FF00u; });
  auto patched = [&](size_t at, uint32_t value, size_t bytes = 4) {
    auto file = good;
    memcpy(file.data() + at, &value, bytes);
    return file;
  };
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"last row one byte short", {good.begin(), good.end() - 1}},
      {"shorter than the headers", {good.begin(), good.begin() + 40}},
      {"pixel offset past the end", patched(10, 0x7FFFFFF0)},
      {"pixel offset inside the headers", patched(10, 20)},
      {"width 0", patched(18, 0)},
      {"top-down height", patched(22, static_cast<uint32_t>(-4))},
      {"wider than a sprite can be", patched(18, 40000)},
      {"rows past the end", patched(22, 30000)},
      {"old 12-byte header", patched(14, 12)},
      {"info header larger than the file", patched(14, 0x10000)},
      {"2 bits per pixel", patched(28, 2, 2)},
      {"compressed true colour", patched(30, kBmpRle8)},
      {"not BM", patched(1, 'N', 1)},
  };
  BmpInfo info{};
  for (const auto& [what, file] : cases) EXPECT_FALSE(ReadBmpInfo(file.data(), file.size(), &info)) << what;
  EXPECT_FALSE(ReadBmpInfo(good.data(), 1, &info));
}

TEST(BmpHeaders, BitMasksAreAcceptedOnlyForThePlainLayout) {
  auto file = MakeBmp(2, 2, 32, [](int, int) { return 0u; });
  // Room for the masks between the header and the pixels.
  file.insert(file.begin() + 54, 12, 0);
  PatchU32(file, 10, 66);
  PatchU32(file, 30, kBmpBitFields);
  PatchU32(file, 54, 0xFF0000);
  PatchU32(file, 58, 0xFF00);
  PatchU32(file, 62, 0xFF);
  BmpInfo info{};
  EXPECT_TRUE(ReadBmpInfo(file.data(), file.size(), &info));
  PatchU32(file, 54, 0xFF);
  PatchU32(file, 62, 0xFF0000);
  EXPECT_FALSE(ReadBmpInfo(file.data(), file.size(), &info));
  PatchU16(file, 28, 16);  // 5-6-5 masks are not the plain 16-bit layout
  PatchU32(file, 54, 0xF800);
  PatchU32(file, 58, 0x07E0);
  PatchU32(file, 62, 0x001F);
  EXPECT_FALSE(ReadBmpInfo(file.data(), file.size(), &info));
}
