// Scene objects and their display.
#include "app/entity.h"

#include "app/rotated_sprite.h"
#include "runtime/core/heaps.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d.h"

Entity* CreateEntity(const char* name, ObjectNumber number) {
  // The name may live in the StringTemp, so it is copied before anything else happens; the copy
  // becomes the entity's own.
  char* copy = nullptr;
  NewStringCopy(&copy, name);
  if (name && !copy) return nullptr;  // no entity without its name
  auto* entity = (Entity*)AllocBlock((int32_t)sizeof(Entity));
  if (!entity) {
    FreeString(copy);
    return nullptr;
  }
  entity->name = copy;
  entity->number = number;
  entity->colour = kEntityDefaultColour;
  entity->width = kEntityDefaultSize;
  entity->height = kEntityDefaultSize;
  entity->scaleX = 1.0f;
  entity->scaleY = 1.0f;
  entity->alpha = kEntityDefaultAlpha;
  entity->angle = kEntityUprightAngle;
  return entity;
}

void UpdateMovedFlag(Entity* entity) {
  if (!entity) return;
  if (entity->x != entity->lastX || entity->y != entity->lastY) {
    entity->lastY = entity->y;
    entity->lastX = entity->x;
    entity->moved = 1;
  } else {
    entity->moved = 0;
  }
}

int32_t GetEntityBounds(const Entity* entity, EntityBounds* bounds) {
  if (!entity || !bounds) return 0;
  *bounds = BoundsOf(*entity);
  return 1;
}

int32_t AttachSprite(Entity* entity, const char* file) {
  if (!entity || !file) return 0;
  entity->sprite = LoadSpriteFile(AnyID, file, kEntitySpriteMode);
  if (!entity->sprite) return 0;
  entity->sprite3D = Create3DSprite(AnyID, entity->sprite);
  return 1;
}

int32_t DrawEntityBox(const Entity* entity) {
  EntityBounds b;
  if (!GetEntityBounds(entity, &b)) return 0;
  SetDrawMode(kDrawOutline);
  DrawRect(b.left, b.top, b.width, b.height, entity->colour);
  return 1;
}

int32_t DisplayEntity3D(const Entity* entity) {
  EntityBounds b;
  if (!GetEntityBounds(entity, &b)) return 0;
  DrawRotated3DSprite(entity->sprite3D, b.left, b.top, b.width, b.height, entity->angle, 0, 0, entity->alpha);
  return 1;
}
