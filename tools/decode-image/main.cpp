// decode-image FILE OUT.pam: decodes an image file the way the sprite loader does (BMP directly,
// palette images expanded to 24 bits; anything else through the image decoder registry) and writes
// what a sprite made from it holds on a 32-bit screen, top row first, as a PAM file: TUPLTYPE
// RGB_ALPHA for images decoded with an alpha channel, RGB for the others.
// Exit code 0 when written; 1, with a one-line reason on the standard error stream and no output
// file, when the loader would refuse the file or it cannot be read or written; 2 for wrong usage.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen_pixels.h"
#include "runtime/screen/sprite_pixels.h"
#include "runtime/screen/sprite_source.h"

namespace {

constexpr int32_t kScreenDepth = 32;  // what a 32-bit blue, green, red screen's sprite holds

bool ReadWholeFile(const char* name, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(name, "rb");
  if (!file) return false;
  uint8_t chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  bool ok = !ferror(file);
  fclose(file);
  return ok;
}

uint8_t* AllocateZeroed(size_t bytes) { return static_cast<uint8_t*>(calloc(bytes, 1)); }

// One row of the sprite's pixels as red, green, blue (, alpha) tuples.
void SpriteRowTuples(const SpriteSource& source, int32_t y, std::vector<uint8_t>* bgra, std::vector<uint8_t>* tuples) {
  int32_t from = source.bottomUp ? source.height - 1 - y : y;
  ConvertSpriteRow(source.pixels + static_cast<size_t>(from) * source.pitch, source.bits, source.width, kScreenDepth,
                   kFormatBGR32, source.decodedAlpha, bgra->data());
  tuples->clear();
  for (int32_t x = 0; x < source.width; ++x) {
    const uint8_t* pixel = &(*bgra)[static_cast<size_t>(x) * 4];
    tuples->insert(tuples->end(), {pixel[2], pixel[1], pixel[0]});
    if (source.decodedAlpha) tuples->push_back(pixel[3]);
  }
}

// The sprite's pixels, top row first, written whole or not at all: a file cut short by a write
// error is removed.
bool WritePam(const char* name, const SpriteSource& source) {
  FILE* file = fopen(name, "wb");
  if (!file) return false;
  fprintf(file, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", source.width, source.height,
          source.decodedAlpha ? 4 : 3, source.decodedAlpha ? "RGB_ALPHA" : "RGB");
  std::vector<uint8_t> bgra(static_cast<size_t>(source.width) * 4), tuples;
  for (int32_t y = 0; y < source.height && !ferror(file); ++y) {
    SpriteRowTuples(source, y, &bgra, &tuples);
    fwrite(tuples.data(), 1, tuples.size(), file);
  }
  bool ok = !ferror(file);
  ok = fclose(file) == 0 && ok;
  if (!ok) remove(name);
  return ok;
}

int Refuse(const char* file, const std::string& reason) {
  fprintf(stderr, "decode-image: %s: %s\n", file, reason.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: decode-image FILE OUT.pam\n");
    return 2;
  }
  std::vector<uint8_t> file;
  if (!ReadWholeFile(argv[1], &file)) return Refuse(argv[1], "cannot be read");
  ResetImageDecoders();
  RegisterPngDecoder();
  SpriteSource source;
  SpriteSourceResult result = ReadSpriteSource(file.data(), file.size(), false, AllocateZeroed, &source);
  if (result != kSourceReady) {
    free(source.buffer);
    return Refuse(argv[1], SpriteSourceResultText(result));
  }
  bool written = WritePam(argv[2], source);
  free(source.buffer);
  if (!written) return Refuse(argv[2], "cannot be written");
  printf("%s: %d x %d, %d-bit source rows%s%s\n", argv[1], source.width, source.height, source.bits,
         source.decodedAlpha ? " with alpha" : "",
         source.decodeIncomplete ? "; image data damaged part way, rows not decoded are black" : "");
  return 0;
}
