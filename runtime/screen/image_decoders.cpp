// The image decoder registry: the registered decoders are asked in turn whether they read an
// image, and the one that accepts it (the current decoder) decodes it. In file mode the registry
// keeps the file open from the search to the decode.
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/png_decoder.h"

namespace {

struct DecoderRegistry {
  const ImageDecoder* table[kImageDecoderLimit];
  int32_t count;
  const ImageDecoder* current;  // the decoder whose Check accepted last
  FILE* openFile;               // file mode: the file the current decoder reads
};

DecoderRegistry registry;

void CloseOpenFile() {
  if (registry.openFile) fclose(registry.openFile);
  registry.openFile = nullptr;
}

}  // namespace

void ResetImageDecoders() {
  CloseOpenFile();
  registry.count = 0;
  registry.current = nullptr;
}

void RegisterImageDecoder(const ImageDecoder* decoder) {
  if (!decoder || registry.count >= kImageDecoderLimit) return;
  registry.table[registry.count++] = decoder;
}

void RegisterPngDecoder() {
  const ImageDecoder* png = PngDecoder();
  for (int32_t i = 0; i < registry.count; ++i) {
    if (registry.table[i] == png) return;
  }
  RegisterImageDecoder(png);
}

int32_t FindImageDecoder(intptr_t nameOrSize, const uint8_t* memory) {
  // A file left open by a search whose image was never decoded is closed now.
  CloseOpenFile();
  registry.current = nullptr;
  if (memory) {
    for (int32_t i = 0; i < registry.count; ++i) {
      int32_t kind = registry.table[i]->check(nullptr, memory, nameOrSize);
      if (kind == kDecodeNoMemory) return kind;
      if (kind) {
        registry.current = registry.table[i];
        return kind;
      }
    }
    return 0;
  }
  const char* name = (const char*)nameOrSize;
  if (!name) return 0;
  FILE* file = fopen(name, "rb");
  if (!file) return 0;
  int32_t kind = 0;
  for (int32_t i = 0; i < registry.count; ++i) {
    fseek(file, 0, SEEK_SET);
    kind = registry.table[i]->check(file, nullptr, nameOrSize);
    if (kind == kDecodeNoMemory) break;
    if (kind) {
      registry.current = registry.table[i];
      registry.openFile = file;
      return kind;
    }
  }
  fclose(file);
  return kind;
}

int32_t DecodedWidth() { return registry.current ? registry.current->width() : 0; }
int32_t DecodedHeight() { return registry.current ? registry.current->height() : 0; }

int32_t DecodeImage(uint8_t* buffer, int32_t pitch, int32_t flags) {
  int32_t result = registry.current ? registry.current->decode(buffer, pitch, flags) : 0;
  CloseOpenFile();
  return result;
}

void AbandonImage() {
  if (registry.current) registry.current->decode(nullptr, 0, 0);
  registry.current = nullptr;
  CloseOpenFile();
}
