// The PNG reader behind the image decoder registry: libpng reading from a memory block or an open
// stdio file, delivering blue, green, red (, alpha) rows top row first.
#pragma once
#include "runtime/screen/image_decoders.h"

// The decoder's four routines, as registered by RegisterPngDecoder.
const ImageDecoder* PngDecoder();
// The blocks of memory libpng holds for the decoder: 0 whenever no image is between its Check and
// its Decode (or its abandonment).
size_t PngDecoderBlocks();
