// 3D sprites: texture sprites drawn as free quadrilaterals with Direct3D 7 on the back buffer,
// between Begin3DScene and End3DScene. Numbers and plain values only, so that code which draws 3D
// sprites needs neither windows.h nor Direct3D's headers.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

// Library start: the 3D sprite registry and Direct3D; 1 when Direct3D was obtained.
int32_t Init3DSprites();
void End3DSprites();  // frees every 3D sprite and lets Direct3D go

// The record's address (the new number for AnyID), 0 when the sprite is missing or no texture.
intptr_t Create3DSprite(ObjectNumber number, ObjectNumber sprite);
void Free3DSprite(ObjectNumber number);
intptr_t Is3DSprite(ObjectNumber number);  // non-zero when the number names a 3D sprite
int32_t Begin3DScene();                    // 1 when a scene was begun
void End3DScene();
// Corners clockwise from the image's top left, as offsets from the point of the next display.
void Shape3DSprite(ObjectNumber number, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
// Alpha: only its low 8 bits count (256 acts as 0, -1 as 255).
void Draw3DSprite(ObjectNumber number, int32_t x, int32_t y, int32_t alpha = 255);
