// The rows a sprite is made from, obtained from an image file's bytes as the sprite loader does:
// a BMP's own rows in place (palette images expanded to 24 bits unless the indices are kept), any
// other format through the image decoder registry. Platform-free: the caller hands in the
// allocator for the expansion or decode buffer, and owns that buffer afterwards.
#pragma once
#include <cstddef>
#include <cstdint>

struct SpriteSource {
  int32_t width;
  int32_t height;
  int32_t bits;           // 8 (indices), 16 (5-5-5), 24 or 32
  int32_t pitch;          // bytes from one source row to the next
  bool bottomUp;          // BMP rows: the file's first row is the image's bottom one
  bool decodedAlpha;      // a decoder delivered 32-bit rows with an alpha channel
  bool decodeIncomplete;  // the decoder failed part way: rows it did not reach hold what the buffer held
  const uint8_t* pixels;  // the first source row, inside the file or inside buffer
  uint8_t* buffer;        // pitch * (height + 1) bytes from the allocator, or null
};

enum SpriteSourceResult : int32_t {
  kSourceReady = 0,
  kSourceBmpUnusable,    // headers, sizes, offsets or row data that do not fit the file, or a layout not read
  kSourceBmpNotIndexed,  // indices were to be kept, but the image is no plain 8-bit BMP
  kSourceNoDecoder,      // no registered decoder accepts the bytes (or their header is damaged)
  kSourceTooLarge,       // a decoded size of 0, or one that no sprite can have (SpriteSizeFits)
  kSourceNoMemory,       // memory ran out for the row buffer or the decoder
};

// A short text for a result, for tools that report it.
const char* SpriteSourceResultText(SpriteSourceResult result);

// Reads size bytes of an image file. keepIndices asks for a plain 8-bit BMP's indices as they are
// (memory sprites, 8-bit screens), and refuses every other image; otherwise palette BMPs are
// expanded. allocate returns zeroed
// memory or null. Whatever the result, source->buffer names the block allocated, if any, and the
// caller frees it.
SpriteSourceResult ReadSpriteSource(const uint8_t* data, size_t size, bool keepIndices,
                                    uint8_t* (*allocate)(size_t bytes), SpriteSource* source);
