// Every image of the PNG test suites through the decoder, the way the sprite library calls it: each
// file in the folders decodes, or is refused cleanly when it is one of the suite's corrupt files,
// and the classic corrupt files are made here from good ones. Input and output sit against guard
// pages, and every output buffer is decoded twice over different fillings, so that bytes written
// and bytes left alone are told apart exactly.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/screen/image_decoders_internal.h"
#include "support/file_bytes.h"
#include "support/guarded_memory.h"
#include "support/png_writer.h"

namespace {

// The .png files of a folder, sorted by name.
std::vector<std::string> PngFiles(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "/*.png").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return {names.begin(), names.end()};
}

uint32_t Be32(const std::string& s, size_t at) {
  return (uint32_t)(uint8_t)s[at] << 24 | (uint32_t)(uint8_t)s[at + 1] << 16 | (uint32_t)(uint8_t)s[at + 2] << 8 |
         (uint8_t)s[at + 3];
}
std::string ToBe32(uint32_t v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; }

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (char c : bytes) {
    crc ^= (uint8_t)c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

struct Chunk {
  size_t start;  // the length field
  uint32_t length;
  std::string type;
};
std::vector<Chunk> Chunks(const std::string& png) {
  std::vector<Chunk> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = Be32(png, at);
    chunks.push_back({at, length, png.substr(at + 4, 4)});
    if (length > png.size()) break;
    at += 12 + length;
  }
  return chunks;
}

// The header as the file states it.
struct Header {
  uint32_t width, height;
  int bitDepth, colourType, interlace;
  bool transparency;  // a tRNS chunk
};
Header ReadHeader(const std::string& png) {
  Header h{Be32(png, 16), Be32(png, 20), (uint8_t)png[24], (uint8_t)png[25], (uint8_t)png[28], false};
  for (const Chunk& c : Chunks(png)) h.transparency |= c.type == "tRNS";
  return h;
}

// One decode, with the calling order of the sprite library, into a guarded buffer of pitch times
// (height + 1) bytes filled with fill.
struct Decoded {
  int32_t kind = 0, width = 0, height = 0, pitch = 0, result = 0;
  std::vector<uint8_t> buffer;
};
Decoded Decode(const std::string& bytes, uint8_t fill) {
  GuardedMemory input(bytes);
  Decoded d;
  d.kind = FindImageDecoder((intptr_t)bytes.size(), input.data());
  if (!d.kind) return d;
  d.width = DecodedWidth();
  d.height = DecodedHeight();
  d.pitch = d.kind == 2 ? 4 * d.width : 3 * d.width + (d.width & 3);
  size_t size = (size_t)d.pitch * (d.height + 1);
  GuardedMemory output(size);
  memset(output.data(), fill, size);
  d.result = DecodeImage(output.data(), d.pitch, 0);
  d.buffer.assign(output.data(), output.data() + size);
  return d;
}

class PngSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetImageDecoders();
    RegisterPngDecoder();
  }

  // A good file: its kind follows the alpha bit of the colour type, its pixel bytes are all
  // written (the same over both fillings), its row padding and the spare row are not, and grey
  // images are grey in every pixel.
  void ExpectDecodes(const std::string& name, const std::string& bytes) {
    SCOPED_TRACE(name);
    Header header = ReadHeader(bytes);
    Decoded first = Decode(bytes, 0xCD), second = Decode(bytes, 0x32);
    ASSERT_EQ(first.kind, (header.colourType & 4) ? 2 : 1);
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.width, (int32_t)header.width);
    EXPECT_EQ(first.height, (int32_t)header.height);
    ASSERT_EQ(second.buffer.size(), first.buffer.size());
    const int bytesPerPixel = first.kind == 2 ? 4 : 3, rowBytes = first.width * bytesPerPixel;
    int unwritten = 0, touchedPadding = 0, colouredGrey = 0;
    for (size_t i = 0; i < first.buffer.size(); ++i) {
      bool pixel = i / first.pitch < (size_t)first.height && (int)(i % first.pitch) < rowBytes;
      if (pixel) {
        unwritten += first.buffer[i] != second.buffer[i];
      } else {
        touchedPadding += first.buffer[i] != 0xCD || second.buffer[i] != 0x32;
      }
    }
    if ((header.colourType & 2) == 0)
      for (int32_t y = 0; y < first.height; ++y)
        for (int32_t x = 0; x < first.width; ++x) {
          const uint8_t* p = &first.buffer[(size_t)y * first.pitch + (size_t)x * bytesPerPixel];
          colouredGrey += p[0] != p[1] || p[1] != p[2];
        }
    EXPECT_EQ(unwritten, 0) << "pixel bytes left as the buffer held them";
    EXPECT_EQ(touchedPadding, 0) << "bytes written outside the rows' pixels";
    EXPECT_EQ(colouredGrey, 0) << "grey pixels whose blue, green and red differ";
  }

  // A corrupt file: refused by Check, or reported as failed by Decode.
  void ExpectRefused(const std::string& name, const std::string& bytes) {
    Decoded d = Decode(bytes, 0xCD);
    EXPECT_TRUE(d.kind == 0 || d.result == 0) << name << " was decoded";
  }
};

std::string SuiteFolder() { return HURZ_TEST_PNGSUITE_DIR; }

}  // namespace

// The suite's folder, its interlaced folder and libpng's test images of every colour type, bit
// depth and transparency: together they must cover every combination the sprite loader meets.
TEST_F(PngSuite, EveryImageDecodesToItsKindAndPitch) {
  const std::string folders[] = {SuiteFolder(), SuiteFolder() + "/interlaced", SuiteFolder() + "/../testpngs"};
  std::set<std::tuple<int, int, int, bool>> seen;  // colour type, bit depth, interlace, transparency
  int good = 0, corrupt = 0;
  for (const std::string& folder : folders) {
    for (const std::string& name : PngFiles(folder)) {
      std::string bytes = ReadFileBytes(folder + "/" + name);
      if (name[0] == 'x') {
        ExpectRefused(name, bytes);
        ++corrupt;
        continue;
      }
      ASSERT_GT(bytes.size(), 33u) << name;
      Header h = ReadHeader(bytes);
      seen.insert({h.colourType, h.bitDepth, h.interlace, h.colourType == 3 && h.transparency});
      ExpectDecodes(name, bytes);
      ++good;
    }
  }
  EXPECT_GT(good, 150) << "test images missing";
  struct {
    int colourType;
    std::vector<int> depths;
  } required[] = {{0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  for (auto& r : required)
    for (int depth : r.depths) {
      for (int interlace : {0, 1})
        EXPECT_TRUE(seen.count({r.colourType, depth, interlace, false}))
            << r.colourType << "/" << depth << "/" << interlace;
      if (r.colourType == 3) {
        EXPECT_TRUE(seen.count({3, depth, 0, true})) << "palette with transparency, " << depth;
      }
    }
  SUCCEED() << corrupt << " corrupt files in the folders";
}

// The suite's classic corrupt files, made from good ones: damaged signatures, line-end conversions,
// impossible colour types and bit depths (with their checksums put right, so that the values
// themselves are refused), a damaged header or data checksum, and no image data at all.
TEST_F(PngSuite, CorruptFilesAreRefusedCleanly) {
  const std::string grey1 = ReadFileBytes(SuiteFolder() + "/basn0g01.png");
  const std::string grey4 = ReadFileBytes(SuiteFolder() + "/basn0g04.png");
  const std::string grey8 = ReadFileBytes(SuiteFolder() + "/basn0g08.png");
  const std::string rgb8 = ReadFileBytes(SuiteFolder() + "/basn2c08.png");
  ASSERT_FALSE(grey1.empty());
  ExpectDecodes("basn0g01", grey1);

  auto withByte = [](std::string png, size_t at, char value) {
    png[at] = value;
    return png;
  };
  // A header field changed, its chunk's checksum recomputed.
  auto withHeaderByte = [](std::string png, size_t at, char value) {
    png[at] = value;
    std::string crc = ToBe32(Crc32(png.substr(12, 17)));
    return png.replace(29, 4, crc);
  };
  auto replaceAll = [](const std::string& png, char from, const std::string& to) {
    std::string out;
    for (char c : png) out += c == from ? to : std::string(1, c);
    return out;
  };
  auto withoutChunks = [](const std::string& png, const std::string& type) {
    std::string out = png.substr(0, 8);
    for (const Chunk& c : Chunks(png))
      if (c.type != type) out += png.substr(c.start, 12 + c.length);
    return out;
  };
  auto dataChecksumBroken = [](std::string png) {
    for (const Chunk& c : Chunks(png))
      if (c.type == "IDAT") png[c.start + 8 + c.length] ^= 0x55;
    return png;
  };
  ASSERT_EQ(ReadHeader(withHeaderByte(rgb8, 25, 9)).colourType, 9);
  ASSERT_EQ(Chunks(withoutChunks(grey1, "IDAT")).back().type, "IEND");

  const std::pair<const char*, std::string> corrupt[] = {
      {"xs1n0g01: signature byte 1 without its high bit", withByte(grey1, 0, 0x09)},
      {"xs2n0g01: signature byte 2 is 'Q'", withByte(grey1, 1, 'Q')},
      {"xs4n0g01: signature byte 4 in lower case", withByte(grey1, 3, 'g')},
      {"xs7n0g01: signature byte 7 a space", withByte(grey1, 6, ' ')},
      {"xcrn0g04: line feeds turned into CR LF", replaceAll(grey4, '\n', "\r\n")},
      {"xlfn0g04: carriage returns turned into CR LF", replaceAll(grey4, '\r', "\r\n")},
      {"xhdn0g08: header checksum wrong", withByte(grey8, 29, (char)(grey8[29] ^ 1))},
      {"xc1n0g08: colour type 1", withHeaderByte(grey8, 25, 1)},
      {"xc9n2c08: colour type 9", withHeaderByte(rgb8, 25, 9)},
      {"xd0n2c08: bit depth 0", withHeaderByte(rgb8, 24, 0)},
      {"xd3n2c08: bit depth 3", withHeaderByte(rgb8, 24, 3)},
      {"xd9n2c08: bit depth 99", withHeaderByte(rgb8, 24, 99)},
      {"xdtn0g01: no image data chunk", withoutChunks(grey1, "IDAT")},
      {"xcsn0g01: image data checksum wrong", dataChecksumBroken(grey1)},
      {"compression method 1", withHeaderByte(rgb8, 26, 1)},
      {"filter method 1", withHeaderByte(rgb8, 27, 1)},
      {"interlace method 2", withHeaderByte(rgb8, 28, 2)},
      {"16-bit palette", withHeaderByte(ReadFileBytes(SuiteFolder() + "/basn3p08.png"), 24, 16)},
      {"no palette chunk", withoutChunks(ReadFileBytes(SuiteFolder() + "/basn3p04.png"), "PLTE")},
      {"no end chunk, image data cut in half",
       rgb8.substr(0, Chunks(rgb8).back().start - Chunks(rgb8)[Chunks(rgb8).size() - 2].length / 2)},
  };
  for (auto& c : corrupt) ExpectRefused(c.first, c.second);
}

// libpng's collection of files that once crashed decoders, and palette indices past a short
// palette: each is decoded or refused, with no access outside its block or the output buffer.
TEST_F(PngSuite, FilesThatCrashedDecodersAreHandled) {
  const std::string folder = SuiteFolder() + "/../testpngs/crashers";
  std::vector<std::string> names = PngFiles(folder);
  EXPECT_FALSE(names.empty());
  std::vector<std::string> files;
  for (const std::string& name : names) files.push_back(ReadFileBytes(folder + "/" + name));
  // Written with a full palette, which libpng's writer insists on, then cut to its first two entries.
  PngDescription fullPalette;
  fullPalette.width = 256;
  fullPalette.colourType = PNG_COLOR_TYPE_PALETTE;
  for (int i = 0; i < 256; ++i) fullPalette.palette.push_back({(png_byte)i, (png_byte)i, (png_byte)i});
  std::string every;
  for (int i = 0; i < 256; ++i) every += (char)i;
  std::string png = WritePng(fullPalette, {every}), shortPalette = png.substr(0, 8);
  for (const Chunk& c : Chunks(png)) {
    std::string chunk = png.substr(c.start, 12 + c.length);
    if (c.type == "PLTE") {
      std::string body = "PLTE" + png.substr(c.start + 8, 6);
      chunk = ToBe32(6) + body + ToBe32(Crc32(body));
    }
    shortPalette += chunk;
  }
  files.push_back(shortPalette);
  names.push_back("indices past a palette of 2");
  ASSERT_FALSE(files.back().empty());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& name = names[i];
    Decoded d = Decode(files[i], 0xCD);
    if (d.kind) {
      EXPECT_TRUE(d.kind == 1 || d.kind == 2) << name;
    }
  }
}
