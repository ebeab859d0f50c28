// One frame of the demonstration: the held player follows the mouse and turns, the grid is
// brought up to date, the player's neighbours are counted, and the picture is drawn.
#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app/object_list.h"
#include "app/program.h"
#include "runtime/core/linked_list.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/input/keyboard.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites3d.h"

namespace {
constexpr uint32_t kMarkerButton1 = 0x2010C0;
constexpr uint32_t kMarkerButton2 = 0x10C020;
constexpr uint32_t kMarkerKey = 0x808080;
constexpr uint32_t kBoxAlone = 0x0000FF;     // red
constexpr uint32_t kBoxTouching = 0xFF0000;  // blue
constexpr int32_t kMarkerRadius = 32;
constexpr int32_t kCountTextY = 580;
}  // namespace

uint32_t MarkerColour(int32_t button1, int32_t button2) {
  return button1 ? kMarkerButton1 : button2 ? kMarkerButton2 : kMarkerKey;
}

float PlayerTurnStep(int32_t elapsed) {
  // A frame read as no time at all (the tick clock had not advanced) is one paced frame: the
  // player turns its usual few degrees, not 50 at once.
  if (elapsed <= 0) elapsed = kFrameMs;
  return static_cast<float>(50.0 / elapsed);
}

int32_t FrameCallback(int32_t elapsed, const int32_t* mouse, int32_t button1, int32_t button2) {
  Entity* player = gProgram.player;
  CollisionGrid* grid = gProgram.grid;

  bool held = IsKeyDown(kKeySpace) != 0 || button1 != 0 || button2 != 0;
  if (held) {
    BeginDrawing(ScreenTarget());
    SetDrawColor(MarkerColour(button1, button2));
    DrawCircle(mouse[0], mouse[1], kMarkerRadius);
    EndDrawing();
    if (player) {
      player->x = static_cast<float>(mouse[0]);
      player->y = static_cast<float>(mouse[1]);
    }
    Begin3DScene();
    DisplayEntity3D(player);
    End3DScene();
    if (player) player->angle = player->angle + PlayerTurnStep(elapsed);
  }

  UpdateMovedFlag(player);
  UpdateMovedEntities(grid);

  BeginDrawing(ScreenTarget());
  ObjectList* candidates = QueryCandidates(grid, player);
  int32_t count = ObjListCount(candidates);
  if (player) player->colour = count > 0 ? kBoxTouching : kBoxAlone;
  if (count > 0) {
    // "Cols=" and the count, built in the StringTemp from its current end.
    int32_t start = gTemp.position;
    AppendTempText("Cols=");
    // Without memory for its number the text is not shown at all.
    if (*NumberToString(count, gTemp.position)) DrawTextAt(0, kCountTextY, TempAt(start), 0xFFFFFF, 0);
    ReleaseTemp(gTemp.position - start);
  }
  if (candidates) {
    ObjListClear(candidates);
    FreeObject(candidates);
  }
  DrawEntityBox(player);
  DrawGrid(grid);
  EndDrawing();

  Begin3DScene();
  RewindList(&gProgram.birds);
  while (ListElement* element = StepList(&gProgram.birds))
    DisplayEntity3D(*static_cast<Entity**>(ElementData(element)));
  End3DScene();
  return 0;
}
