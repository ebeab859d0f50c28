// Time per frame of the grid's work: re-placing moved entities, then one candidate query per
// queried entity (the list released as the frame callback does). Runs the demo's scene and
// crowded scenes of up to a thousand entities on the demo's 25 by 18 grid of 32-pixel cells.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "app/collision_grid.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/core/random.h"
#include "runtime/core/text.h"

namespace {

void StartCore() {
  UseRuntimeHeap(HeapCreate(0, 4096, 0), GetModuleHandleA(nullptr));
  InitStringTemp();
  InitObjectNodes();
  InitMemoryBlocks();
  CreateProgramLists();
}

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}

void Scatter(Entity* e) {
  e->x = (float)RandomUpTo(kScreenWidth - 40) + 20.0f;
  e->y = (float)RandomUpTo(kScreenHeight - 40) + 20.0f;
}

struct Scenario {
  const char* name;
  int entities;
  int movingEvery;  // every n-th entity moves each frame; 0: only the first (the player)
  bool queryAll;    // query every entity, not just the first
  int frames;
};

void Run(const Scenario& s) {
  SeedRandom(12345);
  CollisionGrid* grid = CreateGrid(kGridColumns, kGridRows, kCellSize, kCellSize, kGridName, AnyID);
  std::vector<Entity*> entities;
  for (int n = 0; n < s.entities; ++n) {
    Entity* e = CreateEntity("bench", AnyID);
    Scatter(e);
    e->width = RandomUpTo(30) + 20;
    e->height = RandomUpTo(30) + 20;
    AddEntityToGrid(grid, e);
    entities.push_back(e);
  }
  const intptr_t blocks = gProgram.registry.info->count;
  intptr_t found = 0;
  const double start = Seconds();
  for (int frame = 0; frame < s.frames; ++frame) {
    for (int n = 0; n < s.entities; ++n) {
      bool moves = s.movingEvery ? n % s.movingEvery == 0 : n == 0;
      if (moves) Scatter(entities[n]);
      UpdateMovedFlag(entities[n]);
    }
    UpdateMovedEntities(grid);
    for (int n = 0; n < (s.queryAll ? s.entities : 1); ++n) {
      ObjectList* candidates = QueryCandidates(grid, entities[n]);
      found += ObjListCount(candidates);
      ObjListFree(candidates);
    }
  }
  const double perFrame = (Seconds() - start) / s.frames * 1e3;
  printf("%-34s %5d entities %6lld list blocks %9.3f ms/frame %8.1f candidates/frame\n", s.name, s.entities,
         (long long)blocks, perFrame, (double)found / s.frames);
  FreeGrid(grid);
}

}  // namespace

int main() {
  StartCore();
  const Scenario scenarios[] = {
      {"demo scene, player moving", 1 + kBirdCount, 0, false, 20000},
      {"demo scene, all moving, all asked", 1 + kBirdCount, 1, true, 2000},
      {"crowded, player moving", 250, 0, false, 5000},
      {"crowded, a tenth moving, all asked", 250, 10, true, 200},
      {"crowded, all moving, all asked", 250, 1, true, 50},
      {"packed, player moving", 1000, 0, false, 1000},
      {"packed, a tenth moving, all asked", 1000, 10, true, 10},
      {"packed, all moving, all asked", 1000, 1, true, 3},
  };
  for (const Scenario& s : scenarios) Run(s);
  return 0;
}
