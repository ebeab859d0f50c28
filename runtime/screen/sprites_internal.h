// Steps of the sprite library that the screen's other files call: making a sprite from an image's
// bytes, making a record's surface, and keeping the sprites' pixels across a loss of the display.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"

// True when the sprite library is started, or when a screen is open; otherwise false, with the
// reason set for `what` (a command's name or the image's).
bool SpritesStarted(const char* what);
bool SpriteScreenOpen(const char* what);
// Fills the record's fields and makes its surface (or a memory sprite's block) for an image of
// width by height pixels of the given bits; null when the screen cannot hold it.
void* CreateSpriteSurface(SpriteRecord* record, int32_t width, int32_t height, int32_t bits, int32_t mode);

// Copy every sprite's pixels to memory before the display may be lost, and put them back after.
void SaveSpritePixels();
void RestoreSpritePixels();
