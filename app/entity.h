// Scene objects: a floating-point position, an integer size with a scale, the moved flag that
// drives re-placement in the collision grid, an outline colour, and a sprite shown as a turning
// 3D sprite. Every procedure accepts a null entity and then does nothing (returning 0).
#pragma once
#include <cstdint>

#include "app/rounding.h"
#include "runtime/core/registry.h"

struct Entity {
  ObjectNumber number;  // given by the creator, stored only
  char* name;           // the entity's own copy (a string variable)
  int32_t width;
  int32_t height;
  float scaleX;
  float scaleY;
  float x;      // left edge in screen pixels
  float y;      // top edge
  float lastX;  // position at the last moved check that found a change
  float lastY;
  int32_t moved;          // 1 when the last UpdateMovedFlag found a change
  uint32_t colour;        // COLORREF of the outline box
  ObjectNumber sprite;    // 0 when none
  ObjectNumber sprite3D;  // 0 when none
  float angle;            // degrees; 270 shows the image upright
  int32_t alpha;          // 0 to 255, handed to Draw3DSprite
};

struct EntityBounds {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

constexpr int32_t kEntityDefaultSize = 50;
constexpr uint32_t kEntityDefaultColour = 0x0000FF;
constexpr float kEntityUprightAngle = 270.0f;
constexpr int32_t kEntityDefaultAlpha = 127;
// Sprite mode of entity images: a texture surface (4) that keeps its alpha channel (8).
constexpr int32_t kEntitySpriteMode = 12;

// A zeroed entity with its defaults and its own copy of name; null when memory ran out.
Entity* CreateEntity(const char* name, ObjectNumber number);
void UpdateMovedFlag(Entity* entity);
// The integer bounds: position and scaled size, each rounded to nearest with ties to even.
int32_t GetEntityBounds(const Entity* entity, EntityBounds* bounds);
// The same bounds of an entity, inline for the grid, which asks for them at every placement.
// A side at the usual scale of 1 is the size itself, which rounding would give back unchanged.
[[gnu::always_inline]] inline int32_t ScaledSide(int32_t size, float scale) {
  return scale == 1.0f ? size : RoundToInt((double)size * (double)scale);
}
[[gnu::always_inline]] inline EntityBounds BoundsOf(const Entity& entity) {
  return {RoundToInt(entity.x), RoundToInt(entity.y), ScaledSide(entity.width, entity.scaleX),
          ScaledSide(entity.height, entity.scaleY)};
}
// Loads the image as the entity's sprite and makes its 3D sprite; 1 when the file was loaded.
int32_t AttachSprite(Entity* entity, const char* file);
// Between BeginDrawing and EndDrawing: the bounds as an outline (sets the outline mode).
int32_t DrawEntityBox(const Entity* entity);
// Between Begin3DScene and End3DScene: the 3D sprite over the bounds, turned by the angle.
int32_t DisplayEntity3D(const Entity* entity);
