// How the sprite loader reads an image through the decoder registry. Calling order for one image:
// FindImageDecoder, DecodedWidth and DecodedHeight, then DecodeImage, or AbandonImage when the
// caller cannot take the image. One image at a time.
#pragma once
#include <cstdint>

#include "runtime/screen/image_decoders.h"

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
