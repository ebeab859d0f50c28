// Image decoders: a small registry of format readers that turn an image file's bytes into rows of
// pixels for the sprite library. BMP files are read apart from it.
//
// A decoder's rows come top row first: kind 1 gives 24-bit blue, green, red rows at a pitch of
// 3 * width rounded up to 4; kind 2 gives 32-bit blue, green, red, alpha rows at 4 * width. The
// caller's buffer holds pitch * (height + 1) bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct ImageDecoder {
  // 0: not this format; 1: accepted, 24-bit rows; 2: accepted, 32-bit rows with alpha. Given an
  // open file at its start (name as third argument) or a memory block (its size bound as third).
  int32_t (*check)(FILE* file, const uint8_t* memory, intptr_t nameOrSize);
  int32_t (*decode)(uint8_t* buffer, int32_t pitch, int32_t flags);
  int32_t (*width)();
  int32_t (*height)();
};

constexpr int32_t kImageDecoderLimit = 100;
// What a decoder's decode routine returns when memory ran out (1: decoded; 0: the data is damaged
// part way, and the rows not reached keep what the buffer held).
constexpr int32_t kDecodeNoMemory = -1;

void ResetImageDecoders();
void RegisterImageDecoder(const ImageDecoder* decoder);  // ignored past kImageDecoderLimit
void RegisterPngDecoder();                               // once
