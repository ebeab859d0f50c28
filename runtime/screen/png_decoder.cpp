// The PNG decoder: Check reads the header with libpng and keeps the read structures; Decode sets
// the transformations that turn every colour type into 24-bit or 32-bit blue, green, red (, alpha)
// rows and reads them straight into the caller's buffer. Errors come back as long jumps, so no
// object with a destructor may live in a function that establishes the jump target.
#include "runtime/screen/png_decoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "runtime/core/platform.h"

namespace {

constexpr size_t kSignatureBytes = 8;

struct PngState {
  png_structp read;
  png_infop info;
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colourType;
  int32_t kind;           // what Check reported: 1 for 24-bit rows, 2 for 32-bit
  const uint8_t* cursor;  // memory mode: next byte to hand to libpng
  const uint8_t* end;     // memory mode: one past the block's last byte
  bool outOfMemory;       // libpng was refused memory since the last Check
  size_t blocks;          // blocks libpng holds
};

PngState png;

// Errors end in the long jump back to Check or Decode, as libpng's own handler does, but without
// its message on the standard error stream: the runtime reports nothing. Warnings are dropped.
[[noreturn]] void SilentError(png_structp read, png_const_charp) { png_longjmp(read, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// libpng's memory goes through the platform seam, so that running out of it can be tested like
// every other allocation; a refusal is remembered to tell it from damaged data.
png_voidp PngAllocate(png_structp, png_alloc_size_t size) {
  void* block = PlatformMemoryAlloc(size);
  if (!block) png.outOfMemory = true;
  png.blocks += block != nullptr;
  return block;
}
void PngRelease(png_structp, png_voidp block) {
  png.blocks -= block != nullptr;
  PlatformMemoryFree(block);
}

// Also forgets the caller's block, which may be freed as soon as the image is done with.
void ReleaseStructures() {
  if (png.read) png_destroy_read_struct(&png.read, png.info ? &png.info : nullptr, nullptr);
  png.read = nullptr;
  png.info = nullptr;
  png.cursor = png.end = nullptr;
}

// What Check reports when it could not finish: memory refused, or an image it does not read.
int32_t CheckFailed() {
  ReleaseStructures();
  return png.outOfMemory ? kDecodeNoMemory : 0;
}

// libpng's read callback in memory mode. A read past the block is a libpng error, which ends the
// Check or Decode through its long jump.
void PngMemoryRead(png_structp read, png_bytep destination, size_t length) {
  if (length > (size_t)(png.end - png.cursor)) png_error(read, "read past the end of the image");
  memcpy(destination, png.cursor, length);
  png.cursor += length;
}

bool SignatureMatches(FILE* file, const uint8_t* memory, intptr_t nameOrSize) {
  png_byte signature[kSignatureBytes];
  if (file) {
    if (fread(signature, 1, kSignatureBytes, file) != kSignatureBytes) return false;
  } else {
    if (!memory || nameOrSize < (intptr_t)kSignatureBytes) return false;
    memcpy(signature, memory, kSignatureBytes);
  }
  return png_sig_cmp(signature, 0, kSignatureBytes) == 0;
}

int32_t PngCheck(FILE* file, const uint8_t* memory, intptr_t nameOrSize) {
  // An image accepted earlier but never decoded gives its structures up here.
  ReleaseStructures();
  png.width = png.height = 0;
  png.outOfMemory = false;
  if (!SignatureMatches(file, memory, nameOrSize)) return 0;
  png.read = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning, nullptr, PngAllocate,
                                      PngRelease);
  if (!png.read) return CheckFailed();
  if (setjmp(png_jmpbuf(png.read))) return CheckFailed();
  if (file) {
    png_init_io(png.read, file);
    png_set_sig_bytes(png.read, kSignatureBytes);
  } else {
    png.cursor = memory;
    png.end = memory + nameOrSize;
    png_set_read_fn(png.read, nullptr, PngMemoryRead);
  }
  png.info = png_create_info_struct(png.read);
  if (!png.info) return CheckFailed();
  png_read_info(png.read, png.info);
  int interlace, compression, filter;
  png_get_IHDR(png.read, png.info, &png.width, &png.height, &png.bitDepth, &png.colourType, &interlace, &compression,
               &filter);
  png.kind = (png.colourType & PNG_COLOR_MASK_ALPHA) ? 2 : 1;
  return png.kind;
}

// Every colour type ends up as 8-bit blue, green, red, plus alpha exactly when the file has an
// alpha channel. Transparency chunks are dropped, also for grey, so rows never outgrow the
// 24-bit pitch that Check promised.
void SetTransformations() {
  switch (png.colourType) {
    case PNG_COLOR_TYPE_PALETTE:
      png_set_palette_to_rgb(png.read);
      png_set_strip_alpha(png.read);
      break;
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      if (png.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png.read);
      if (png.colourType == PNG_COLOR_TYPE_GRAY) png_set_strip_alpha(png.read);
      png_set_gray_to_rgb(png.read);
      break;
    default:
      break;
  }
  if (png.bitDepth == 16) png_set_strip_16(png.read);
  png_set_bgr(png.read);
}

int32_t PngDecode(uint8_t* buffer, int32_t pitch, int32_t flags) {
  if (!buffer) ReleaseStructures();  // the image is abandoned
  if (!png.read || !png.info || !buffer) return 0;
  if (setjmp(png_jmpbuf(png.read))) {
    ReleaseStructures();
    return png.outOfMemory ? kDecodeNoMemory : 0;
  }
  SetTransformations();
  int passes = png_set_interlace_handling(png.read);
  png_read_update_info(png.read, png.info);
  // The rows as transformed must be the ones Check announced, and fit the caller's pitch.
  size_t channels = png_get_channels(png.read, png.info);
  if (channels != (png.kind == 2 ? 4u : 3u) || png_get_bit_depth(png.read, png.info) != 8 ||
      png_get_rowbytes(png.read, png.info) > (size_t)(pitch < 0 ? 0 : pitch)) {
    ReleaseStructures();
    return 0;
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < png.height; ++y) {
      png_bytep row = buffer + (size_t)y * (size_t)pitch;
      png_read_rows(png.read, &row, nullptr, 1);
    }
  }
  ReleaseStructures();
  return 1;
}

int32_t PngWidth() { return (int32_t)png.width; }
int32_t PngHeight() { return (int32_t)png.height; }

const ImageDecoder kPngDecoder = {PngCheck, PngDecode, PngWidth, PngHeight};

}  // namespace

const ImageDecoder* PngDecoder() { return &kPngDecoder; }

size_t PngDecoderBlocks() { return png.blocks; }
