// Stand-ins for the image decoders while they are built elsewhere: no decoder accepts anything and
// no palette image is expanded, so only 16-, 24- and 32-bit BMP files make sprites. Weak, so the
// real definitions win as soon as they are linked in.
#include "runtime/screen/image_decoders.h"

__attribute__((weak)) void ResetImageDecoders() {}
__attribute__((weak)) void RegisterImageDecoder(const ImageDecoder*) {}
__attribute__((weak)) void RegisterPngDecoder() {}
__attribute__((weak)) int32_t FindImageDecoder(intptr_t, const uint8_t*) { return 0; }
__attribute__((weak)) int32_t DecodedWidth() { return 0; }
__attribute__((weak)) int32_t DecodedHeight() { return 0; }
__attribute__((weak)) int32_t DecodeImage(uint8_t*, int32_t, int32_t) { return 0; }
__attribute__((weak)) int32_t ExpandBmpPalette(const uint8_t*, size_t, uint8_t*, int32_t) { return 0; }
