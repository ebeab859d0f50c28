/// \file
/// Image decoders: a small registry of format readers that turn an image file's bytes into rows of
/// pixels for the sprite library. BMP files are read apart from it; PNG files need
/// RegisterPngDecoder. A program may register a reader of its own.
///
/// A decoder's rows come top row first: kind 1 gives 24-bit blue, green, red rows at a pitch of
/// 3 * width rounded up to 4; kind 2 gives 32-bit blue, green, red, alpha rows at 4 * width. The
/// caller's buffer holds pitch * (height + 1) bytes. One image is decoded at a time: check, then
/// width and height, then decode.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

/// A format reader's routines.
struct ImageDecoder {
  /// Whether this reader takes the image: 0 not this format; 1 accepted, 24-bit rows; 2 accepted,
  /// 32-bit rows with alpha; kDecodeNoMemory when memory ran out before it could tell. Given an open
  /// file at its start (its name as third argument) or a memory block (its size bound as third).
  int32_t (*check)(FILE* file, const uint8_t* memory, intptr_t nameOrSize);
  /// Decodes the accepted image into `buffer` with rows `pitch` bytes apart: 1 decoded, 0 the data
  /// is damaged part way (the rows not reached keep what the buffer held), kDecodeNoMemory. Given no
  /// buffer, it gives up the image: it releases what its check kept and returns 0.
  int32_t (*decode)(uint8_t* buffer, int32_t pitch, int32_t flags);
  int32_t (*width)();   ///< the accepted image's width in pixels
  int32_t (*height)();  ///< the accepted image's height in pixels
};

/// At most this many decoders are registered; later ones are ignored.
constexpr int32_t kImageDecoderLimit = 100;
/// What a decoder's check or decode routine returns when memory ran out.
constexpr int32_t kDecodeNoMemory = -1;

/// Start routine of the decoder registry: forgets every registered decoder (PNG included).
void ResetImageDecoders();
/// Registers a format reader, asked after those registered before; the record must outlive its
/// use. Null, and decoders past kImageDecoderLimit, are ignored.
void RegisterImageDecoder(const ImageDecoder* decoder);
/// Registers the PNG reader (libpng); registering it again does nothing. Without it, loading a PNG
/// file fails.
void RegisterPngDecoder();
