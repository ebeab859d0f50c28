// Turning image rows into a sprite surface's pixels: the conversion table by screen depth and
// layout, and the row copy of memory sprites. Pure byte arithmetic with no window or DirectX
// calls, so every row of the table is tested without a screen of that depth.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes of one source row. BMP rows and decoded rows are both padded to a multiple of 4 bytes:
// 24-bit rows by width AND 3, 16-bit rows by 2 when the width is odd, 8-bit rows to 4.
int32_t SourceRowPitch(int32_t width, int32_t bits);

// Bytes per destination pixel at a depth: 1, 2, 3 or 4, and 0 for a depth the table has no row for.
int32_t DestinationPixelBytes(int32_t depth);

// Whether the table has a row for this source and destination: 8 on 8; 16, 24 or 32 on 16, 24 or 32.
bool CanConvertRow(int32_t sourceBits, int32_t depth);

// Writes one row of width pixels into the destination layout of (depth, format). Source bytes are
// blue, green, red (and a fourth); 16-bit sources are 5-5-5. On a 32-bit destination the fourth
// byte is the source's alpha when keepAlpha is set and the source has 32 bits, else 0. 24- and
// 32-bit destinations take the byte order of their format (red first for the RGB formats).
// Nothing is written, and false returned, when the table has no row for the pair.
bool ConvertSpriteRow(const uint8_t* source, int32_t sourceBits, int32_t width, int32_t depth, int32_t format,
                      bool keepAlpha, uint8_t* destination);

// The value one source pixel takes on a surface of (depth, format), as ConvertSpriteRow writes it
// (no alpha), read as a little-endian number: the colour key that matches that pixel. 0 when the
// table has no row for the pair.
uint32_t SurfacePixelValue(const uint8_t* source, int32_t sourceBits, int32_t depth, int32_t format);

constexpr int32_t kSpriteSizeLimit = 32767;  // sprite records keep sizes in 16 bits
// The most pixels a sprite holds: 4096 by 4096, 64 MiB at 32 bits. Checked before any row buffer
// is sized, so that a few bytes of header cannot make a load commit gigabytes for an image that
// never becomes a sprite.
constexpr int64_t kSpritePixelLimit = int64_t{1} << 24;

// Whether an image of width by height pixels can become a sprite: each size from 1 to
// kSpriteSizeLimit, and at most kSpritePixelLimit pixels in all.
bool SpriteSizeFits(int64_t width, int64_t height);

// A memory sprite's block: width index bytes per row, top row first, from bottom-up source rows
// padded to a multiple of 4.
void CopyMemorySpriteRows(const uint8_t* bottomUpRows, int32_t width, int32_t height, uint8_t* block);
