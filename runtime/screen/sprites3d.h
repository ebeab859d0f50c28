// 3D sprites: texture sprites drawn as free quadrilaterals with Direct3D 7 on the back buffer,
// between Begin3DScene and End3DScene.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

// The record's address (the new number for AnyID), 0 when the sprite is missing or no texture.
intptr_t Create3DSprite(ObjectNumber number, ObjectNumber sprite);
int32_t Begin3DScene();  // 1 when a scene was begun
void End3DScene();
// Corners clockwise from the image's top left, as offsets from the point of the next display.
void Shape3DSprite(ObjectNumber number, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                   float y4);
void Draw3DSprite(ObjectNumber number, int32_t x, int32_t y, int32_t alpha = 255);
