// Sprites: images held in DirectDraw surfaces of the open screen, numbered in the screen's sprite
// registry. Mode bits: 0 plain, exactly 1 system memory, 2 memory sprite, 4 texture, 8 alpha.
// Black is the source colour key of every sprite that does not keep an alpha channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/registry.h"

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
