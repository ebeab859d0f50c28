/// \file
/// 3D sprites: texture sprites drawn as free quadrilaterals with Direct3D 7 on the back buffer,
/// between Begin3DScene and End3DScene, so that they can be turned, scaled and blended. Numbers and
/// plain values only, so that code which draws 3D sprites needs neither windows.h nor Direct3D's
/// headers. Coordinates are in pixels of the screen.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

/// Start routine of the 3D sprites: their registry and Direct3D, taken from the screen's DirectDraw
/// (so after InitSprite). A repeated start keeps the 3D sprites and takes Direct3D afresh.
/// \return 1 when Direct3D was obtained, else 0.
int32_t Init3DSprites();
/// End routine of the 3D sprites: frees every 3D sprite and lets Direct3D go.
void End3DSprites();

/// Makes a 3D sprite of a texture sprite (loaded with kSpriteTexture, optionally with kSpriteAlpha),
/// shaped as the sprite's rectangle. A sprite with an alpha channel is drawn through it; others use
/// black as their colour key.
/// \param number the 3D sprite's number, or AnyID; a number in use frees that 3D sprite first.
/// \param sprite the texture sprite; the 3D sprite is freed with it.
/// \return the 3D sprite's record address (the new number for AnyID), or 0 when the sprite is
///   missing or no texture, or memory ran out.
intptr_t Create3DSprite(ObjectNumber number, ObjectNumber sprite);
/// Frees the 3D sprite (not its texture sprite); a number that names none is ignored.
void Free3DSprite(ObjectNumber number);
/// \return non-zero when the number names a 3D sprite, else 0.
intptr_t Is3DSprite(ObjectNumber number);
/// Begins a Direct3D scene on the back buffer (making the device at the first scene of a screen).
/// Draw3DSprite draws only between this and End3DScene; call it once per frame, before FlipBuffers.
/// \return 1 when a scene was begun, 0 without Direct3D, an open screen or a device.
int32_t Begin3DScene();
/// Ends the scene Begin3DScene began; nothing happens without one.
void End3DScene();
/// Gives the 3D sprite a new shape: its four corners, clockwise from the image's top left, as
/// offsets in pixels (fractions allowed) from the point it is drawn at.
void Shape3DSprite(ObjectNumber number, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
/// Draws the 3D sprite inside a scene; outside one, or for a number that names no 3D sprite,
/// nothing happens.
/// \param number the 3D sprite.
/// \param x,y where its shape's origin lands on the back buffer.
/// \param alpha its opacity, 255 opaque to 0 invisible; only the low 8 bits count (256 acts as 0,
///   -1 as 255).
void Draw3DSprite(ObjectNumber number, int32_t x, int32_t y, int32_t alpha = 255);
