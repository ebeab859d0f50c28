// The image decoder registry and the PNG decoder: registration order, file and memory modes, every
// colour type's row layout on images with known pixels, the test suite's interlaced twins, and
// damaged files that must fail without reading past their block.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/png_decoder.h"
#include "runtime/screen/sprite_source.h"
#include "support/guarded_memory.h"
#include "support/png_writer.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string SuitePath(const std::string& name) { return std::string(HURZ_TEST_PNGSUITE_DIR) + "/" + name; }

uint8_t* AllocateNothing(size_t) { return nullptr; }

// Whether this process holds the file open: Windows refuses to open a file for exclusive use while
// any handle holds it; Linux lists the process's open files under /proc/self/fd.
bool FileHeldOpen(const std::string& path) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return false;
#else
  std::error_code error;
  std::filesystem::path wanted = std::filesystem::canonical(path, error);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path(), unreadable) == wanted) return true;
  }
  return false;
#endif
}

struct Decoded {
  int32_t kind = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;
  int32_t result = 0;
  std::vector<uint8_t> buffer;  // pitch * (height + 1) bytes, kUntouched where nothing was written

  const uint8_t* Pixel(int x, int y) const { return &buffer[(size_t)y * pitch + (size_t)x * (kind == 2 ? 4 : 3)]; }
  bool SpareRowUntouched() const {
    for (size_t i = (size_t)height * pitch; i < buffer.size(); ++i)
      if (buffer[i] != kUntouched) return false;
    return true;
  }
};

int32_t PitchFor(int32_t kind, int32_t width) { return kind == 2 ? 4 * width : 3 * width + (width & 3); }

// The calling order the sprite library uses, with the block placed against a guard page.
Decoded DecodeMemory(const std::string& bytes) {
  GuardedMemory block(bytes);
  Decoded d;
  d.kind = FindImageDecoder((intptr_t)bytes.size(), block.data());
  if (d.kind <= 0) return d;
  d.width = DecodedWidth();
  d.height = DecodedHeight();
  d.pitch = PitchFor(d.kind, d.width);
  d.buffer.assign((size_t)d.pitch * (d.height + 1), kUntouched);
  d.result = DecodeImage(d.buffer.data(), d.pitch, 0);
  return d;
}

Decoded DecodeFile(const std::string& path) {
  Decoded d;
  d.kind = FindImageDecoder((intptr_t)path.c_str(), nullptr);
  if (d.kind <= 0) return d;
  d.width = DecodedWidth();
  d.height = DecodedHeight();
  d.pitch = PitchFor(d.kind, d.width);
  d.buffer.assign((size_t)d.pitch * (d.height + 1), kUntouched);
  d.result = DecodeImage(d.buffer.data(), d.pitch, 0);
  return d;
}

class PngDecoding : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetImageDecoders();
    RegisterPngDecoder();
  }
};

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += (char)v;
  return s;
}

// Offsets of the chunks of a PNG file, after the signature: each chunk's start and its length field.
struct Chunk {
  size_t start;
  uint32_t length;
  std::string type;
};
std::vector<Chunk> Chunks(const std::string& png) {
  std::vector<Chunk> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    auto b = [&](size_t i) { return (uint32_t)(uint8_t)png[at + i]; };
    uint32_t length = b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
    chunks.push_back({at, length, png.substr(at + 4, 4)});
    at += 12 + length;
  }
  return chunks;
}

}  // namespace

// --- The registry ---------------------------------------------------------------------------------

namespace fake {
int checks[3], decodes[3];
const uint8_t* seenMemory;
intptr_t seenSize;
FILE* seenFile;
template <int N, int Kind>
int32_t Check(FILE* file, const uint8_t* memory, intptr_t nameOrSize) {
  ++checks[N];
  seenFile = file;
  seenMemory = memory;
  seenSize = nameOrSize;
  return Kind;
}
template <int N>
int32_t Decode(uint8_t*, int32_t, int32_t) {
  ++decodes[N];
  return 40 + N;
}
template <int N>
int32_t Width() {
  return 10 + N;
}
template <int N>
int32_t Height() {
  return 20 + N;
}
const ImageDecoder kRejects = {Check<0, 0>, Decode<0>, Width<0>, Height<0>};
const ImageDecoder kAccepts32 = {Check<1, 2>, Decode<1>, Width<1>, Height<1>};
const ImageDecoder kAccepts24 = {Check<2, 1>, Decode<2>, Width<2>, Height<2>};
}  // namespace fake

TEST(ImageDecoderRegistry, FirstAcceptingDecoderInRegistrationOrderBecomesCurrent) {
  ResetImageDecoders();
  RegisterImageDecoder(&fake::kRejects);
  RegisterImageDecoder(&fake::kAccepts32);
  RegisterImageDecoder(&fake::kAccepts24);
  memset(fake::checks, 0, sizeof fake::checks);
  memset(fake::decodes, 0, sizeof fake::decodes);
  const uint8_t block[4] = {1, 2, 3, 4};

  EXPECT_EQ(FindImageDecoder(1234, block), 2);
  EXPECT_EQ(fake::checks[0], 1);
  EXPECT_EQ(fake::checks[1], 1);
  EXPECT_EQ(fake::checks[2], 0);
  EXPECT_EQ(fake::seenFile, nullptr);
  EXPECT_EQ(fake::seenMemory, block);
  EXPECT_EQ(fake::seenSize, 1234);
  EXPECT_EQ(DecodedWidth(), 11);
  EXPECT_EQ(DecodedHeight(), 21);
  EXPECT_EQ(DecodeImage(nullptr, 0, 0), 41);
  EXPECT_EQ(fake::decodes[1], 1);

  // File mode hands the decoders the open file and its name.
  std::string path = SuitePath("basn0g01.png");
  EXPECT_EQ(FindImageDecoder((intptr_t)path.c_str(), nullptr), 2);
  EXPECT_NE(fake::seenFile, nullptr);
  EXPECT_EQ(fake::seenSize, (intptr_t)path.c_str());
  EXPECT_EQ(DecodeImage(nullptr, 0, 0), 41);
}

TEST(ImageDecoderRegistry, EmptyOrRejectingRegistryFindsNothing) {
  ResetImageDecoders();
  const uint8_t block[8] = {};
  EXPECT_EQ(FindImageDecoder(8, block), 0);
  EXPECT_EQ(DecodedWidth(), 0);
  EXPECT_EQ(DecodeImage(nullptr, 0, 0), 0);
  RegisterImageDecoder(&fake::kRejects);
  EXPECT_EQ(FindImageDecoder(8, block), 0);
  std::string path = SuitePath("basn0g01.png");
  EXPECT_EQ(FindImageDecoder((intptr_t)path.c_str(), nullptr), 0);
  EXPECT_EQ(FindImageDecoder((intptr_t) "Z:/no/such/image.png", nullptr), 0);
}

TEST(ImageDecoderRegistry, PngDecoderCanBeRegisteredAgainAfterAReset) {
  std::string png = ReadFileBytes(SuitePath("basn2c08.png"));
  ResetImageDecoders();
  RegisterPngDecoder();
  RegisterPngDecoder();
  EXPECT_EQ(DecodeMemory(png).kind, 1);
  ResetImageDecoders();
  EXPECT_EQ(DecodeMemory(png).kind, 0);
  RegisterPngDecoder();
  EXPECT_EQ(DecodeMemory(png).kind, 1);
}

// --- Row layouts of every colour type -------------------------------------------------------------

TEST_F(PngDecoding, RgbRowsAreBlueGreenRedPaddedToFourBytes) {
  PngDescription d;
  d.width = 5;
  d.height = 2;
  std::vector<std::string> rows(2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) rows[y] += Bytes({10 * x + y, 100 + x, 200 + y});
  Decoded out = DecodeMemory(WritePng(d, rows));
  ASSERT_EQ(out.kind, 1);
  EXPECT_EQ(out.width, 5);
  EXPECT_EQ(out.height, 2);
  EXPECT_EQ(out.pitch, 16);
  EXPECT_EQ(out.result, 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t* p = out.Pixel(x, y);
      EXPECT_EQ(p[0], 200 + y);
      EXPECT_EQ(p[1], 100 + x);
      EXPECT_EQ(p[2], 10 * x + y);
    }
    EXPECT_EQ(out.buffer[y * 16 + 15], kUntouched) << "padding byte of row " << y;
  }
  EXPECT_TRUE(out.SpareRowUntouched());
}

TEST_F(PngDecoding, SixteenBitRgbaKeepsTheHighBytesInBlueGreenRedAlphaOrder) {
  PngDescription d;
  d.width = 3;
  d.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  d.bitDepth = 16;
  std::string row;
  for (int x = 0; x < 3; ++x) row += Bytes({0x10 + x, 0xAA, 0x20 + x, 0xBB, 0x30 + x, 0xCC, 0x40 + x, 0xDD});
  Decoded out = DecodeMemory(WritePng(d, {row}));
  ASSERT_EQ(out.kind, 2);
  EXPECT_EQ(out.pitch, 12);
  for (int x = 0; x < 3; ++x) {
    const uint8_t* p = out.Pixel(x, 0);
    EXPECT_EQ(p[0], 0x30 + x);
    EXPECT_EQ(p[1], 0x20 + x);
    EXPECT_EQ(p[2], 0x10 + x);
    EXPECT_EQ(p[3], 0x40 + x);
  }
  EXPECT_TRUE(out.SpareRowUntouched());
}

TEST_F(PngDecoding, PaletteWithTransparencyGivesOpaqueTwentyFourBitRows) {
  PngDescription d;
  d.width = 4;
  d.colourType = PNG_COLOR_TYPE_PALETTE;
  d.bitDepth = 4;
  d.palette = {{255, 0, 0}, {0, 255, 0}, {1, 2, 3}};
  d.paletteAlpha = {0, 128};
  Decoded out = DecodeMemory(WritePng(d, {Bytes({0x01, 0x22})}));
  ASSERT_EQ(out.kind, 1);
  EXPECT_EQ(out.pitch, 12);
  const uint8_t expected[12] = {0, 0, 255, 0, 255, 0, 3, 2, 1, 3, 2, 1};
  EXPECT_EQ(memcmp(out.buffer.data(), expected, 12), 0);
  EXPECT_TRUE(out.SpareRowUntouched());
}

TEST_F(PngDecoding, GreyOfDepthTwoSpreadsToEqualBlueGreenRed) {
  PngDescription d;
  d.width = 4;
  d.colourType = PNG_COLOR_TYPE_GRAY;
  d.bitDepth = 2;
  Decoded out = DecodeMemory(WritePng(d, {Bytes({0b00011011})}));
  ASSERT_EQ(out.kind, 1);
  for (int x = 0; x < 4; ++x) {
    const uint8_t* p = out.Pixel(x, 0);
    EXPECT_EQ(p[0], 85 * x);
    EXPECT_EQ(p[1], 85 * x);
    EXPECT_EQ(p[2], 85 * x);
  }
}

// A transparency key on grey below 8 bits must not turn the rows into 32-bit ones: with a pitch of
// 12 for 4 pixels such rows would run into the next row and the spare one.
TEST_F(PngDecoding, LowDepthGreyWithTransparencyKeyStaysWithinTheTwentyFourBitPitch) {
  for (int depth : {1, 2, 4}) {
    PngDescription d;
    d.width = 4;
    d.height = 2;
    d.colourType = PNG_COLOR_TYPE_GRAY;
    d.bitDepth = depth;
    d.greyKey = 0;
    // The row pattern black, white, black, white at every depth.
    std::string row;
    if (depth == 1) row = Bytes({0b01010000});
    if (depth == 2) row = Bytes({0b00110011});
    if (depth == 4) row = Bytes({0x0F, 0x0F});
    Decoded out = DecodeMemory(WritePng(d, {row, row}));
    ASSERT_EQ(out.kind, 1) << depth;
    EXPECT_EQ(out.result, 1);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out.Pixel(x, y)[c], x % 2 ? 255 : 0) << depth << " " << x << "," << y;
    EXPECT_TRUE(out.SpareRowUntouched()) << depth;
  }
}

TEST_F(PngDecoding, GreyWithAlphaGivesThirtyTwoBitRows) {
  PngDescription d;
  d.width = 2;
  d.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
  Decoded out = DecodeMemory(WritePng(d, {Bytes({7, 200, 99, 1})}));
  ASSERT_EQ(out.kind, 2);
  const uint8_t expected[8] = {7, 7, 7, 200, 99, 99, 99, 1};
  EXPECT_EQ(memcmp(out.buffer.data(), expected, 8), 0);
}

TEST_F(PngDecoding, PitchTooSmallForTheRowsWritesNothing) {
  PngDescription d;
  d.width = 4;
  std::string png = WritePng(d, {std::string(12, '\x55')});
  GuardedMemory block(png);
  ASSERT_EQ(FindImageDecoder((intptr_t)png.size(), block.data()), 1);
  std::vector<uint8_t> buffer(64, kUntouched);
  EXPECT_EQ(DecodeImage(buffer.data(), 11, 0), 0);
  EXPECT_EQ(buffer, std::vector<uint8_t>(64, kUntouched));
}

// --- The test suite's images ----------------------------------------------------------------------

TEST_F(PngDecoding, InterlacedImagesDecodeToTheRowsOfTheirTwins) {
  const char* names[] = {"basn0g08",  "basn0g16",  "basn2c08",  "basn2c16",  "basn3p08",  "basn4a08",
                         "basn4a16",  "basn6a08",  "basn6a16",  "ftbbn2c16", "ftbbn3p08", "ftbgn2c16",
                         "ftbrn2c08", "ftbwn0g16", "ftp0n0g08", "ftp1n3p08"};
  for (const char* name : names) {
    Decoded plain = DecodeMemory(ReadFileBytes(SuitePath(std::string(name) + ".png")));
    Decoded interlaced = DecodeMemory(ReadFileBytes(SuitePath(std::string("i") + name + ".png")));
    ASSERT_NE(plain.kind, 0) << name;
    EXPECT_EQ(plain.result, 1) << name;
    EXPECT_EQ(interlaced.result, 1) << name;
    EXPECT_EQ(interlaced.kind, plain.kind) << name;
    EXPECT_EQ(interlaced.width, plain.width) << name;
    EXPECT_EQ(interlaced.height, plain.height) << name;
    EXPECT_TRUE(interlaced.buffer == plain.buffer) << name;
    EXPECT_TRUE(plain.SpareRowUntouched()) << name;
  }
  for (const char* name : {"basn0g01", "basn0g02", "basn0g04", "basn3p01", "basn3p02", "basn3p04", "ftbbn0g01",
                           "ftbbn0g02", "ftbbn0g04"}) {
    Decoded plain = DecodeMemory(ReadFileBytes(SuitePath(std::string(name) + ".png")));
    Decoded interlaced = DecodeMemory(ReadFileBytes(SuitePath(std::string("interlaced/i") + name + ".png")));
    ASSERT_EQ(plain.kind, 1) << name;
    EXPECT_EQ(interlaced.result, 1) << name;
    EXPECT_TRUE(interlaced.buffer == plain.buffer) << name;
    EXPECT_TRUE(plain.SpareRowUntouched()) << name;
  }
}

TEST_F(PngDecoding, KindFollowsTheAlphaChannel) {
  struct {
    const char* name;
    int32_t kind;
  } cases[] = {{"basn0g16", 1}, {"basn2c16", 1}, {"basn3p08", 1}, {"ftbbn3p08", 1},
               {"basn4a16", 2}, {"basn6a08", 2}, {"basn6a16", 2}};
  for (auto& c : cases) {
    Decoded out = DecodeMemory(ReadFileBytes(SuitePath(std::string(c.name) + ".png")));
    EXPECT_EQ(out.kind, c.kind) << c.name;
    EXPECT_EQ(out.width, 32) << c.name;
    EXPECT_EQ(out.height, 32) << c.name;
  }
}

TEST_F(PngDecoding, FileModeDecodesLikeMemoryMode) {
  for (const char* name : {"basn3p04.png", "basn6a16.png", "ibasn2c08.png"}) {
    Decoded fromFile = DecodeFile(SuitePath(name));
    Decoded fromMemory = DecodeMemory(ReadFileBytes(SuitePath(name)));
    ASSERT_NE(fromFile.kind, 0) << name;
    EXPECT_EQ(fromFile.kind, fromMemory.kind) << name;
    EXPECT_EQ(fromFile.result, 1) << name;
    EXPECT_TRUE(fromFile.buffer == fromMemory.buffer) << name;
  }
  EXPECT_EQ(FindImageDecoder((intptr_t)SuitePath("README").c_str(), nullptr), 0);
  EXPECT_EQ(FindImageDecoder((intptr_t)SuitePath("missing.png").c_str(), nullptr), 0);
}

TEST_F(PngDecoding, AcceptedImageNeverDecodedDoesNotDisturbTheNext) {
  std::string first = ReadFileBytes(SuitePath("basn6a08.png"));
  GuardedMemory block(first);
  ASSERT_EQ(FindImageDecoder((intptr_t)first.size(), block.data()), 2);
  std::string path = SuitePath("basn2c08.png");
  ASSERT_EQ(FindImageDecoder((intptr_t)path.c_str(), nullptr), 1);  // its file stays open, undecoded
  Decoded next = DecodeMemory(ReadFileBytes(SuitePath("basn0g08.png")));
  EXPECT_EQ(next.kind, 1);
  EXPECT_EQ(next.result, 1);
  EXPECT_TRUE(DecodeMemory(ReadFileBytes(SuitePath("basn0g08.png"))).buffer == next.buffer);
}

// --- Damaged files --------------------------------------------------------------------------------

TEST_F(PngDecoding, ShortOrForeignBlocksAreNotPng) {
  GuardedMemory shortBlock(Bytes({0x89, 'P', 'N', 'G'}));
  EXPECT_EQ(FindImageDecoder(4, shortBlock.data()), 0);
  std::string bmp = "BM" + std::string(60, '\0');
  EXPECT_EQ(DecodeMemory(bmp).kind, 0);
}

// Every cut of a file fails cleanly: before the first image data chunk Check refuses, inside the
// image data Decode reports the error; the guard page catches any read past the block.
TEST_F(PngDecoding, TruncatedFilesFailWithoutReadingPastTheBlock) {
  PngDescription d;
  d.width = 6;
  d.height = 6;
  std::vector<std::string> rows;
  for (int y = 0; y < 6; ++y) {
    std::string row;
    for (int i = 0; i < 18; ++i) row += (char)(y * 31 + i * 17);
    rows.push_back(row);
  }
  std::string png = WritePng(d, rows);
  size_t firstData = 0, dataEnd = 0;
  for (const Chunk& c : Chunks(png)) {
    if (c.type == "IDAT" && !firstData) firstData = c.start;
    if (c.type == "IDAT") dataEnd = c.start + 12 + c.length;
  }
  ASSERT_GT(firstData, 0u);
  for (size_t cut = 0; cut < dataEnd; ++cut) {
    Decoded out = DecodeMemory(png.substr(0, cut));
    if (cut < firstData + 8) {
      EXPECT_EQ(out.kind, 0) << cut;
    } else if (out.kind) {
      EXPECT_EQ(out.result, 0) << cut;
    }
  }
  EXPECT_EQ(DecodeMemory(png).result, 1);
}

// Wherever memory runs out, in the header's check or in the rows' decode, it is reported as such,
// and libpng keeps none of it.
TEST_F(PngDecoding, RunningOutOfMemoryIsToldFromDamagedData) {
  std::string png = ReadFileBytes(SuitePath("ibasn6a16.png"));
  PlatformFailAllocations(0, false);
  ASSERT_EQ(DecodeMemory(png).result, 1);
  uint64_t allocations = PlatformAllocationCount();
  int checksFailed = 0, decodesFailed = 0;
  for (uint64_t failing = 1; failing <= allocations; ++failing) {
    PlatformFailAllocations(failing, false);
    Decoded d = DecodeMemory(png);
    PlatformFailAllocations(0, false);
    EXPECT_EQ(PngDecoderBlocks(), 0u) << failing;
    if (d.kind == kDecodeNoMemory) {
      ++checksFailed;
      continue;
    }
    EXPECT_EQ(d.kind, 2) << failing;
    EXPECT_EQ(d.result, kDecodeNoMemory) << failing;
    ++decodesFailed;
  }
  EXPECT_GT(checksFailed, 0);
  EXPECT_GT(decodesFailed, 0);
  EXPECT_EQ(DecodeMemory(png).result, 1);
}

// An image its caller refuses (too large, no memory for its rows) is abandoned: libpng's memory is
// given back, and in file mode the file is closed.
TEST_F(PngDecoding, AnAbandonedImageKeepsNoMemoryAndNoFile) {
  PngDescription d;
  d.width = 40000;  // wider than any sprite
  std::string wide = WritePng(d, {std::string(3 * 40000, '\x20')});
  SpriteSource source;
  EXPECT_EQ(ReadSpriteSource((const uint8_t*)wide.data(), wide.size(), false, AllocateNothing, &source),
            kSourceTooLarge);
  EXPECT_EQ(PngDecoderBlocks(), 0u);
  std::string small = ReadFileBytes(SuitePath("basn2c08.png"));
  EXPECT_EQ(ReadSpriteSource((const uint8_t*)small.data(), small.size(), false, AllocateNothing, &source),
            kSourceNoMemory);
  EXPECT_EQ(PngDecoderBlocks(), 0u);

  std::string path = SuitePath("basn2c08.png");
  ASSERT_EQ(FindImageDecoder((intptr_t)path.c_str(), nullptr), 1);
  EXPECT_GT(PngDecoderBlocks(), 0u);
  EXPECT_TRUE(FileHeldOpen(path));
  AbandonImage();
  EXPECT_EQ(PngDecoderBlocks(), 0u);
  EXPECT_FALSE(FileHeldOpen(path));
  EXPECT_EQ(DecodeImage(nullptr, 0, 0), 0) << "nothing left to decode";
  EXPECT_EQ(DecodeMemory(small).result, 1);
}

TEST_F(PngDecoding, CorruptChecksumsFail) {
  PngDescription d;
  d.width = 2;
  std::string png = WritePng(d, {std::string(6, '\x40')});
  std::vector<Chunk> chunks = Chunks(png);
  ASSERT_EQ(chunks[0].type, "IHDR");
  std::string badHeader = png;
  badHeader[chunks[0].start + 8 + chunks[0].length] ^= 1;
  EXPECT_EQ(DecodeMemory(badHeader).kind, 0);

  std::string badData = png;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") badData[c.start + 8 + c.length + 3] ^= 0x80;
  Decoded out = DecodeMemory(badData);
  EXPECT_EQ(out.kind, 1);
  EXPECT_EQ(out.result, 0);
}
