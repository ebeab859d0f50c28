// Captures a window's client area from the X display the tests run on, as the user sees it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/unix_command.h"

// The client area as COLORREF values (0x00BBGGRR), row by row; width 0 when the capture failed.
struct ClientPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline ClientPicture CaptureClientArea(HWND window) {
  ClientPicture picture;
  const std::string shot = RunTempPath("client-shot.rgb");
  if (RunUnixCommand("import -window root -depth 8 rgb:" + shot, 20000) != 0) return picture;
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  std::vector<uint8_t> rgb(static_cast<size_t>(screenWidth) * screenHeight * 3);
  std::string path = "Z:" + shot;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return picture;
  size_t got = fread(rgb.data(), 1, rgb.size(), file);
  fclose(file);
  DeleteFileA(path.c_str());
  if (got != rgb.size()) return picture;
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  picture.width = client.right;
  picture.height = client.bottom;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      int sx = origin.x + x, sy = origin.y + y;
      uint32_t colour = 0;
      if (sx >= 0 && sy >= 0 && sx < screenWidth && sy < screenHeight) {
        const uint8_t* p = &rgb[(static_cast<size_t>(sy) * screenWidth + sx) * 3];
        colour = static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16);
      }
      picture.pixels[static_cast<size_t>(y) * picture.width + x] = colour;
    }
  return picture;
}

// Writes a picture as a binary PPM file (a Windows path), for looking at what a failing test saw.
inline bool SavePicture(const ClientPicture& picture, const std::string& path) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
  for (uint32_t colour : picture.pixels) {
    uint8_t rgb[3] = {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                      static_cast<uint8_t>(colour >> 16)};
    fwrite(rgb, 1, 3, file);
  }
  return fclose(file) == 0;
}
