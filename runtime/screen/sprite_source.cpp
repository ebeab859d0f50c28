// Source rows of a sprite from an image file's bytes: BMP rows in place or expanded from their
// palette, other formats decoded through the registry into a buffer of height + 1 rows.
#include "runtime/screen/sprite_source.h"

#include "runtime/screen/bmp_file.h"
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/sprite_pixels.h"

namespace {

bool AllocateRows(SpriteSource* source, int32_t pitch, uint8_t* (*allocate)(size_t)) {
  source->pitch = pitch;
  source->buffer = allocate(static_cast<size_t>(pitch) * (static_cast<size_t>(source->height) + 1));
  source->pixels = source->buffer;
  return source->buffer != nullptr;
}

SpriteSourceResult ReadBmp(const uint8_t* data, size_t size, bool keepIndices, uint8_t* (*allocate)(size_t),
                           SpriteSource* source) {
  BmpInfo bmp;
  if (!ReadBmpInfo(data, size, &bmp)) return kSourceBmpUnusable;
  source->width = bmp.width;
  source->height = bmp.height;
  source->bits = bmp.bits;
  source->pitch = SourceRowPitch(bmp.width, bmp.bits);
  source->bottomUp = true;
  source->pixels = data + bmp.pixelOffset;
  if (bmp.bits > 8) return keepIndices ? kSourceBmpNotIndexed : kSourceReady;
  if (keepIndices)
    return bmp.bits == 8 && bmp.compression == kBmpRgb && BmpPixelsFit(bmp, size) ? kSourceReady : kSourceBmpNotIndexed;
  source->bits = 24;
  if (!AllocateRows(source, SourceRowPitch(bmp.width, 24), allocate)) return kSourceNoMemory;
  return ExpandBmpPalette(data, size, bmp, source->buffer, source->pitch) ? kSourceReady : kSourceBmpUnusable;
}

SpriteSourceResult DecodeOther(const uint8_t* data, size_t size, uint8_t* (*allocate)(size_t), SpriteSource* source) {
  int32_t kind = FindImageDecoder(static_cast<intptr_t>(size), data);
  if (kind == kDecodeNoMemory) return kSourceNoMemory;
  if (kind != 1 && kind != 2) return kSourceNoDecoder;
  source->width = DecodedWidth();
  source->height = DecodedHeight();
  // A refused image gives back what the decoder took to look at it.
  if (!SpriteSizeFits(source->width, source->height)) {
    AbandonImage();
    return kSourceTooLarge;
  }
  source->bits = kind == 2 ? 32 : 24;
  source->decodedAlpha = kind == 2;
  if (!AllocateRows(source, SourceRowPitch(source->width, source->bits), allocate)) {
    AbandonImage();
    return kSourceNoMemory;
  }
  int32_t decoded = DecodeImage(source->buffer, source->pitch, 0);
  if (decoded == kDecodeNoMemory) return kSourceNoMemory;
  source->decodeIncomplete = decoded == 0;
  return kSourceReady;
}

}  // namespace

const char* SpriteSourceResultText(SpriteSourceResult result) {
  switch (result) {
    case kSourceReady:
      return "ready";
    case kSourceBmpUnusable:
      return "BMP headers, sizes, offsets or pixel data do not describe an image that fits the file";
    case kSourceBmpNotIndexed:
      return "not a plain 8-bit BMP";
    case kSourceNoDecoder:
      return "no image decoder reads it (unknown format or damaged header)";
    case kSourceTooLarge:
      return "image size 0, or larger than a sprite can be (32767 pixels a side, 16777216 in all)";
    case kSourceNoMemory:
      return "not enough memory to decode it";
  }
  return "unknown failure";
}

SpriteSourceResult ReadSpriteSource(const uint8_t* data, size_t size, bool keepIndices,
                                    uint8_t* (*allocate)(size_t bytes), SpriteSource* source) {
  *source = SpriteSource{};
  if (!data) return kSourceNoDecoder;
  if (IsBmp(data, size)) return ReadBmp(data, size, keepIndices, allocate, source);
  // Decoders deliver true-colour rows, which hold no indices to keep.
  if (keepIndices) return kSourceBmpNotIndexed;
  return DecodeOther(data, size, allocate, source);
}
