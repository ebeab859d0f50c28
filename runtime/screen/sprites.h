// Sprites: images held in DirectDraw surfaces of the open screen, numbered in the screen's sprite
// registry. Mode bits: 0 plain, exactly 1 system memory, 2 memory sprite, 4 texture, 8 alpha.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

// AnyID: the new sprite number; a given number: the surface; 0 on failure.
intptr_t LoadSpriteFile(ObjectNumber number, const char* file, int32_t mode = 0);
