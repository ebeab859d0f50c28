// Stand-ins for the image decoders while they are built elsewhere: no decoder accepts anything and
// no palette image is expanded, so only 16-, 24- and 32-bit BMP files make sprites.
#include "runtime/screen/image_decoders.h"

void ResetImageDecoders() {}
void RegisterImageDecoder(const ImageDecoder*) {}
void RegisterPngDecoder() {}
int32_t FindImageDecoder(intptr_t, const uint8_t*) { return 0; }
int32_t DecodedWidth() { return 0; }
int32_t DecodedHeight() { return 0; }
int32_t DecodeImage(uint8_t*, int32_t, int32_t) { return 0; }
int32_t ExpandBmpPalette(const uint8_t*, size_t, uint8_t*, int32_t) { return 0; }
