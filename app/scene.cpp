// The scene: the grid over the screen, the player in its top-left corner and 45 birds of random
// place and size. The random generator is drawn on in a fixed order (x, y, width, height per
// bird) so a seed always gives the same flock.
#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app/program.h"
#include "runtime/core/linked_list.h"
#include "runtime/core/random.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"

void BuildScene() {
  gProgram.grid = CreateGrid(kGridColumns, kGridRows, kCellSize, kCellSize, kGridName, AnyID);
  gProgram.player = CreateEntity(kPlayerName, AnyID);
  AttachSprite(gProgram.player, kSpriteFile);
  AddEntityToGrid(gProgram.grid, gProgram.player);

  for (gProgram.birdIndex = 0; gProgram.birdIndex < kBirdCount; ++gProgram.birdIndex) {
    ListElement* element = InsertElement(&gProgram.birds);

    // "miau " and the index, built in the StringTemp from its current end.
    int32_t start = gTemp.position;
    AppendTempText(kBirdNamePrefix);
    const char* number = NumberToString(gProgram.birdIndex, gTemp.position);
    // When memory runs out, a bird that would lack its list element or its number is not made.
    gProgram.currentBird = element && *number ? CreateEntity(TempAt(start), AnyID) : nullptr;
    ReleaseTemp(gTemp.position - start);

    Entity* bird = gProgram.currentBird;
    AttachSprite(bird, kSpriteFile);
    // The generator is drawn on for every bird, made or not, so that the others stand where the
    // seed puts them.
    float x = static_cast<float>(RandomUpTo(760)) + 20.0f;
    float y = static_cast<float>(RandomUpTo(560)) + 20.0f;
    int32_t width = RandomUpTo(30) + 20;
    int32_t height = RandomUpTo(30) + 20;
    if (bird) {
      bird->x = x;
      bird->y = y;
      bird->width = width;
      bird->height = height;
    }
    AddEntityToGrid(gProgram.grid, bird);
    if (element) *static_cast<Entity**>(ElementData(element)) = bird;
  }
}
