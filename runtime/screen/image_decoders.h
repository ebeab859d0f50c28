// Image decoders: a small registry of format readers that turn an image file's bytes into rows of
// pixels for the sprite library. BMP files are read apart from it (bmp_file.h).
//
// A decoder's rows come top row first: kind 1 gives 24-bit blue, green, red rows at a pitch of
// 3 * width rounded up to 4; kind 2 gives 32-bit blue, green, red, alpha rows at 4 * width. The
// caller's buffer holds pitch * (height + 1) bytes. Calling order for one image:
// FindImageDecoder, DecodedWidth and DecodedHeight, then DecodeImage, or AbandonImage when the
// caller cannot take the image. One image at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct ImageDecoder {
  // 0: not this format; 1: accepted, 24-bit rows; 2: accepted, 32-bit rows with alpha;
  // kDecodeNoMemory: memory ran out before it could tell. Given an open file at its start (name as
  // third argument) or a memory block (its size bound as third).
  int32_t (*check)(FILE* file, const uint8_t* memory, intptr_t nameOrSize);
  // Given no buffer, it releases what its Check kept and returns 0.
  int32_t (*decode)(uint8_t* buffer, int32_t pitch, int32_t flags);
  int32_t (*width)();
  int32_t (*height)();
};

constexpr int32_t kImageDecoderLimit = 100;
// What a decoder's check or decode routine returns when memory ran out (decode's other results are
// 1: decoded; 0: the data is damaged part way, and the rows not reached keep what the buffer held).
constexpr int32_t kDecodeNoMemory = -1;

void ResetImageDecoders();
void RegisterImageDecoder(const ImageDecoder* decoder);  // ignored past kImageDecoderLimit
void RegisterPngDecoder();                               // once
// With memory: nameOrSize is the block's size bound. Without: nameOrSize is a file name (a
// const char* cast to intptr_t). The accepting decoder's kind, 0 if none accepts, kDecodeNoMemory
// when memory ran out while a decoder looked at the image.
int32_t FindImageDecoder(intptr_t nameOrSize, const uint8_t* memory);
int32_t DecodedWidth();
int32_t DecodedHeight();
int32_t DecodeImage(uint8_t* buffer, int32_t pitch, int32_t flags);
// Gives up the image found without decoding it: the decoder releases what its check kept, and the
// file of file mode is closed.
void AbandonImage();
