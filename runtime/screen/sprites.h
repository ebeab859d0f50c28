// Sprites: images held in DirectDraw surfaces of the open screen, numbered in the screen's sprite
// registry. Mode bits: 0 plain, exactly 1 system memory, 2 memory sprite, 4 texture, 8 alpha.
// Black is the source colour key of every sprite that does not keep an alpha channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/registry.h"

struct SpriteRecord;

constexpr int32_t kSpriteSystemMemory = 1;  // only when the mode is exactly 1
constexpr int32_t kSpriteMemory = 2;        // palette indices in a heap block, no surface
constexpr int32_t kSpriteTexture = 4;       // a texture surface, usable for 3D sprites
constexpr int32_t kSpriteAlpha = 8;         // 32-bit ARGB surface; 32-bit images keep their alpha

// The size bound given to the decoders when an image's length is not known.
constexpr size_t kUnknownImageSize = 10000000;

// AnyID: the new sprite number; a given number: the surface; 0 on failure.
intptr_t LoadSpriteFile(ObjectNumber number, const char* file, int32_t mode = 0);
// An image file's bytes in memory. Without a size the image is trusted to lie within
// kUnknownImageSize bytes; with one, nothing past data + size is read.
intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode = 0);
intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode, size_t size);
void DeleteSprite(ObjectNumber number);
intptr_t SpriteExists(ObjectNumber number);  // non-zero when the number names a sprite
// The image's size in pixels; 0 for a number that names no sprite.
int32_t SpriteWidth(ObjectNumber number);
int32_t SpriteHeight(ObjectNumber number);

/// Draws a plain or system-memory sprite (loaded with mode 0 or 1) on the screen's back buffer
/// (or on the sprite SelectOutput() chose), every pixel as it is. The parts that lie off the
/// screen are cut away.
/// @param x,y where the sprite's top left pixel goes, in pixels from the back buffer's top left;
/// any values, negative ones and ones past the screen included.
/// @return 1 when drawn, also when the sprite lies wholly off the screen (nothing to draw); 0 for a
/// number that names no sprite, a sprite of another mode (texture, alpha, memory), no open screen,
/// a back buffer held by a drawing (call EndDrawing() first) or a display that was lost.
int32_t DisplaySprite(ObjectNumber number, int32_t x, int32_t y);
/// Draws a plain or system-memory sprite as DisplaySprite() does, leaving out every pixel of its
/// transparent colour: the colour of its top left pixel as loaded, unless TransparentSpriteColor()
/// set another.
/// @return as DisplaySprite().
int32_t DisplayTransparentSprite(ObjectNumber number, int32_t x, int32_t y);
/// Sets the colour that DisplayTransparentSprite() leaves out of a plain or system-memory sprite.
/// @param colour a COLORREF, 0x00BBGGRR (255 is red), as the sprite's pixels hold it on this
/// screen (a 16-bit screen keeps 5 or 6 bits of each); a palette index on an 8-bit screen.
/// @return 1, or 0 for a number that names no sprite or a sprite of another mode.
int32_t TransparentSpriteColor(ObjectNumber number, uint32_t colour);

// The common path of both loads: decodes size bytes of an image file and makes the sprite.
intptr_t SpriteFromImage(ObjectNumber number, const uint8_t* data, size_t size, int32_t mode);
// Fills the record's fields and makes its surface (or a memory sprite's block) for an image of
// width by height pixels of the given bits; null when the screen cannot hold it.
void* CreateSpriteSurface(SpriteRecord* record, int32_t width, int32_t height, int32_t bits, int32_t mode);

// Copy every sprite's pixels to memory before the display may be lost, and put them back after.
void SaveSpritePixels();
void RestoreSpritePixels();
