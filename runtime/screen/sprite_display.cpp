// Drawing plain and system-memory sprites on the screen's output with the blitter: whole, or
// leaving out their transparent colour, cut to the output's edges.
#include <cstdio>

#include "runtime/core/runtime_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprite_clip.h"
#include "runtime/screen/sprite_pixels.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites_internal.h"

namespace {
constexpr int32_t kNotDisplayable = kSpriteMemory | kSpriteTexture | kSpriteAlpha;

// A sprite the blitter can draw on the screen, or null with the reason set.
SpriteRecord* DisplayableSprite(ObjectNumber number, const char* command) {
  if (!SpritesStarted(command)) return nullptr;
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number));
  if (!record) {
    ReportFailure("sprites: %s: no sprite numbered %lld", command, static_cast<long long>(number));
    return nullptr;
  }
  if (record->depth == kMemorySpriteDepth || (record->mode & kNotDisplayable)) {
    ReportFailure("sprites: %s: sprite %lld was loaded with mode %d; only modes 0 and 1 are drawn in 2D", command,
                  static_cast<long long>(number), record->mode);
    return nullptr;
  }
  return record;
}

int32_t Blit(ObjectNumber number, int32_t x, int32_t y, bool transparent, const char* command) {
  ClearRuntimeError();
  SpriteRecord* record = DisplayableSprite(number, command);
  if (!record) return 0;
  if (!SpriteScreenOpen(command)) return 0;
  if (gScreen.output == record->surface)
    return ReportFailure("sprites: %s: sprite %lld is the output it would be drawn on", command,
                         static_cast<long long>(number));
  // While a drawing holds the back buffer's device context, the surface takes no blit.
  if (gScreen.output == gScreen.backBuffer && gScreen.outputState != 0)
    return ReportFailure("sprites: %s: a drawing holds the back buffer (call EndDrawing first)", command);
  ClippedBlit clip;
  if (!ClipSpriteToTarget(x, y, record->width, record->height, gScreen.width, gScreen.height, &clip)) return 1;
  RECT source{clip.sourceX, clip.sourceY, clip.sourceX + clip.width, clip.sourceY + clip.height};
  RECT target{clip.targetX, clip.targetY, clip.targetX + clip.width, clip.targetY + clip.height};
  DDBLTFX effects{};
  effects.dwSize = sizeof effects;
  DWORD flags = DDBLT_WAIT;
  if (transparent) {
    // The key goes with this blit alone: the surface keeps black, the key of its other uses.
    flags |= DDBLT_KEYSRCOVERRIDE;
    effects.ddckSrcColorkey = DDCOLORKEY{record->transparentColour, record->transparentColour};
  }
  HRESULT result = gScreen.output->Blt(&target, record->surface, &source, flags, &effects);
  if (result == DDERR_SURFACELOST)
    return ReportFailure("sprites: %s: the display was lost (the next FlipBuffers brings it back)", command);
  if (FAILED(result))
    return ReportFailure("sprites: %s: DirectDraw refused to draw it (0x%08lX)", command, ResultCode(result));
  return 1;
}
}  // namespace

int32_t DisplaySprite(ObjectNumber number, int32_t x, int32_t y) { return Blit(number, x, y, false, "DisplaySprite"); }

int32_t DisplayTransparentSprite(ObjectNumber number, int32_t x, int32_t y) {
  return Blit(number, x, y, true, "DisplayTransparentSprite");
}

int32_t TransparentSpriteColor(ObjectNumber number, uint32_t colour) {
  ClearRuntimeError();
  SpriteRecord* record = DisplayableSprite(number, "TransparentSpriteColor");
  if (!record) return 0;
  if (gScreen.depth == 8) {
    record->transparentColour = colour & 0xFF;
    return 1;
  }
  // The colour as a 24-bit source pixel (blue, green, red), converted as the sprite's pixels were.
  const uint8_t pixel[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
  record->transparentColour = SurfacePixelValue(pixel, 24, gScreen.depth, gScreen.format);
  return 1;
}
