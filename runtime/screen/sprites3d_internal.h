// The 3D sprite library's records and state: four pre-transformed, lit vertices make one triangle
// strip per 3D sprite, so no matrices, lights or depth buffer are involved.
#pragma once
#include <windows.h>
// Direct3D's headers need windows.h first.
#include <d3d.h>

#include <cstdint>

#include "runtime/core/registry_internal.h"
#include "runtime/screen/sprites3d.h"

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

// Called by the sprite library before a sprite's surface is released: the 3D sprites drawn from it
// are freed, so that none can draw from a released texture.
void Free3DSpritesOf(const IDirectDrawSurface7* texture);
