// Hostile images through the sprite loader on a real windowed screen: every cut of PNG and BMP files
// of each kind through their first kilobyte, and headers with zero or huge sizes. The file sits
// against a guard page, so a read past its bytes faults; after each load the runtime heap, where
// the decode and expansion buffers live, must still be sound, and a refused image leaves no sprite.
// A huge claimed size is also loaded by a fresh process that watches its own memory peaks.
#include <gtest/gtest.h>
#include <windows.h>
// The process counters need windows.h first.
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/screen/bmp_file.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"
#include "support/bmp_images.h"
#include "support/guarded_memory.h"
#include "support/png_writer.h"
#include "support/program_run.h"
#include "support/screen_fixture.h"

namespace {

// Bytes that do not compress, so that the files are long enough to cut at every length up to 1024.
uint8_t Noise(uint32_t i) {
  i = i * 2654435761u + 12345u;
  return static_cast<uint8_t>(i >> 13 ^ i >> 24);
}
std::vector<uint8_t> NoiseBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = Noise(static_cast<uint32_t>(i) + seed);
  return bytes;
}

std::vector<uint32_t> Table(int entries) {
  std::vector<uint32_t> table;
  for (int i = 0; i < entries; ++i) table.push_back(0x010203u * static_cast<uint32_t>(i) + 0x102030u);
  return table;
}

// Runs, absolute records, deltas and line ends over 50 rows, then the end of the image.
std::vector<uint8_t> Rle8Records() {
  std::vector<uint8_t> records;
  for (int y = 0; y < 50; ++y) {
    records.insert(records.end(), {5, static_cast<uint8_t>(y), 0, 7});
    for (int i = 0; i < 7; ++i) records.push_back(Noise(y * 7 + i));
    records.push_back(0);  // the pad byte after an odd count
    records.insert(records.end(), {0, 2, 3, 0, 9, 200, 0, 0});
  }
  records.insert(records.end(), {0, 1});
  return records;
}

std::string PngOf(int width, int height, int colourType, bool interlaced) {
  PngDescription d;
  d.width = width;
  d.height = height;
  d.colourType = colourType;
  d.interlaced = interlaced;
  int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < 256; ++i)
      d.palette.push_back({static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)});
    d.paletteAlpha = {0, 128, 255};
  }
  std::vector<std::string> rows;
  for (int y = 0; y < height; ++y) {
    std::vector<uint8_t> row = NoiseBytes(static_cast<size_t>(width) * channels, 977u * y);
    rows.emplace_back(row.begin(), row.end());
  }
  return WritePng(d, rows);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height, int colourType) {
  return Bytes(PngClaimingSize(width, height, colourType));
}

class HostileSprites : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
    ResetImageDecoders();
    RegisterPngDecoder();
  }
  void TearDown() override { OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0); }

  // Loads the first length bytes of a file from guarded memory; a sprite that was made is deleted
  // again. Returns whether one was made.
  bool LoadCut(const std::vector<uint8_t>& file, size_t length, int32_t mode) {
    GuardedMemory block(std::string(file.begin(), file.begin() + length));
    ObjectNode* before = gScreen.sprites->dynamicHead;
    intptr_t sprite = LoadSpriteMemory(AnyID, block.data(), mode, length);
    EXPECT_TRUE(HeapValidate(gCore.runtimeHeap, 0, nullptr)) << length;
    if (!sprite) {
      EXPECT_EQ(gScreen.sprites->dynamicHead, before) << length << ": a refused image left a record";
      return false;
    }
    EXPECT_NE(SpriteExists(sprite), 0) << length;
    DeleteSprite(sprite);
    EXPECT_EQ(gScreen.sprites->dynamicHead, before) << length;
    return true;
  }

  // Every cut through the first kilobyte, alternating between a plain and an alpha texture sprite.
  // Returns how many cuts made a sprite; the whole file must make one.
  int LoadEveryCut(const std::vector<uint8_t>& file, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_GT(file.size(), 1024u);
    EXPECT_TRUE(LoadCut(file, file.size(), 0));
    EXPECT_TRUE(LoadCut(file, file.size(), kSpriteTexture | kSpriteAlpha));
    int made = 0;
    for (size_t length = 0; length <= 1024 && !HasFailure(); ++length)
      made += LoadCut(file, length, length % 2 ? kSpriteTexture | kSpriteAlpha : 0);
    return made;
  }
};

}  // namespace

// Cut-off palette and plain BMPs are refused (their rows must all lie in the file); a cut-off RLE8
// image decodes as far as its records go.
TEST_F(HostileSprites, CutOffBmpsAreRefusedOrDecodedInsideTheirBytes) {
  auto rows = [](int width, int height, int bits, uint32_t seed) {
    return NoiseBytes(static_cast<size_t>((width * bits + 31) / 32 * 4) * height, seed);
  };
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(96, 100, 1, 0, Table(2), rows(96, 100, 1, 1)), "1-bit"), 0);
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(33, 60, 4, 0, Table(16), rows(33, 60, 4, 2)), "4-bit"), 0);
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(31, 40, 8, 0, Table(256), rows(31, 40, 8, 3)), "8-bit"), 0);
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(17, 30, 16, 0, {}, rows(17, 30, 16, 4)), "16-bit"), 0);
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(13, 30, 24, 0, {}, rows(13, 30, 24, 5)), "24-bit"), 0);
  EXPECT_EQ(LoadEveryCut(MakeBmpFile(10, 30, 32, 0, {}, rows(10, 30, 32, 6)), "32-bit"), 0);
  // A colour table cut short is fine once the pixel data starts: fewer entries, the rest black.
  EXPECT_GT(LoadEveryCut(MakeBmpFile(40, 50, 8, kBmpRle8, Table(16), Rle8Records()), "RLE8"), 0);
}

// A PNG cut before its image data is refused; one cut inside its image data still makes a sprite,
// the rows that did not arrive left as the decode buffer held them.
TEST_F(HostileSprites, CutOffPngsAreRefusedOrDecodedInsideTheirBytes) {
  EXPECT_GT(LoadEveryCut(Bytes(PngOf(20, 20, PNG_COLOR_TYPE_RGB_ALPHA, false)), "RGBA"), 0);
  EXPECT_GT(LoadEveryCut(Bytes(PngOf(40, 30, PNG_COLOR_TYPE_PALETTE, true)), "interlaced palette"), 0);
}

// Zero sizes are refused, and so are sizes past the 16-bit fields of a sprite record, past the
// pixels a sprite may hold, or past libpng's limits; none of them may take the loader down.
TEST_F(HostileSprites, ZeroAndHugeSizesAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  auto bmp = [](int32_t width, int32_t height, uint16_t bits, uint32_t compression) {
    return MakeBmpFile(width, height, bits, compression, bits <= 8 ? Table(1 << bits) : std::vector<uint32_t>{},
                       compression == kBmpRle8 ? std::vector<uint8_t>{2, 1, 0, 1} : NoiseBytes(64, 9));
  };
  const Case cases[] = {
      {"PNG width 0", PngHeaderOnly(0, 5, PNG_COLOR_TYPE_RGB)},
      {"PNG height 0", PngHeaderOnly(5, 0, PNG_COLOR_TYPE_RGB_ALPHA)},
      {"PNG width 2^31", PngHeaderOnly(0x80000000u, 1, PNG_COLOR_TYPE_RGB)},
      {"PNG width past libpng's limit", PngHeaderOnly(1000001, 1, PNG_COLOR_TYPE_RGB)},
      {"PNG width past 16 bits", PngHeaderOnly(40000, 1, PNG_COLOR_TYPE_RGB_ALPHA)},
      {"PNG height past 16 bits", PngHeaderOnly(1, 40000, PNG_COLOR_TYPE_PALETTE)},
      {"BMP width 0", bmp(0, 4, 24, 0)},
      {"BMP height 0", bmp(4, 0, 8, 0)},
      {"BMP width past 16 bits", bmp(40000, 1, 16, 0)},
      {"RLE8 BMP width past 16 bits", bmp(70000, 1, 8, kBmpRle8)},
      {"4-bit BMP 32767 by 32767, its rows not in the file", bmp(32767, 32767, 4, 0)},
      {"PNG 32767 by 32767", PngHeaderOnly(32767, 32767, PNG_COLOR_TYPE_RGB_ALPHA)},
      {"PNG one row past the pixel limit", PngHeaderOnly(4096, 4097, PNG_COLOR_TYPE_RGB)},
      {"RLE8 BMP 32767 by 32767", bmp(32767, 32767, 8, kBmpRle8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DWORD start = GetTickCount();
    EXPECT_FALSE(LoadCut(c.file, c.file.size(), 0));
    EXPECT_FALSE(LoadCut(c.file, c.file.size(), kSpriteTexture | kSpriteAlpha));
    EXPECT_LT(GetTickCount() - start, 5000u) << "a refusal should not take seconds";
  }
  // The longest sides a sprite record holds, with almost no data: refused by the display, or made
  // with the rows that arrived; either way without harm.
  for (const auto& file : {PngHeaderOnly(32767, 1, PNG_COLOR_TYPE_GRAY), bmp(1, 32767, 8, kBmpRle8)}) {
    LoadCut(file, file.size(), 0);
    LoadCut(file, file.size(), kSpriteTexture | kSpriteAlpha);
  }
}

namespace {
constexpr char kMemoryChildVariable[] = "HURZ_SPRITE_MEMORY_CHILD";

// The process's peaks so far, in bytes. The peak of its address space also sees memory that was
// committed but never touched, which the working set and (under Wine) the pagefile use do not.
struct MemoryPeaks {
  uint64_t workingSet, pagefile, addressSpace;
};

MemoryPeaks ReadMemoryPeaks() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  using QueryFn = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  VM_COUNTERS vm{};
  constexpr ULONG kProcessVmCounters = 3;
  if (query) query(GetCurrentProcess(), kProcessVmCounters, &vm, sizeof vm, nullptr);
  return MemoryPeaks{counters.PeakWorkingSetSize, counters.PeakPagefileUsage, vm.PeakVirtualSize};
}
}  // namespace

// A PNG of a few dozen bytes that claims 32767 by 32767 pixels, loaded by a fresh process with a
// windowed screen open (this program run again for the test below), is refused without raising
// any of the process's memory peaks by 64 MB: no buffer is sized for an image no sprite can be.
TEST(SpriteMemory, ImageLargerThanASpriteIsRefusedWithinSixtyFourMegabytes) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  SetEnvironmentVariableA(kMemoryChildVariable, "1");
  ProgramRun run =
      RunProgram("\"" + std::string(self) + "\" --gtest_filter=SpriteMemoryChild.* --gtest_color=no", 60000);
  SetEnvironmentVariableA(kMemoryChildVariable, nullptr);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("[  PASSED  ] 1 test."), std::string::npos) << run.output;
}

TEST(SpriteMemoryChild, LoadsTheClaimingPng) {
  if (!GetEnvironmentVariableA(kMemoryChildVariable, nullptr, 0))
    GTEST_SKIP() << "run by SpriteMemory in a fresh process";
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
  ResetImageDecoders();
  RegisterPngDecoder();
  char folder[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "big", 0, path);
  std::string png = PngClaimingSize(32767, 32767, PNG_COLOR_TYPE_RGB_ALPHA);
  std::ofstream(path, std::ios::binary) << png;
  // A first load of a small image brings the decoder and the heaps to where a program has them.
  std::string small = std::string(HURZ_TEST_PNGSUITE_DIR) + "/basn6a08.png";
  DeleteSprite(LoadSpriteFile(AnyID, small.c_str(), kSpriteTexture | kSpriteAlpha));

  MemoryPeaks before = ReadMemoryPeaks();
  EXPECT_EQ(LoadSpriteFile(AnyID, path, kSpriteTexture | kSpriteAlpha), 0);
  EXPECT_EQ(LoadSpriteFile(AnyID, path, 0), 0);
  MemoryPeaks after = ReadMemoryPeaks();
  DeleteFileA(path);
  constexpr uint64_t kBound = 64 << 20;
  printf(
      "file of %zu bytes; peaks before and after in MiB: working set %llu, %llu; pagefile %llu, %llu; "
      "address space %llu, %llu\n",
      png.size(), before.workingSet >> 20, after.workingSet >> 20, before.pagefile >> 20, after.pagefile >> 20,
      before.addressSpace >> 20, after.addressSpace >> 20);
  EXPECT_GT(after.addressSpace, 0u);
  EXPECT_LT(after.workingSet - before.workingSet, kBound);
  EXPECT_LT(after.pagefile - before.pagefile, kBound);
  EXPECT_LT(after.addressSpace - before.addressSpace, kBound);
}
