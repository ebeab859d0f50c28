// Stand-ins, for the native build only, for the drawing and sprite commands that the demo's scene
// objects and collision grid call. Natively there is no screen: nothing is drawn, no image loads
// as a sprite and no 3D sprite is made, which is what the real commands report while no screen is
// open.
#include "runtime/drawing/drawing.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d.h"

void SetDrawMode(int32_t) {}
void DrawRect(int32_t, int32_t, int32_t, int32_t, uint32_t) {}

intptr_t LoadSpriteFile(ObjectNumber, const char*, int32_t) { return 0; }

intptr_t Create3DSprite(ObjectNumber, ObjectNumber) { return 0; }
void Shape3DSprite(ObjectNumber, float, float, float, float, float, float, float, float) {}
void Draw3DSprite(ObjectNumber, int32_t, int32_t, int32_t) {}
