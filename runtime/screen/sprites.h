/// \file
/// Sprites: images held in DirectDraw surfaces of the open screen, numbered in the screen's sprite
/// registry. Sprites belong to the screen: opening or closing a screen frees them all, so load
/// them after OpenScreen or OpenWindowedScreen. Images are BMP files of every depth and
/// compression, and PNG files of every colour type once RegisterPngDecoder was called; an image is
/// at most 32767 pixels a side and 16,777,216 pixels in all.
///
/// A sprite's mode: 0 a plain surface in the screen's format, kSpriteSystemMemory alone a plain
/// surface in system memory, kSpriteMemory the palette indices of an 8-bit BMP in memory (no
/// surface), kSpriteTexture a texture (for 3D sprites), with kSpriteAlpha added a 32-bit ARGB
/// surface whose 32-bit images keep their alpha. Black is the source colour key of every sprite
/// that does not keep an alpha channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/registry.h"

constexpr int32_t kSpriteSystemMemory = 1;  ///< mode: a plain surface in system memory (only as the whole mode)
constexpr int32_t kSpriteMemory = 2;        ///< mode: an 8-bit BMP's palette indices in memory, no surface
constexpr int32_t kSpriteTexture = 4;       ///< mode: a texture surface, usable for 3D sprites
constexpr int32_t kSpriteAlpha = 8;         ///< mode: a 32-bit ARGB surface; 32-bit images keep their alpha

/// The size bound given to the decoders when an image's length is not known.
constexpr size_t kUnknownImageSize = 10000000;

/// Loads an image file (read whole) into a sprite.
/// \param number the sprite's number, or AnyID; a number in use frees that sprite first.
/// \param file the file's path.
/// \param mode the sprite's mode (see above).
/// \return for AnyID the new sprite number, otherwise the sprite's surface (its palette indices
///   for a memory sprite); 0 when the file is missing or unreadable, the image is refused, too large
///   or of a depth the screen cannot take, no screen is open, or memory ran out. A failed load
///   leaves no sprite under the number.
intptr_t LoadSpriteFile(ObjectNumber number, const char* file, int32_t mode = 0);
/// Loads an image file's bytes from memory into a sprite, trusting the image to lie within
/// kUnknownImageSize bytes; otherwise as LoadSpriteFile.
intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode = 0);
/// Loads an image file's `size` bytes from memory into a sprite, reading nothing past data + size;
/// otherwise as LoadSpriteFile.
intptr_t LoadSpriteMemory(ObjectNumber number, const void* data, int32_t mode, size_t size);
/// Frees the sprite, and the 3D sprites drawn from it; a number that names no sprite is ignored.
void DeleteSprite(ObjectNumber number);
/// \return non-zero when the number names a sprite, else 0.
intptr_t SpriteExists(ObjectNumber number);
/// \return the sprite's image width in pixels; 0 for a number that names no sprite.
int32_t SpriteWidth(ObjectNumber number);
/// \return the sprite's image height in pixels; 0 for a number that names no sprite.
int32_t SpriteHeight(ObjectNumber number);
