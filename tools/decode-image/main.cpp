// decode-image FILE [OUT.pam]: reads an image the way the sprite loader does (BMP directly, with
// palette images expanded to 24 bits; anything else through the image decoder registry from
// memory), prints what it found and optionally writes the pixels as a PAM file, top row first.
// Exit code 0 on success, 1 for an unreadable or undecodable file, 2 for wrong usage.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/screen/image_decoders.h"

namespace {

// Pixels in a uniform form for the report and the PAM writer.
struct Picture {
  std::string description;
  int32_t width = 0;
  int32_t height = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;  // top row first, 4 bytes per pixel
};

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

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

// Blue, green, red (, alpha) rows at the given pitch into RGBA, flipping bottom-up rows.
void FromBgr(const uint8_t* rows, int64_t pitch, int bytesPerPixel, bool bottomUp, Picture* picture) {
  picture->rgba.resize((size_t)picture->width * picture->height * 4);
  for (int64_t y = 0; y < picture->height; ++y) {
    const uint8_t* src = rows + (bottomUp ? picture->height - 1 - y : y) * pitch;
    uint8_t* out = &picture->rgba[(size_t)y * picture->width * 4];
    for (int64_t x = 0; x < picture->width; ++x, src += bytesPerPixel, out += 4) {
      out[0] = src[2];
      out[1] = src[1];
      out[2] = src[0];
      out[3] = picture->alpha ? src[3] : 255;
    }
  }
}

bool DecodeBmp(const std::vector<uint8_t>& file, Picture* picture, std::string* error) {
  if (file.size() < 54) return *error = "BMP headers cut short", false;
  const uint8_t* data = file.data();
  int32_t width = (int32_t)Le32(data + 18), height = (int32_t)Le32(data + 22);
  uint32_t bits = data[28] | data[29] << 8, compression = Le32(data + 30), offset = Le32(data + 10);
  if (width <= 0 || height <= 0 || width > 1 << 16 || height > 1 << 16)
    return *error = "BMP size " + std::to_string(width) + " x " + std::to_string(height) + " not supported", false;
  picture->width = width;
  picture->height = height;
  if (bits <= 8) {
    int32_t pitch = 3 * width + (width & 3);
    std::vector<uint8_t> rows((size_t)pitch * (height + 1));
    if (!ExpandBmpPalette(data, file.size(), rows.data(), pitch))
      return *error = "BMP headers, offsets or compression not usable", false;
    picture->description = "bmp, " + std::to_string(bits) + (compression == 1 ? "-bit RLE8" : "-bit palette") +
                           " expanded to 24-bit blue, green, red";
    FromBgr(rows.data(), pitch, 3, true, picture);
    return true;
  }
  if ((bits != 24 && bits != 32) || compression != 0)
    return *error = "BMP of " + std::to_string(bits) + " bits, compression " + std::to_string(compression) +
                    " not supported by this tool",
           false;
  int64_t pitch = ((int64_t)width * bits + 31) / 32 * 4;
  if (offset > file.size() || pitch * height > (int64_t)(file.size() - offset))
    return *error = "BMP pixel data does not fit the file", false;
  picture->description = "bmp, " + std::to_string(bits) + "-bit blue, green, red rows";
  FromBgr(data + offset, pitch, bits / 8, true, picture);
  return true;
}

bool DecodeWithRegistry(const std::vector<uint8_t>& file, Picture* picture, std::string* error) {
  ResetImageDecoders();
  RegisterPngDecoder();
  int32_t kind = FindImageDecoder((intptr_t)file.size(), file.data());
  if (!kind) return *error = "not an image any decoder reads (or its header is damaged)", false;
  picture->width = DecodedWidth();
  picture->height = DecodedHeight();
  picture->alpha = kind == 2;
  int32_t pitch = kind == 2 ? 4 * picture->width : 3 * picture->width + (picture->width & 3);
  std::vector<uint8_t> rows((size_t)pitch * (picture->height + 1));
  if (!DecodeImage(rows.data(), pitch, 0)) return *error = "image data damaged", false;
  picture->description = kind == 2 ? "decoder kind 2, 32-bit blue, green, red, alpha rows"
                                   : "decoder kind 1, 24-bit blue, green, red rows";
  FromBgr(rows.data(), pitch, kind == 2 ? 4 : 3, false, picture);
  return true;
}

bool WritePam(const char* name, const Picture& picture) {
  FILE* file = fopen(name, "wb");
  if (!file) return false;
  fprintf(file, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", picture.width, picture.height,
          picture.alpha ? 4 : 3, picture.alpha ? "RGB_ALPHA" : "RGB");
  for (size_t i = 0; i < picture.rgba.size(); i += 4) fwrite(&picture.rgba[i], 1, picture.alpha ? 4 : 3, file);
  bool ok = !ferror(file);
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: decode-image FILE [OUT.pam]\n");
    return 2;
  }
  std::vector<uint8_t> file;
  if (!ReadWholeFile(argv[1], &file)) {
    fprintf(stderr, "decode-image: cannot read %s\n", argv[1]);
    return 1;
  }
  Picture picture;
  std::string error;
  bool bmp = file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
  if (!(bmp ? DecodeBmp(file, &picture, &error) : DecodeWithRegistry(file, &picture, &error))) {
    fprintf(stderr, "decode-image: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  printf("%s: %s, %d x %d\n", argv[1], picture.description.c_str(), picture.width, picture.height);
  if (argc == 3 && !WritePam(argv[2], picture)) {
    fprintf(stderr, "decode-image: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
