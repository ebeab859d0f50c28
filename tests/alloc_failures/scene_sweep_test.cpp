// Allocation failures while the demo's scene is built as the program builds it, then through a
// hundred frames in which the held player follows the mouse, the grid re-places it and its
// neighbours are counted and written as the "Cols=" text. Written against the grid's and lists'
// public commands only, and the overlap test and list of the grid's blocks the grid's tests share.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app/object_list.h"
#include "runtime/core/linked_list.h"
#include "runtime/core/random_internal.h"
#include "sweep.h"
#include "tests/app/grid_model.h"

namespace {

constexpr uint32_t kSeed = 20261208;
constexpr int kFrames = 100;

std::string Describe(const Entity* e) {
  return std::string(e->name ? e->name : "(no name)") + " at " + std::to_string(e->x) + "," + std::to_string(e->y) +
         " " + std::to_string(e->width) + "x" + std::to_string(e->height);
}

// The other entities sharing a cell with the entity, as the grid records the cells.
std::set<const void*> Neighbours(const CollisionGrid* grid, const Entity* entity) {
  std::set<const void*> out;
  ListNode* entry = FindGridEntry(grid, entity);
  if (!entry) return out;
  for (ListNode* ref = ObjListFirst(static_cast<ObjectList*>(entry->extra)); ref; ref = ref->next)
    for (ListNode* o = ObjListFirst(static_cast<GridCell*>(ref->item)->occupants); o; o = o->next)
      if (o->item != entity) out.insert(o->item);
  return out;
}

// A cell by its column and row, as the lists below give them.
std::string CellName(const CollisionGrid* grid, int64_t cell) {
  return std::to_string(cell % grid->columns) + "," + std::to_string(cell / grid->columns) + " ";
}

// The cells an entity's bounds overlap, in the order a placement enters them.
std::string Overlapped(const CollisionGrid* grid, const Entity* entity) {
  EntityBounds b;
  GetEntityBounds(entity, &b);
  std::string cells;
  for (int64_t cell : grid_model::OverlappedCells(grid, b)) cells += CellName(grid, cell);
  return cells;
}

// The cells an entity occupies: all those its bounds overlap, or none after a placement that
// could not be made.
std::string Cells(const CollisionGrid* grid, const Entity* entity) {
  ListNode* entry = FindGridEntry(grid, entity);
  if (!entry) return "not in the grid";
  std::string cells;
  for (ListNode* ref = ObjListFirst(static_cast<ObjectList*>(entry->extra)); ref; ref = ref->next)
    cells += CellName(grid, static_cast<const GridCell*>(ref->item) - grid->cells);
  EXPECT_TRUE(cells.empty() || cells == Overlapped(grid, entity)) << Describe(entity) << " occupies " << cells;
  return cells;
}

class DemoScene : public Scenario {
 public:
  Results Run() override {
    Results r;
    CreateProgramLists();
    r.Answer("allocation registry", gProgram.registry.info != nullptr, "made");
    r.Answer("bird list", gProgram.birds.info != nullptr, "made");
    SeedRandom(kSeed);
    BuildScene();
    CheckStructures("scene");
    CollisionGrid* grid = gProgram.grid;
    r.Answer("grid", grid != nullptr, grid && grid->name ? grid->name : "(no name)");
    Entity* player = gProgram.player;
    r.Answer("player", player != nullptr, player ? Describe(player) : "");
    r.State("player cells", player ? Cells(grid, player) : "");
    // Each bird that was made stands where the seed puts it, whichever others are missing.
    std::map<std::string, std::string> birds;  // where each bird stands, and its cells
    RewindList(&gProgram.birds);
    while (ListElement* element = StepList(&gProgram.birds)) {
      if (const Entity* bird = *static_cast<Entity**>(ElementData(element)))
        EXPECT_TRUE(birds.emplace(Describe(bird), Cells(grid, bird)).second) << Describe(bird) << " twice";
    }
    RandomState flock = gRandom;
    SeedRandom(kSeed);
    std::set<std::string> models;
    for (int32_t i = 0; i < kBirdCount; ++i) {
      std::string name = std::string(kBirdNamePrefix) + std::to_string(i);
      Entity model{};
      model.name = name.data();
      model.x = static_cast<float>(RandomUpTo(760)) + 20.0f;
      model.y = static_cast<float>(RandomUpTo(560)) + 20.0f;
      model.width = RandomUpTo(30) + 20;
      model.height = RandomUpTo(30) + 20;
      models.insert(Describe(&model));
      auto bird = birds.find(Describe(&model));
      r.Answer(name, bird != birds.end(), "made");
      r.State(name + " cells", bird != birds.end() ? bird->second : "");
    }
    gRandom = flock;
    for (const auto& [bird, cells] : birds)
      EXPECT_EQ(models.count(bird), 1u) << bird << " is not where the seed puts it";

    for (int frame = 0; frame < kFrames; ++frame) Frame(r, frame);
    return r;
  }

  void Release() override {
    CheckStructures("release");
    FreeGrid(gProgram.grid);
    EXPECT_EQ(grid_model::RegisteredBlocks().size(), 0u) << "list blocks left once the grid is freed";
    ReleaseSpareBlocks();
    FreeEntity(gProgram.player);
    RewindList(&gProgram.birds);
    while (ListElement* element = StepList(&gProgram.birds)) FreeEntity(*static_cast<Entity**>(ElementData(element)));
    FreeLinkedList(&gProgram.birds);
    FreeLinkedList(&gProgram.registry);
    gProgram = ProgramState{};
  }

 private:
  static void FreeEntity(Entity* entity) {
    if (!entity) return;
    FreeString(entity->name);
    FreeBlock(entity);
  }

  // The grid valid and the allocation registry holding exactly the live list blocks.
  void CheckStructures(const std::string& when) {
    if (gProgram.grid) EXPECT_EQ(GridValidate(gProgram.grid), 1) << when;
    EXPECT_EQ(LinkedListValidate(&gProgram.registry), 1) << when;
    EXPECT_EQ(LinkedListValidate(&gProgram.birds), 1) << when;
    EXPECT_TRUE(grid_model::RegisteredBlocks() == grid_model::GridListBlocks(gProgram.grid))
        << when << ": the registry holds " << grid_model::RegisteredBlocks().size() << " blocks";
    EXPECT_TRUE(TempValid()) << when;
  }

  // One frame's work on the scene, as the demo's frame does it with a mouse button held.
  void Frame(Results& r, int frame) {
    std::string what = "frame " + std::to_string(frame);
    CollisionGrid* grid = gProgram.grid;
    Entity* player = gProgram.player;
    if (player) {
      player->x = static_cast<float>((frame * 53) % 780);
      player->y = static_cast<float>((frame * 31) % 580);
    }
    UpdateMovedFlag(player);
    int32_t placed = UpdateMovedEntities(grid);
    r.Answer(what + " re-placement", placed != 0, "made");
    if (placed && player && player->moved && FindGridEntry(grid, player))
      EXPECT_EQ(Cells(grid, player), Overlapped(grid, player)) << what << ": re-placement reported but not made";
    ObjectList* candidates = QueryCandidates(grid, player);
    r.Answer(what + " query", candidates != nullptr || !grid, "made");
    int32_t count = static_cast<int32_t>(ObjListCount(candidates));
    if (candidates) {
      EXPECT_EQ(ObjListValidate(candidates), 1) << what;
      std::set<const void*> found;
      for (ListNode* n = ObjListFirst(candidates); n; n = n->next) EXPECT_TRUE(found.insert(n->item).second) << what;
      EXPECT_TRUE(found == Neighbours(grid, player)) << what << ": the query names other entities than the cells hold";
    }
    r.State(what + " cells and count", (player ? Cells(grid, player) : "") + std::to_string(count));
    // The counter text; its number is the count, or the empty text when memory ran out.
    std::string text;
    if (count > 0) {
      int32_t start = gTemp.position;
      AppendTempText("Cols=");
      const char* digits = NumberToString(count, gTemp.position);
      EXPECT_TRUE(!*digits || digits == std::to_string(count)) << what << ": " << digits;
      text = gTemp.buffer ? TempAt(start) : "";
      ReleaseTemp(gTemp.position - start);
    }
    r.State(what + " text", text);
    if (candidates) ObjListFree(candidates);
    // The birds drawn in list order.
    RewindList(&gProgram.birds);
    while (StepList(&gProgram.birds)) {
    }
    if (frame % 10 == 9) CheckStructures(what);
  }
};

// A small grid in each tier, forced: forty entities added, then three rounds in which a third of
// them step, the moved ones are re-placed and every entity asks for its candidates.
class GridTiers : public Scenario {
 public:
  Results Run() override {
    Results r;
    CreateProgramLists();
    r.Answer("allocation registry", gProgram.registry.info != nullptr, "made");
    for (GridTier tier : kGridTiers) {
      std::string name = "tier " + std::to_string((int)tier);
      CollisionGrid* grid = CreateGrid(12, 9, 16, 16, "tiers", AnyID);
      r.Answer(name + " grid", grid != nullptr, "made");
      if (grid) grid->tier = tier;
      std::vector<Entity*> added;  // null where no entity could be made
      for (int32_t k = 0; k < 40; ++k) {
        Entity* e = CreateEntity("e", AnyID);
        r.Answer(name + " entity " + std::to_string(k), e != nullptr, "made");
        added.push_back(e);
        if (e) {
          entities_.push_back(e);
          e->x = (float)(k * 37 % 180);
          e->y = (float)(k * 23 % 130);
          e->width = 10 + k % 30;
          e->height = 8 + k % 20;
        }
        r.Answer(name + " add " + std::to_string(k), AddEntityToGrid(grid, e) != 0, "made");
      }
      for (int round = 0; round < 3; ++round) Round(r, name + " round " + std::to_string(round), grid, added, round);
      EXPECT_TRUE(grid_model::RegisteredBlocks() == grid_model::GridListBlocks(grid)) << name;
      FreeGrid(grid);
    }
    return r;
  }

  void Release() override {
    EXPECT_EQ(grid_model::RegisteredBlocks().size(), 0u) << "list blocks left once the grids are freed";
    ReleaseSpareBlocks();
    for (Entity* e : entities_) {
      FreeString(e->name);
      FreeBlock(e);
    }
    entities_.clear();
    FreeLinkedList(&gProgram.birds);
    FreeLinkedList(&gProgram.registry);
    gProgram = ProgramState{};
  }

 private:
  void Round(Results& r, const std::string& what, CollisionGrid* grid, const std::vector<Entity*>& added, int round) {
    for (size_t k = (size_t)round % 3; k < added.size(); k += 3) {
      if (!added[k]) continue;
      added[k]->x = (float)(((int)added[k]->x + 7) % 190);
      added[k]->y = (float)(((int)added[k]->y + 5) % 140);
      UpdateMovedFlag(added[k]);
    }
    r.Answer(what + " re-placement", UpdateMovedEntities(grid) != 0, "made");
    if (grid) EXPECT_EQ(GridValidate(grid), 1) << what;
    SCOPED_TRACE(what);
    for (size_t k = 0; k < added.size(); ++k) {
      std::string cells = Cells(grid, added[k]);
      ObjectList* candidates = QueryCandidates(grid, added[k]);
      r.Answer(what + " query " + std::to_string(k), candidates != nullptr, "made");
      r.State(what + " cells and count " + std::to_string(k), cells + std::to_string(ObjListCount(candidates)));
      if (candidates) ObjListFree(candidates);
    }
  }

  std::vector<Entity*> entities_;
};

TEST(AllocationFailures, GridsOfEveryTier) {
  GridTiers scenario;
  SweepScenario("grids of every tier", scenario);
}

TEST(AllocationFailures, DemoSceneAndAHundredFrames) {
  DemoScene scenario;
  SweepScenario("demo scene and 100 frames", scenario);
}

}  // namespace
