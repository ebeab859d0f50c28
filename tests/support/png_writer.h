// Builds PNG files in memory with libpng's writer, so that tests know every pixel they decode.
#pragma once
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

struct PngDescription {
  int width = 1;
  int height = 1;
  int bitDepth = 8;
  int colourType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<png_color> palette;     // colour type 3
  std::vector<uint8_t> paletteAlpha;  // a tRNS chunk for colour type 3, when not empty
  int greyKey = -1;                   // a tRNS chunk for colour type 0, when 0 or more
};

namespace png_writer_detail {
inline void Append(png_structp write, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(write))->append(reinterpret_cast<char*>(data), length);
}
inline void Flush(png_structp) {}
}  // namespace png_writer_detail

// rows[y] holds row y packed as the PNG stores it (16-bit samples big-endian). Empty on error.
inline std::string WritePng(const PngDescription& d, std::vector<std::string> rows) {
  std::string out;
  png_structp write = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = write ? png_create_info_struct(write) : nullptr;
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(reinterpret_cast<png_bytep>(row.data()));
  if (!info || setjmp(png_jmpbuf(write))) {
    png_destroy_write_struct(&write, &info);
    return {};
  }
  png_set_write_fn(write, &out, png_writer_detail::Append, png_writer_detail::Flush);
  png_set_IHDR(write, info, d.width, d.height, d.bitDepth, d.colourType,
               d.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!d.palette.empty()) png_set_PLTE(write, info, d.palette.data(), (int)d.palette.size());
  if (!d.paletteAlpha.empty()) {
    png_set_tRNS(write, info, d.paletteAlpha.data(), (int)d.paletteAlpha.size(), nullptr);
  } else if (d.greyKey >= 0) {
    png_color_16 key{};
    key.gray = (png_uint_16)d.greyKey;
    png_set_tRNS(write, info, nullptr, 0, &key);
  }
  png_set_rows(write, info, pointers.data());
  png_write_png(write, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&write, &info);
  return out;
}

// A PNG of a few dozen bytes whose header claims width by height pixels (with a valid checksum),
// followed by the image data of a 2 by 2 picture of that colour type.
inline std::string PngClaimingSize(uint32_t width, uint32_t height, int colourType) {
  PngDescription d;
  d.width = d.height = 2;
  d.colourType = colourType;
  if (colourType == PNG_COLOR_TYPE_PALETTE) d.palette = {{0, 0, 0}, {255, 255, 255}};
  int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                 : colourType == PNG_COLOR_TYPE_RGB     ? 3
                 : colourType == PNG_COLOR_TYPE_GA      ? 2
                                                        : 1;
  std::string png = WritePng(d, std::vector<std::string>(2, std::string(2 * channels, '\1')));
  if (png.size() < 33) return {};
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  uint32_t crc = 0xFFFFFFFF;  // over the header chunk's type and data
  for (size_t i = 12; i < 29; ++i) {
    crc ^= static_cast<uint8_t>(png[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  put(29, ~crc);
  return png;
}
