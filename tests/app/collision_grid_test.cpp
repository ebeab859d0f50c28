// Collision grid: placement at edges and corners, re-placement of moved entities, the candidate
// query, entities added twice, running out of memory, a randomised check against a direct
// overlap test, and random sequences checked step by step against the plain reference model.
#include "app/collision_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "app_setup.h"
#include "grid_model.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"

namespace {

using Cell = std::pair<int, int>;  // column, row
using Cells = std::vector<Cell>;

Cell CellOf(const CollisionGrid* grid, const void* item) {
  auto index = (int)((const GridCell*)item - grid->cells);
  return {index % grid->columns, index / grid->columns};
}

// The cells of the entity's first entry, in the order they were entered.
Cells CellsOf(const CollisionGrid* grid, const Entity* e) {
  Cells out;
  ListNode* entry = FindGridEntry(grid, e);
  if (!entry) return out;
  for (ListNode* ref = ObjListFirst((ObjectList*)entry->extra); ref; ref = ref->next) {
    out.push_back(CellOf(grid, ref->item));
  }
  return out;
}

std::vector<const void*> Items(const ObjectList* list) {
  std::vector<const void*> out;
  for (ListNode* n = ObjListFirst(list); n; n = n->next) out.push_back(n->item);
  return out;
}

class CollisionGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureAppStarted();
    grid = CreateGrid(25, 18, 32, 32, "mygrid", AnyID);
    ASSERT_NE(grid, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(GridValidate(grid), 1);
    FreeGrid(grid);
  }
  // An entity whose bounds are exactly the given box.
  Entity* At(float x, float y, int32_t w, int32_t h) { return grid_model::MakeBox(x, y, w, h); }
  Entity* Added(float x, float y, int32_t w, int32_t h) {
    Entity* e = At(x, y, w, h);
    AddEntityToGrid(grid, e);
    return e;
  }
  std::vector<const void*> Query(const Entity* e) {
    ObjectList* result = QueryCandidates(grid, e);
    EXPECT_NE(result, nullptr);
    std::vector<const void*> items = Items(result);
    EXPECT_EQ((size_t)ObjListCount(result), items.size());
    ObjListFree(result);
    return items;
  }
  intptr_t Occupants(int column, int row) { return ObjListCount(GridCellAt(grid, column, row)->occupants); }
  CollisionGrid* grid = nullptr;
};

TEST_F(CollisionGridTest, CellsCoverTheGridRowAfterRow) {
  EXPECT_STREQ(grid->name, "mygrid");
  EXPECT_EQ(grid->number, AnyID);
  EXPECT_EQ(ObjListCount(grid->entities), 0);
  GridCell* cell = GridCellAt(grid, 3, 2);
  EXPECT_EQ(cell, &grid->cells[2 * 25 + 3]);
  EXPECT_EQ(cell->x, 96);
  EXPECT_EQ(cell->y, 64);
  EXPECT_EQ(cell->width, 32);
  EXPECT_EQ(cell->height, 32);
  EXPECT_EQ(cell->occupants->size, kFullNodeSize);
  EXPECT_EQ(GridCellAt(grid, 24, 17)->x, 768);
  EXPECT_EQ(GridCellAt(grid, 25, 0), nullptr);
  EXPECT_EQ(GridCellAt(grid, 0, -1), nullptr);
}

TEST_F(CollisionGridTest, UnusableDimensionsAreRefused) {
  EXPECT_EQ(CreateGrid(0, 18, 32, 32, "g", AnyID), nullptr);
  EXPECT_EQ(CreateGrid(25, -1, 32, 32, "g", AnyID), nullptr);
  EXPECT_EQ(CreateGrid(25, 18, 0, 32, "g", AnyID), nullptr);
  EXPECT_EQ(CreateGrid(25, 18, 32, -32, "g", AnyID), nullptr);
  EXPECT_EQ(CreateGrid(INT32_MAX, INT32_MAX, 1, 1, "g", AnyID), nullptr);
  EXPECT_EQ(CreateGrid(2, 2, INT32_MAX, 1, "g", AnyID), nullptr);
}

TEST_F(CollisionGridTest, PlacementCoversCellsOverlappedWithPositiveArea) {
  EXPECT_EQ(CellsOf(grid, Added(32, 32, 32, 32)), (Cells{{1, 1}}));
  EXPECT_EQ(CellsOf(grid, Added(32, 32, 33, 32)), (Cells{{1, 1}, {2, 1}}));
  EXPECT_EQ(CellsOf(grid, Added(0, 0, 50, 50)), (Cells{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
  EXPECT_EQ(CellsOf(grid, Added(-10, -10, 20, 20)), (Cells{{0, 0}}));
  EXPECT_EQ(CellsOf(grid, Added(790, 570, 50, 50)), (Cells{{24, 17}}));
  EXPECT_EQ(CellsOf(grid, Added(-60, -60, 30, 30)), Cells{}) << "wholly outside";
  EXPECT_EQ(CellsOf(grid, Added(800, 100, 30, 30)), Cells{}) << "touching the right edge only";
  EXPECT_EQ(CellsOf(grid, Added(31, 0, 2, 1)), (Cells{{0, 0}, {1, 0}}));
  // The player's start cell (0, 0) is held by the three boxes that reach it.
  EXPECT_EQ(Occupants(0, 0), 3);
  EXPECT_EQ(Occupants(1, 1), 3);
}

TEST_F(CollisionGridTest, ExtremeBoundsAreHarmless) {
  Entity* huge = Added(-1e12f, -1e12f, INT32_MAX, INT32_MAX);
  huge->scaleX = huge->scaleY = 1e9f;
  PlaceEntity(grid, huge);
  Entity* far = Added(1e12f, 1e12f, 50, 50);
  EXPECT_EQ(CellsOf(grid, far), Cells{});
}

TEST(CollisionGridEdges, BoundsAtTheLowestIntegerOnOnePixelCells) {
  EnsureAppStarted();
  CollisionGrid* grid = CreateGrid(4, 4, 1, 1, "g", AnyID);
  ASSERT_NE(grid, nullptr);
  Entity* e = CreateEntity("e", AnyID);
  e->x = e->y = -2147483648.0f;
  e->width = e->height = INT32_MAX;
  AddEntityToGrid(grid, e);  // the candidate range starts one cell before the lowest integer
  EXPECT_EQ(ObjListCount((ObjectList*)FindGridEntry(grid, e)->extra), 0);
  e->x = 1.0f;
  e->width = 2;
  PlaceEntity(grid, e);
  EXPECT_EQ(ObjListCount((ObjectList*)FindGridEntry(grid, e)->extra), 0) << "the lowest top alone";
  e->y = 0.0f;
  e->height = 3;
  PlaceEntity(grid, e);
  EXPECT_EQ(ObjListCount((ObjectList*)FindGridEntry(grid, e)->extra), 6);
  EXPECT_EQ(GridValidate(grid), 1);
  FreeGrid(grid);
  FreeString(e->name);
  FreeBlock(e);
}

TEST_F(CollisionGridTest, BoundsWithoutAreaOccupyNoCell) {
  Entity* other = Added(96, 96, 32, 32);
  EXPECT_EQ(CellsOf(grid, Added(100, 100, -50, -50)), Cells{});
  EXPECT_EQ(CellsOf(grid, Added(100, 100, 0, 20)), Cells{}) << "inside cell (3, 3), no width";
  EXPECT_EQ(CellsOf(grid, Added(100, 100, 20, -1)), Cells{});
  Entity* shrunk = Added(100, 100, 20, 20);
  shrunk->scaleX = 0.0f;
  PlaceEntity(grid, shrunk);
  EXPECT_EQ(CellsOf(grid, shrunk), Cells{}) << "the old cells are left as well";
  EXPECT_EQ(Query(other), std::vector<const void*>{});
}

TEST_F(CollisionGridTest, MovingEmptiesTheOldCells) {
  Entity* e = Added(0, 0, 50, 50);
  Entity* other = Added(40, 40, 10, 10);
  intptr_t registered = gProgram.registry.info->count;
  e->x = 300;
  e->y = 200;
  UpdateMovedFlag(e);
  UpdateMovedEntities(grid);
  EXPECT_EQ(CellsOf(grid, e), (Cells{{9, 6}, {9, 7}, {10, 6}, {10, 7}}));
  EXPECT_EQ(Occupants(0, 0), 0);
  EXPECT_EQ(Occupants(1, 0), 0);
  EXPECT_EQ(Occupants(0, 1), 0);
  EXPECT_EQ(Occupants(1, 1), 1) << "the other entity stays";
  EXPECT_EQ(Occupants(9, 6), 1);
  EXPECT_EQ(Query(e), std::vector<const void*>{});
  EXPECT_EQ(Query(other), std::vector<const void*>{});
  // Same number of cells before and after: every freed node left the allocation registry.
  EXPECT_EQ(gProgram.registry.info->count, registered);
}

TEST_F(CollisionGridTest, OnlyMovedEntitiesAreReplaced) {
  Entity* still = Added(0, 0, 20, 20);
  still->x = 490;  // changed but not checked: its moved flag stays 0
  UpdateMovedEntities(grid);
  EXPECT_EQ(CellsOf(grid, still), (Cells{{0, 0}}));
  UpdateMovedFlag(still);
  UpdateMovedEntities(grid);
  EXPECT_EQ(CellsOf(grid, still), (Cells{{15, 0}}));
}

// Moved entities are placed in batches of the entity list: however many there are, and whichever
// of them moved, every moved one is placed, the last ones too.
TEST_F(CollisionGridTest, EveryMovedEntityIsPlacedWhateverTheirNumber) {
  std::vector<Entity*> all;
  for (int count : {1, 15, 16, 17, 47, 48, 49, 64, 65, 80, 130}) {
    while ((int)all.size() < count) all.push_back(Added((float)(all.size() % 25) * 32, 0, 20, 20));
    for (size_t k = 0; k < all.size(); ++k) {
      all[k]->y = (float)(count % 17 * 32);
      if (k % 3 != 2 || k + 1 == all.size()) UpdateMovedFlag(all[k]);  // the last one always moves
    }
    UpdateMovedEntities(grid);
    for (size_t k = 0; k < all.size(); ++k) {
      if (all[k]->moved) {
        EXPECT_EQ(CellsOf(grid, all[k]), (Cells{{(int)(k % 25), count % 17}})) << count << " " << k;
      }
      UpdateMovedFlag(all[k]);
    }
  }
}

TEST_F(CollisionGridTest, QueryReturnsDistinctOthersInOrderOfDiscovery) {
  Entity* player = Added(0, 0, 50, 50);  // (0,0) (0,1) (1,0) (1,1)
  Entity* wide = Added(10, 40, 40, 10);  // (0,1) (1,1): two shared cells
  Entity* late = Added(33, 1, 5, 5);     // (1,0)
  Entity* first = Added(1, 1, 5, 5);     // (0,0)
  Added(200, 200, 5, 5);                 // shares nothing
  // Cells in entry order (0,0), (0,1), (1,0), (1,1); occupants in order of arrival.
  EXPECT_EQ(Query(player), (std::vector<const void*>{first, wide, late}));
  EXPECT_EQ(Query(wide), (std::vector<const void*>{player}));
  Entity* stranger = At(0, 0, 50, 50);
  EXPECT_EQ(Query(stranger), std::vector<const void*>{}) << "never added";
  EXPECT_EQ(QueryCandidates(nullptr, player), nullptr);
  PlaceEntity(grid, stranger);
  EXPECT_EQ(Occupants(0, 0), 2) << "placing an unregistered entity does nothing";
}

// A cell's occupants are counted in a byte that stops at 255: past that, and on the way back down
// through it, a query and a placement still see every occupant.
TEST_F(CollisionGridTest, ACellOfMoreThanAByteOfOccupantsIsQueriedWhole) {
  std::vector<Entity*> pile;
  for (int k = 0; k < 258; ++k) pile.push_back(Added(2, 2, 4, 4));  // all in cell (0,0)
  Entity* neighbour = Added(40, 2, 4, 4);                           // (1,0) alone
  EXPECT_EQ(Query(neighbour), std::vector<const void*>{});
  for (size_t left = pile.size(); left >= 1; --left) {
    Entity* last = pile[left - 1];
    if (left >= 254 || left <= 2) {
      ASSERT_EQ(Query(last).size(), left - 1) << left << " in the cell";
      ASSERT_EQ(GridValidate(grid), 1) << left << " in the cell";
    }
    last->x = 40;  // into the neighbour's cell, where the crowd grows by one
    PlaceEntity(grid, last);
    ASSERT_EQ(Query(neighbour).size(), pile.size() - left + 1);
  }
  EXPECT_EQ(Occupants(0, 0), 0);
  pile[0]->x = 2;  // back alone into the emptied cell
  PlaceEntity(grid, pile[0]);
  EXPECT_EQ(Query(pile[0]), std::vector<const void*>{});
}

TEST_F(CollisionGridTest, AnEntityAddedTwiceUsesItsFirstEntry) {
  Entity* e = Added(0, 0, 20, 20);
  Entity* other = Added(10, 10, 5, 5);
  AddEntityToGrid(grid, e);
  EXPECT_EQ(ObjListCount(grid->entities), 3);
  EXPECT_EQ(Occupants(0, 0), 2) << "the second add re-placed the first entry";
  ListNode* second = ObjListLast(grid->entities);
  EXPECT_EQ(second->item, e);
  EXPECT_EQ(ObjListCount((ObjectList*)second->extra), 0);
  EXPECT_EQ(Query(e), (std::vector<const void*>{other}));
  e->x = 100;
  UpdateMovedFlag(e);
  UpdateMovedEntities(grid);
  EXPECT_EQ(CellsOf(grid, e), (Cells{{3, 0}}));
  EXPECT_EQ(Occupants(0, 0), 1);
  EXPECT_EQ(Occupants(3, 0), 1);
}

TEST_F(CollisionGridTest, NullArgumentsAreIgnored) {
  AddEntityToGrid(grid, nullptr);
  AddEntityToGrid(nullptr, At(0, 0, 5, 5));
  PlaceEntity(nullptr, nullptr);
  PlaceEntity(grid, nullptr);
  UpdateMovedEntities(nullptr);
  DrawGrid(nullptr);
  EXPECT_EQ(ObjListCount(grid->entities), 0);
  EXPECT_EQ(Query(nullptr), std::vector<const void*>{});
}

// Every cell whose rectangle overlaps the box with a positive area, computed directly.
std::set<Cell> OverlappedCells(const CollisionGrid* grid, const EntityBounds& b) {
  std::set<Cell> out;
  for (int i = 0; i < grid->columns; ++i) {
    for (int j = 0; j < grid->rows; ++j) {
      const GridCell* c = GridCellAt(grid, i, j);
      int64_t w = std::min<int64_t>(c->x + c->width, (int64_t)b.left + b.width) - std::max<int64_t>(c->x, b.left);
      int64_t h = std::min<int64_t>(c->y + c->height, (int64_t)b.top + b.height) - std::max<int64_t>(c->y, b.top);
      if (w > 0 && h > 0) out.insert({i, j});
    }
  }
  return out;
}

TEST(CollisionGridProperty, PlacementMatchesDirectOverlapAfterRandomMoves) {
  EnsureAppStarted();
  std::mt19937 rng(20240611);
  // Grids of several shapes, with odd cell sizes so the truncating divisions meet every case.
  const int shapes[][4] = {{25, 18, 32, 32}, {7, 5, 13, 29}, {1, 1, 64, 64}, {12, 9, 5, 7}};
  for (const auto& s : shapes) {
    CollisionGrid* grid = CreateGrid(s[0], s[1], s[2], s[3], "p", AnyID);
    ASSERT_NE(grid, nullptr);
    const int spanX = s[0] * s[2], spanY = s[1] * s[3];
    std::uniform_real_distribution<float> px(-0.3f * spanX, 1.3f * spanX), py(-0.3f * spanY, 1.3f * spanY);
    std::uniform_int_distribution<int> size(1, 3 * std::max(s[2], s[3]));
    std::uniform_real_distribution<float> scale(0.25f, 2.0f);
    std::vector<Entity*> entities;
    std::vector<EntityBounds> placedAt;  // each entity's bounds when it was last placed
    for (int n = 0; n < 40; ++n) {
      Entity* e = CreateEntity("p", AnyID);
      e->x = px(rng);
      e->y = py(rng);
      e->width = size(rng);
      e->height = size(rng);
      if (n % 3 == 0) e->scaleX = scale(rng);
      if (n % 4 == 0) e->scaleY = scale(rng);
      AddEntityToGrid(grid, e);
      entities.push_back(e);
      placedAt.push_back({});
      GetEntityBounds(e, &placedAt.back());
    }
    for (int round = 0; round < 30; ++round) {
      for (Entity* e : entities) {
        if (rng() % 3 == 0) {
          e->x = px(rng);
          e->y = py(rng);
        }
        if (rng() % 5 == 0) e->width = size(rng);  // a size change alone does not re-place
        UpdateMovedFlag(e);
      }
      UpdateMovedEntities(grid);
      ASSERT_EQ(GridValidate(grid), 1) << "round " << round;
      for (size_t k = 0; k < entities.size(); ++k) {
        Entity* e = entities[k];
        if (e->moved) GetEntityBounds(e, &placedAt[k]);
        const EntityBounds& b = placedAt[k];
        Cells cells = CellsOf(grid, e);
        std::set<Cell> placed(cells.begin(), cells.end());
        ASSERT_EQ(placed.size(), cells.size()) << "a cell entered twice";
        ASSERT_EQ(placed, OverlappedCells(grid, b))
            << "bounds " << b.left << "," << b.top << "," << b.width << "," << b.height;
      }
      // Each cell's occupants are exactly the entities that list the cell.
      for (int i = 0; i < grid->columns; ++i) {
        for (int j = 0; j < grid->rows; ++j) {
          std::set<const void*> expected;
          for (Entity* e : entities) {
            Cells cells = CellsOf(grid, e);
            if (std::find(cells.begin(), cells.end(), Cell{i, j}) != cells.end()) expected.insert(e);
          }
          std::vector<const void*> occupants = Items(GridCellAt(grid, i, j)->occupants);
          ASSERT_EQ(std::set<const void*>(occupants.begin(), occupants.end()), expected);
          ASSERT_EQ(occupants.size(), expected.size());
        }
      }
    }
    FreeGrid(grid);
  }
}

// Random sequences of adds (new entities and ones added before), moves, re-placement of the moved
// ones or of one entity, and queries, with boxes of no area, far outside the grid and larger than
// it: after every step the grid and the plain model agree on everything that can be seen.
TEST(CollisionGridModel, AgreesWithThePlainAlgorithmsThroughRandomSequences) {
  EnsureAppStarted();
  std::mt19937 rng(20261208);
  auto below = [&](int n) { return (int)(rng() % (unsigned)n); };
  const int shapes[][4] = {{25, 18, 32, 32}, {7, 5, 13, 29}, {1, 1, 64, 64}, {12, 9, 5, 7}};
  for (const auto& s : shapes) {
    grid_model::GridTwin twin(s[0], s[1], s[2], s[3]);
    ASSERT_NE(twin.Grid(), nullptr);
    const int spanX = s[0] * s[2], spanY = s[1] * s[3];
    auto coordinate = [&](int span) {
      switch (below(8)) {
        case 0:
          return -1e6f - (float)below(1000000);  // far outside
        case 1:
          return (float)span + 1e6f;
        default:
          return (float)(below(span * 3 / 2 + 2) - span / 4) + 0.25f * (float)below(4);
      }
    };
    auto size = [&](int cell, int span) {
      switch (below(10)) {
        case 0:
          return 0;  // no area
        case 1:
          return -below(20);
        case 2:
          return span + below(3 * span);  // larger than the grid
        default:
          return 1 + below(3 * cell);
      }
    };
    std::vector<Entity*> added;
    for (int step = 0; step < 250; ++step) {
      Entity* some = added.empty() ? nullptr : added[below((int)added.size())];
      int op = below(10);
      if (op < 3 || !some) {
        Entity* e = twin.Make(coordinate(spanX), coordinate(spanY), size(s[2], spanX), size(s[3], spanY));
        if (below(6) == 0) e->scaleX = 0.5f * (float)below(5);
        if (below(12) == 0) {
          twin.Place(e);  // never added: nothing happens
        } else {
          twin.Add(e);
          added.push_back(e);
        }
      } else if (op == 3) {
        twin.Add(some);  // added again: its first entry is re-placed
      } else if (op < 6) {
        bool jump = below(2) == 0;
        float x = jump ? coordinate(spanX) : some->x + (float)(below(17) - 8);
        float y = jump ? coordinate(spanY) : some->y + (float)(below(17) - 8);
        if (below(5) == 0) some->width = size(s[2], spanX);  // a size change alone does not count
        twin.Move(some, x, y);
      } else if (op < 8) {
        twin.UpdateMoved();
      } else {
        twin.Place(some);  // re-placed whatever its flag; op 9 only queries, as every step does
      }
      ASSERT_EQ(twin.Check(), "") << "grid " << s[0] << "x" << s[1] << ", step " << step;
    }
  }
}

// Moved entities are re-placed in batches: a crowd, many of them moved each round (a batch's
// worth and more, stepping within and across cells), ends up exactly where the plain algorithm
// puts it. A grid too large for the cache, whose placements ask for memory ahead, holds the same
// crowd beside it and must agree with it on every list of the cells the crowd can reach and on
// every entity's candidates (the model itself is too slow for that many cells).
TEST(CollisionGridModel, AgreesWithManyMovedEntitiesOnSmallAndLargeGrids) {
  EnsureAppStarted();
  std::mt19937 rng(20261209);
  auto below = [&](int n) { return (int)(rng() % (unsigned)n); };
  const int32_t side = 24;  // the crowd stays inside side * 2 pixels, or leaves every grid
  grid_model::GridTwin twin(side, side, 2, 2);
  // Larger grids place their moved entities differently: one beyond the smaller caches, one beyond
  // the last-level cache.
  std::vector<CollisionGrid*> larger = {CreateGrid(200, 200, 2, 2, "middle", AnyID),
                                        CreateGrid(520, 520, 2, 2, "large", AnyID)};
  for (CollisionGrid* grid : larger) {
    ASSERT_NE(grid, nullptr);
    twin.Beside(grid);
  }
  std::vector<Entity*> crowd;
  auto add = [&](Entity* e) {
    twin.Add(e);
    for (CollisionGrid* grid : larger) AddEntityToGrid(grid, e);
  };
  for (int k = 0; k < 150; ++k) {
    crowd.push_back(twin.Make((float)below(30), (float)below(24), 1 + below(5), 1 + below(5)));
    add(crowd.back());
    if (k % 40 == 0) add(crowd[(size_t)below((int)crowd.size())]);  // added again
    if (k % 25 == 7) add(crowd.back());  // added again at once: both entries are placed one after the other
  }
  for (int round = 0; round < 4; ++round) {
    for (Entity* e : crowd) {
      if (below(3) == 0) continue;
      bool far = below(20) == 0;  // now and then one leaves the grids
      twin.Move(e, far ? -500.0f : e->x + (float)(below(5) - 2), e->y + (float)(below(5) - 2));
    }
    twin.UpdateMoved();
    for (CollisionGrid* grid : larger) UpdateMovedEntities(grid);
    ASSERT_EQ(twin.Check(), "") << "round " << round;
    for (CollisionGrid* grid : larger) {
      ASSERT_EQ(GridValidate(grid), 1) << grid->name << ", round " << round;
      for (int32_t i = 0; i < side; ++i) {
        for (int32_t j = 0; j < side; ++j)
          ASSERT_EQ(Items(GridCellAt(grid, i, j)->occupants), Items(GridCellAt(twin.Grid(), i, j)->occupants));
      }
      for (Entity* e : crowd) {
        ObjectList* mine = QueryCandidates(grid, e);
        ObjectList* theirs = QueryCandidates(twin.Grid(), e);
        ASSERT_EQ(Items(mine), Items(theirs)) << grid->name << ", round " << round;
        ObjListFree(mine);
        ObjListFree(theirs);
      }
    }
  }
  for (CollisionGrid* grid : larger) FreeGrid(grid);
}

// Running out of memory: every call reports it, the grid stays valid, the registry holds exactly
// the live list blocks, and the next call with memory succeeds.
class CollisionGridWithoutMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureAppStarted();
    heap_ = gCore.blockHeap;
  }
  void TearDown() override { Recover(); }
  // The heap refuses, and no freed block is kept for re-use but those the test frees from here on.
  void RunOut() {
    for (int32_t size : {kShortNodeSize, kFullNodeSize}) {
      while (gProgram.slabs[size == kFullNodeSize].free) held_.push_back(AllocObject(size));
    }
    gCore.blockHeap = nullptr;
  }
  void Recover() {
    gCore.blockHeap = heap_;
    for (ListNode* block : held_) FreeObject(block);
    held_.clear();
  }
  HeapHandle heap_ = nullptr;
  std::vector<ListNode*> held_;
};

TEST_F(CollisionGridWithoutMemory, PlacementIntoMoreCellsLeavesTheEntityInNone) {
  grid_model::GridTwin twin(25, 18, 32, 32);
  Entity* e = twin.Make(40, 40, 10, 10);  // one cell
  Entity* other = twin.Make(70, 70, 10, 10);
  twin.Add(e);
  twin.Add(other);
  e->width = e->height = 50;
  RunOut();
  EXPECT_EQ(PlaceEntity(twin.Grid(), e), 0);
  EXPECT_EQ(CellsOf(twin.Grid(), e), Cells{});
  EXPECT_EQ(UpdateMovedEntities(twin.Grid()), 1) << "nothing moved";
  Recover();
  EXPECT_EQ(GridValidate(twin.Grid()), 1);
  twin.Place(e);  // the model places it too: from here on both agree again
  EXPECT_EQ(CellsOf(twin.Grid(), e), (Cells{{1, 1}, {1, 2}, {2, 1}, {2, 2}}));
  EXPECT_EQ(twin.Check(), "");
}

// Memory runs out half-way through the cells the entity enters, with cells it stays in before and
// after: it is taken out of all of them, and every other occupant keeps its place.
TEST_F(CollisionGridWithoutMemory, APlacementHalfWayThroughItsNewCellsLeavesTheEntityInNone) {
  grid_model::GridTwin twin(25, 18, 32, 32);
  Entity* before = twin.Make(40, 40, 50, 60);
  Entity* e = twin.Make(40, 40, 50, 50);  // cells (1..2, 1..2)
  Entity* after = twin.Make(33, 33, 80, 80);
  for (Entity* x : {before, e, after}) twin.Add(x);
  e->width = e->height = 70;  // cells (1..3, 1..3): the second cell it enters finds no memory
  ListNode* full = AllocObject(kFullNodeSize);
  ListNode* brief = AllocObject(kShortNodeSize);
  RunOut();
  FreeObject(full);
  FreeObject(brief);
  EXPECT_EQ(PlaceEntity(twin.Grid(), e), 0);
  EXPECT_EQ(CellsOf(twin.Grid(), e), Cells{});
  Recover();
  EXPECT_EQ(GridValidate(twin.Grid()), 1);
  twin.Place(e);
  EXPECT_EQ(CellsOf(twin.Grid(), e).size(), 9u);
  EXPECT_EQ(twin.Check(), "");
}

TEST_F(CollisionGridWithoutMemory, AHalfMadeEntryOrCandidateListIsUndone) {
  grid_model::GridTwin twin(25, 18, 32, 32);
  Entity* a = twin.Make(0, 0, 20, 20);
  Entity* b = twin.Make(10, 10, 20, 20);
  Entity* late = twin.Make(5, 5, 5, 5);
  twin.Add(a);
  twin.Add(b);
  ListNode* one = AllocObject(kFullNodeSize);
  RunOut();
  intptr_t blocks = gProgram.registry.info->count;
  FreeObject(one);  // one full block to re-use: an entry or a list header, but not more
  EXPECT_EQ(QueryCandidates(twin.Grid(), a), nullptr) << "the header was made, its candidate not";
  EXPECT_EQ(AddEntityToGrid(twin.Grid(), late), 0) << "the entry was made, its references not";
  EXPECT_EQ(gProgram.registry.info->count, blocks - 1);
  Recover();
  EXPECT_EQ(twin.Check(), "");
}

TEST_F(CollisionGridWithoutMemory, AddAndQueryChangeNothing) {
  grid_model::GridTwin twin(25, 18, 32, 32);
  for (int n = 0; n < 16; ++n) twin.Add(twin.Make(20.0f * n, 0, 20, 20));
  Entity* late = twin.Make(0, 0, 20, 20);
  RunOut();
  intptr_t blocks = gProgram.registry.info->count;
  EXPECT_EQ(AddEntityToGrid(twin.Grid(), late), 0) << "the entity list's order array is full";
  EXPECT_EQ(AddEntityToGrid(twin.Grid(), twin.EntitiesMade()[0]), 0) << "an entity added again";
  EXPECT_EQ(QueryCandidates(twin.Grid(), twin.EntitiesMade()[0]), nullptr);
  EXPECT_EQ(gProgram.registry.info->count, blocks);
  Recover();
  EXPECT_EQ(twin.Check(), "");
  EXPECT_EQ(ObjListCount(twin.Grid()->entities), 16);
  twin.Add(late);
  EXPECT_EQ(twin.Check(), "");
}

TEST(CollisionGridOutOfMemory, NoGridIsMadeWithoutItsName) {
  EnsureAppStarted();
  size_t blocks = PlatformHeapBlockCount(gCore.blockHeap);
  intptr_t entries = gProgram.registry.info->count;
  PlatformFailAllocations(2, false);  // the record is made, the copy of its name is not
  EXPECT_EQ(CreateGrid(25, 18, 32, 32, "mygrid", AnyID), nullptr);
  PlatformFailAllocations(0, false);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.blockHeap), blocks);
  EXPECT_EQ(gProgram.registry.info->count, entries);
}

}  // namespace
