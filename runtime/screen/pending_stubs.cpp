// Placeholders until sprites and 3D sprites land: no sprite exists, nothing is drawn.
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d.h"

intptr_t LoadSpriteFile(ObjectNumber, const char*, int32_t) { return 0; }
intptr_t Create3DSprite(ObjectNumber, ObjectNumber) { return 0; }
int32_t Begin3DScene() { return 0; }
void End3DScene() {}
void Shape3DSprite(ObjectNumber, float, float, float, float, float, float, float, float) {}
void Draw3DSprite(ObjectNumber, int32_t, int32_t, int32_t) {}
