// Sprites: loading an image file (BMP read here, other formats through the decoder registry),
// making its DirectDraw surface in the screen's format or in ARGB, writing the converted pixels,
// and keeping every sprite's pixels in memory while the display may be lost.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/core/file_read_internal.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/screen/bmp_file.h"
#include "runtime/screen/image_decoders_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprite_pixels.h"
#include "runtime/screen/sprite_source.h"
#include "runtime/screen/sprites3d_internal.h"
#include "runtime/screen/sprites_internal.h"

namespace {
constexpr DWORD kCapsSystemMemoryPlain = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;

// The screen reaches this library only through its hooks. Every sprite is made here, so plugging
// them in on each load keeps them in place whatever replaced them in between.
void PlugScreenHooks() {
  gScreen.deleteSprite = DeleteSprite;
  gScreen.saveSpritePixels = SaveSpritePixels;
  gScreen.restoreSpritePixels = RestoreSpritePixels;
}

// Depth of the surface a mode makes: ARGB sprites are 32-bit on every screen.
int32_t SurfaceDepth(int32_t mode) { return (mode & kSpriteAlpha) ? 32 : gScreen.depth; }

uint8_t* AllocateSourceRows(size_t bytes) { return static_cast<uint8_t*>(RuntimeAlloc(bytes)); }

// Writes the image into the locked surface, bottom row last for BMP rows, and gives sprites
// without an alpha channel black as their source colour key.
bool WriteSurfacePixels(SpriteRecord* record, const SpriteSource& image, int32_t mode) {
  const bool alpha = (mode & kSpriteAlpha) && image.bits == 32;
  const int32_t depth = SurfaceDepth(mode);
  const int32_t format = (mode & kSpriteAlpha) ? kFormatBGR32 : gScreen.format;
  DDSURFACEDESC2& desc = gScreen.convertDesc;
  desc = DDSURFACEDESC2{};
  desc.dwSize = sizeof desc;
  if (FAILED(record->surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return false;
  const int64_t rowBytes = static_cast<int64_t>(image.width) * DestinationPixelBytes(depth);
  bool fits = desc.lPitch >= rowBytes && desc.dwHeight >= static_cast<DWORD>(image.height) &&
              desc.ddpfPixelFormat.dwRGBBitCount == static_cast<DWORD>(depth);
  if (fits) {
    auto* row = static_cast<uint8_t*>(desc.lpSurface);
    intptr_t step = desc.lPitch;
    if (image.bottomUp) {
      row += static_cast<intptr_t>(image.height - 1) * step;
      step = -step;
    }
    for (int32_t y = 0; y < image.height; ++y, row += step)
      ConvertSpriteRow(image.pixels + static_cast<size_t>(y) * image.pitch, image.bits, image.width, depth, format,
                       alpha, row);
  }
  record->surface->Unlock(nullptr);
  if (fits && !alpha) record->surface->SetColorKey(DDCKEY_SRCBLT, &gScreen.colourKey);
  // The top left pixel as the surface holds it: DisplayTransparentSprite's colour key.
  const uint8_t* top = image.pixels + (image.bottomUp ? static_cast<size_t>(image.height - 1) * image.pitch : 0);
  if (fits) record->transparentColour = SurfacePixelValue(top, image.bits, depth, format);
  return fits;
}

void ReleaseSpriteStorage(SpriteRecord* record) {
  if (record->depth == kMemorySpriteDepth) {
    RuntimeFree(record->pixels);
  } else if (record->surface) {
    Free3DSpritesOf(record->surface);
    if (gScreen.output == record->surface) SelectOutput(-1);
    record->surface->Release();
  }
  record->surface = nullptr;
  if (record->backup) RuntimeFree(record->backup);
  record->backup = nullptr;
}

// A failed load leaves no sprite behind, and no dynamic record either; the reason is set already.
intptr_t FailLoad(SpriteRecord* record, ObjectNumber number, SpriteSource* image) {
  RuntimeFree(image->buffer);
  ReleaseSpriteStorage(record);
  RegistryFree(gScreen.sprites, number == AnyID ? reinterpret_cast<ObjectNumber>(record) : number);
  return 0;
}

int SaveOne(ObjectNumber, void* entry, intptr_t) {
  auto* record = static_cast<SpriteRecord*>(entry);
  if (!record->surface || record->backup || record->depth == kMemorySpriteDepth) return 1;
  // The copy takes the sprite's own format, so that ARGB sprites keep their alpha and their
  // 32-bit rows whatever the screen's depth.
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.dwWidth = record->currentWidth;
  desc.dwHeight = record->currentHeight;
  desc.ddsCaps.dwCaps = kCapsSystemMemoryPlain;
  desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
  if (FAILED(record->surface->GetPixelFormat(&desc.ddpfPixelFormat))) desc.dwFlags &= ~DDSD_PIXELFORMAT;
  IDirectDrawSurface7* copy = nullptr;
  if (FAILED(gScreen.directDraw->CreateSurface(&desc, &copy, nullptr))) return 1;
  if (SUCCEEDED(copy->Blt(nullptr, record->surface, nullptr, DDBLT_WAIT, nullptr))) {
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    if (SUCCEEDED(copy->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) {
      size_t bytes = static_cast<size_t>(locked.lPitch) * locked.dwHeight;
      auto* block = static_cast<uint8_t*>(RuntimeAllocRaw(bytes + 4));
      if (block) {
        int32_t pitch = locked.lPitch;
        memcpy(block, &pitch, 4);
        memcpy(block + 4, locked.lpSurface, bytes);
      }
      record->backup = block;
      copy->Unlock(nullptr);
    }
  }
  copy->Release();
  return 1;
}

int RestoreOne(ObjectNumber, void* entry, intptr_t) {
  auto* record = static_cast<SpriteRecord*>(entry);
  if (!record->surface || record->depth == kMemorySpriteDepth) return 1;
  if (record->surface->IsLost() == DDERR_SURFACELOST) record->surface->Restore();
  if (!record->backup) return 1;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (FAILED(record->surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return 1;  // kept for later
  auto* saved = static_cast<uint8_t*>(record->backup);
  int32_t savedPitch;
  memcpy(&savedPitch, saved, 4);
  size_t rowBytes = static_cast<size_t>(std::max(0, std::min<int32_t>(savedPitch, desc.lPitch)));
  int32_t rows = std::min<int32_t>(record->currentHeight, static_cast<int32_t>(desc.dwHeight));
  for (int32_t i = 0; i < rows; ++i)
    memcpy(static_cast<uint8_t*>(desc.lpSurface) + static_cast<intptr_t>(i) * desc.lPitch,
           saved + 4 + static_cast<size_t>(i) * savedPitch, rowBytes);
  record->surface->Unlock(nullptr);
  RuntimeFree(record->backup);
  record->backup = nullptr;
  return 1;
}
}  // namespace

void* CreateSpriteSurface(SpriteRecord* record, int32_t width, int32_t height, int32_t bits, int32_t mode) {
  record->surface = nullptr;
  record->width = record->currentWidth = static_cast<int16_t>(width);
  record->height = record->currentHeight = static_cast<int16_t>(height);
  record->depth = static_cast<int16_t>(bits);
  record->mode = static_cast<int16_t>(mode);
  record->backup = nullptr;
  record->reserved1 = record->reserved2 = 0;
  if (mode & kSpriteMemory) {
    record->pixels = static_cast<uint8_t*>(RuntimeAlloc(static_cast<size_t>(width) * height));
    record->depth = kMemorySpriteDepth;
    return record->pixels;
  }
  if (!gScreen.directDraw || !gScreen.screenWidth) return nullptr;
  // Palette images go only on 8-bit surfaces, and 8-bit surfaces take only palette images.
  int32_t depth = SurfaceDepth(mode);
  if (bits != 0 && bits != depth && (bits < 16 || depth < 16)) return nullptr;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = mode == kSpriteSystemMemory ? kCapsSystemMemoryPlain : DDSCAPS_OFFSCREENPLAIN;
  if (mode & kSpriteTexture) desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  if (mode & kSpriteAlpha) {
    desc.dwFlags |= DDSD_PIXELFORMAT;
    DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    pf.dwRGBBitCount = 32;
    pf.dwRGBAlphaBitMask = 0xFF000000;
    pf.dwRBitMask = 0x00FF0000;
    pf.dwGBitMask = 0x0000FF00;
    pf.dwBBitMask = 0x000000FF;
  }
  if (FAILED(gScreen.directDraw->CreateSurface(&desc, &record->surface, nullptr))) record->surface = nullptr;
  return record->surface;
}

namespace {
// The reason an image gives no rows; "what" names the image ("\"bird.png\"" or "the image").
void ReportSourceFailure(SpriteSourceResult result, const uint8_t* data, size_t size, const char* what) {
  if (result == kSourceNoDecoder && !IsBmp(data, size) && RegisteredImageDecoders() == 0) {
    SetRuntimeError("sprites: %s: no image decoder is registered for formats other than BMP (RegisterPngDecoder)",
                    what);
    return;
  }
  SetRuntimeError("sprites: %s: %s", what, SpriteSourceResultText(result));
}

intptr_t LoadSpriteBytes(ObjectNumber number, const uint8_t* data, size_t size, int32_t mode, const char* what) {
  if (!SpritesStarted(what)) return 0;
  if (!data) return ReportFailure("sprites: no image given");
  PlugScreenHooks();
  auto* record = static_cast<SpriteRecord*>(RegistryAllocate(gScreen.sprites, number));
  if (!record) return ReportNumberRefused("sprites", "a sprite", number);
  SpriteSource image{};
  // A memory sprite is an 8-bit BMP's indices and nothing else; combined with other values its
  // block would be taken for a surface.
  if ((mode & kSpriteMemory) && mode != kSpriteMemory) {
    SetRuntimeError("sprites: mode %d: a memory sprite (2) takes no other mode", mode);
    return FailLoad(record, number, &image);
  }
  if (mode != kSpriteMemory && !SpriteScreenOpen(what)) return FailLoad(record, number, &image);
  // Memory sprites and 8-bit surfaces take a BMP's indices as they are.
  bool keepIndices = mode == kSpriteMemory || SurfaceDepth(mode) == 8;
  SpriteSourceResult source = ReadSpriteSource(data, size, keepIndices, AllocateSourceRows, &image);
  if (source != kSourceReady) {
    ReportSourceFailure(source, data, size, what);
    return FailLoad(record, number, &image);
  }
  if (mode != kSpriteMemory && !CanConvertRow(image.bits, SurfaceDepth(mode))) {
    SetRuntimeError("sprites: %s: a %d-bit image does not go on a %d-bit surface", what, image.bits,
                    SurfaceDepth(mode));
    return FailLoad(record, number, &image);
  }
  if (!CreateSpriteSurface(record, image.width, image.height, image.bits, mode)) {
    SetRuntimeError("sprites: %s: no memory or surface for a %d by %d sprite", what, image.width, image.height);
    return FailLoad(record, number, &image);
  }
  if (mode == kSpriteMemory) {
    CopyMemorySpriteRows(image.pixels, image.width, image.height, record->pixels);
  } else if (!WriteSurfacePixels(record, image, mode)) {
    SetRuntimeError("sprites: %s: its surface could not be written", what);
    return FailLoad(record, number, &image);
  }
  RuntimeFree(image.buffer);
  return number == AnyID ? reinterpret_cast<intptr_t>(record) : reinterpret_cast<intptr_t>(record->surface);
}

intptr_t SpriteFromImage(ObjectNumber number, const uint8_t* data, size_t size, int32_t mode) {
  ClearRuntimeError();
  return LoadSpriteBytes(number, data, size, mode, "the image");
}
}  // namespace

bool SpritesStarted(const char* what) {
  if (gScreen.sprites) return true;
  return ReportFailure("sprites: %s: the sprite library is not started (InitSprite)", what);
}

bool SpriteScreenOpen(const char* what) {
  if (gScreen.screenWidth && gScreen.output) return true;
  return ReportFailure("sprites: %s: no screen is open (OpenScreen or OpenWindowedScreen first)", what);
}

intptr_t LoadSpriteFile(ObjectNumber number, const char* file, int32_t mode) {
  ClearRuntimeError();
  if (!SpritesStarted("LoadSpriteFile")) return 0;  // before the file is read for nothing
  FileBytes bytes;
  if (!ReadWholeFile(file, "sprites", &bytes)) return 0;
  char what[MAX_PATH + 3];
  snprintf(what, sizeof what, "\"%s\"", file);
  intptr_t result = LoadSpriteBytes(number, bytes.data, bytes.size, mode, what);
  RuntimeFree(bytes.data);
  return result;
}

intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode) {
  return SpriteFromImage(number, static_cast<const uint8_t*>(data), kUnknownImageSize, mode);
}

intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode, size_t size) {
  return SpriteFromImage(number, static_cast<const uint8_t*>(data), size, mode);
}

void DeleteSprite(ObjectNumber number) {
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number));
  if (!record) return;
  ReleaseSpriteStorage(record);
  RegistryFree(gScreen.sprites, number);
}

intptr_t SpriteExists(ObjectNumber number) { return RegistryCheck(gScreen.sprites, number); }

int32_t SpriteWidth(ObjectNumber number) {
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number));
  return record ? record->width : 0;
}

int32_t SpriteHeight(ObjectNumber number) {
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number));
  return record ? record->height : 0;
}

void SaveSpritePixels() {
  if (gScreen.directDraw) RegistryForEach(gScreen.sprites, SaveOne, 0);
}

void RestoreSpritePixels() { RegistryForEach(gScreen.sprites, RestoreOne, 0); }
