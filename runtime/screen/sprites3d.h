// 3D sprites: texture sprites drawn as free quadrilaterals with Direct3D 7 on the back buffer,
// between Begin3DScene and End3DScene. Four pre-transformed, lit vertices make one triangle strip,
// so no matrices, lights or depth buffer are involved.
#pragma once
#include <windows.h>
// Direct3D's headers need windows.h first.
#include <d3d.h>

#include <cstdint>

#include "runtime/core/registry.h"

// Corners in triangle-strip order: 0 top left, 1 top right, 2 bottom left, 3 bottom right, as
// offsets from the point of the next display.
struct Sprite3DRecord {
  IDirectDrawSurface7* texture;  // the sprite's surface, borrowed; non-zero while the 3D sprite exists
  D3DTLVERTEX vertices[4];
  int16_t width;
  int16_t height;
  int16_t reserved3D;
  int16_t mode;  // the sprite's mode; value 8 draws through the texture's alpha channel
};

struct Sprite3DState {
  ObjectRegistry* sprites3D;  // Sprite3DRecord, 64 slots
  IDirect3D7* direct3D;       // from the screen's DirectDraw object
  GUID deviceGuid;            // the device type Begin3DScene creates
  int32_t sceneBegun;
  int32_t colourKeyState;  // the value last given to the device's colour-key render state
  int32_t
      colourKeySwitches;  // how often Draw3DSprite changed it, for checking that it changes only on a change of kind
};
extern Sprite3DState g3DSprites;

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

// Called by the sprite library before a sprite's surface is released: the 3D sprites drawn from it
// are freed, so that none can draw from a released texture.
void Free3DSpritesOf(const IDirectDrawSurface7* texture);
