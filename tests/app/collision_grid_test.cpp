// Collision grid: placement at edges and corners, re-placement of moved entities, the candidate
// query, entities added twice, running out of memory, and, for every tier (forced on small grids,
// and on real grids past each threshold), random sequences checked step by step against the plain
// reference model.
#include "app/collision_grid.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include "app/collision_grid_internal.h"
#include "app_setup.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "tests/app/grid_model.h"

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

using grid_model::GridTwin;
using grid_model::Items;

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

// Moved entities are placed in batches of the entity list: in every tier, however many there are
// and whichever of them moved, every moved one is placed, the last ones too.
TEST_F(CollisionGridTest, EveryMovedEntityIsPlacedWhateverTheirNumber) {
  for (GridTier tier : kGridTiers) {
    FreeGrid(grid);
    grid = CreateGrid(25, 18, 32, 32, "mygrid", AnyID);
    grid->tier = tier;
    std::vector<Entity*> all;
    for (int count : {1, 15, 16, 17, 47, 48, 49, 64, 65, 80, 130}) {
      while ((int)all.size() < count) all.push_back(Added((float)(all.size() % 25) * 32, 0, 20, 20));
      for (size_t k = 0; k < all.size(); ++k) {
        all[k]->y = (float)(count % 17 * 32);
        if (k % 3 != 2 || k + 1 == all.size()) UpdateMovedFlag(all[k]);  // the last one always moves
      }
      EXPECT_EQ(UpdateMovedEntities(grid), 1);
      for (size_t k = 0; k < all.size(); ++k) {
        if (all[k]->moved) {
          EXPECT_EQ(CellsOf(grid, all[k]), (Cells{{(int)(k % 25), count % 17}})) << count << " " << k;
        }
        UpdateMovedFlag(all[k]);
      }
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

TEST_F(CollisionGridTest, AGridOfNoKnownTierDoesNotValidate) {
  GridTier tier = grid->tier;
  for (int32_t unknown : {-1, (int32_t)std::size(kGridTiers)}) {
    grid->tier = (GridTier)unknown;
    EXPECT_EQ(GridValidate(grid), 0) << unknown;
  }
  grid->tier = tier;
}

// Random steps on a twin, its entities in the area of the grid's first columns and rows: new
// entities (added, or only made and placed), entities added again, one entity or a third of them
// moved, the moved ones re-placed or a single one placed whatever its flag, some of these with
// memory running out part-way, spare list blocks released, and query marks taken up to their
// wrap-around. Boxes of no area or negative size, far outside and larger than the area come up.
// The grid and the model must agree after every checked step.
class RandomSteps {
 public:
  RandomSteps(GridTwin& twin, uint32_t seed, int32_t areaColumns, int32_t areaRows)
      : twin_(twin),
        grid_(twin.Grid()),
        rng_(seed),
        spanX_(areaColumns * grid_->cellWidth),
        spanY_(areaRows * grid_->cellHeight) {}

  void Run(int steps, int checkEvery) {
    for (int step = 1; step <= steps; ++step) {
      Step();
      if (step % checkEvery == 0) {
        ASSERT_EQ(twin_.Check(), "") << "step " << step;
      }
    }
  }

 private:
  int Below(int n) { return (int)(rng_() % (unsigned)n); }
  float Coordinate(int span) {
    switch (Below(8)) {
      case 0:
        return -1e6f - (float)Below(1000000);  // far outside
      case 1:
        return (float)span + 1e6f;
      default:
        return (float)(Below(span * 3 / 2 + 2) - span / 4) + 0.25f * (float)Below(4);
    }
  }
  int32_t Size(int cell, int span) {
    switch (Below(10)) {
      case 0:
        return 0;
      case 1:
        return -Below(20);
      case 2:
        return span + Below(3 * span);  // larger than the area
      default:
        return 1 + Below(3 * cell);
    }
  }
  Entity* NewEntity() {
    Entity* e = twin_.Make(Coordinate(spanX_), Coordinate(spanY_), Size(grid_->cellWidth, spanX_),
                           Size(grid_->cellHeight, spanY_));
    if (Below(6) == 0) e->scaleX = 0.5f * (float)Below(5);
    if (Below(8) == 0) e->scaleY = 0.25f * (float)Below(9);
    return e;
  }
  void Move(Entity* e) {
    bool jump = Below(2) == 0;
    float x = jump ? Coordinate(spanX_) : e->x + (float)(Below(17) - 8);
    float y = jump ? Coordinate(spanY_) : e->y + (float)(Below(17) - 8);
    if (Below(5) == 0) e->width = Size(grid_->cellWidth, spanX_);  // a size change alone does not count
    twin_.Move(e, x, y);
  }
  void Step() {
    Entity* some = added_.empty() ? nullptr : added_[Below((int)added_.size())];
    int op = Below(20);
    if (op < 6 || !some) {
      Entity* e = NewEntity();
      if (Below(12) == 0) return twin_.Place(e);  // never added: nothing happens
      twin_.Add(e);
      added_.push_back(e);
    } else if (op == 6) {
      twin_.Add(some);  // added again: its first entry is re-placed
    } else if (op < 10) {
      Move(some);
    } else if (op == 10) {
      for (Entity* e : added_) {
        if (Below(3) == 0) Move(e);
      }
    } else if (op < 13) {
      twin_.UpdateMoved();
    } else if (op == 13) {
      twin_.WithScarceMemory(Below(8), [&] { twin_.UpdateMoved(); });
    } else if (op == 14) {
      twin_.Place(some);
    } else if (op == 15) {
      twin_.WithScarceMemory(Below(4), [&] { twin_.Place(some); });
    } else if (op == 16) {
      Entity* e = NewEntity();
      added_.push_back(e);
      twin_.WithScarceMemory(Below(4), [&] { twin_.Add(e); });
    } else if (op == 17) {
      ReleaseSpareBlocks();
    } else if (op == 18) {
      twin_.NearMarkWrap(Below(4));
    }  // op 19 only checks
  }

  GridTwin& twin_;
  CollisionGrid* grid_;
  std::mt19937 rng_;
  int spanX_, spanY_;
  std::vector<Entity*> added_;
};

class CollisionGridModel : public ::testing::TestWithParam<GridTier> {
 protected:
  void SetUp() override { EnsureAppStarted(); }
};

// Every tier forced on small grids of several shapes, with odd cell sizes so that the truncating
// divisions meet every case.
TEST_P(CollisionGridModel, AgreesWithThePlainAlgorithmsThroughRandomSequences) {
  const int shapes[][4] = {{25, 18, 32, 32}, {7, 5, 13, 29}, {1, 1, 64, 64}, {12, 9, 5, 7}};
  uint32_t seed = 20261208 + (uint32_t)GetParam();
  for (const auto& s : shapes) {
    GridTwin twin(s[0], s[1], s[2], s[3], GetParam());
    ASSERT_NE(twin.Grid(), nullptr);
    SCOPED_TRACE(::testing::Message() << "grid " << s[0] << "x" << s[1]);
    RandomSteps(twin, seed++, s[0], s[1]).Run(250, 1);
  }
}

std::string TierName(const ::testing::TestParamInfo<GridTier>& info) {
  const char* names[] = {"Cached", "LookAhead", "Staged"};
  return names[(int)info.param];
}
INSTANTIATE_TEST_SUITE_P(EveryTier, CollisionGridModel, ::testing::ValuesIn(kGridTiers), TierName);

// Real grids just past each threshold get their tier from their size; their entities keep to a
// corner, where many of them share cells.
TEST(CollisionGridTiers, GridsPastEachThresholdAgreeWithTheModel) {
  EnsureAppStarted();
  struct Shape {
    int32_t columns, rows;
    GridTier tier;
  };
  for (Shape s : {Shape{128, 128, GridTier::kCached}, Shape{129, 128, GridTier::kLookAhead},
                  Shape{512, 512, GridTier::kLookAhead}, Shape{513, 512, GridTier::kStaged}}) {
    CollisionGrid* grid = CreateGrid(s.columns, s.rows, 2, 2, "sized", AnyID);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->tier, s.tier) << s.columns << "x" << s.rows;
    FreeGrid(grid);
  }
  for (Shape s : {Shape{129, 128, GridTier::kLookAhead}, Shape{513, 512, GridTier::kStaged}}) {
    GridTwin twin(s.columns, s.rows, 2, 2);
    ASSERT_EQ(twin.Grid()->tier, s.tier);
    SCOPED_TRACE(::testing::Message() << "grid " << s.columns << "x" << s.rows);
    RandomSteps(twin, 20261209, 24, 24).Run(300, 60);
  }
}

// Thousands of entities, re-placed in each tier in turn: the index and the order array grow many
// times, and every batch of moved entities is full.
TEST(CollisionGridTiers, ThousandsOfEntitiesAgreeWithTheModel) {
  EnsureAppStarted();
  std::mt19937 rng(20261210);
  auto below = [&](int n) { return (int)(rng() % (unsigned)n); };
  GridTwin twin(100, 100, 8, 8);
  std::vector<Entity*> crowd;
  for (int k = 0; k < 5000; ++k) {
    crowd.push_back(twin.Make((float)below(800), (float)below(800), 1 + below(12), 1 + below(12)));
    twin.Add(crowd.back());
  }
  for (GridTier tier : kGridTiers) {
    twin.Grid()->tier = tier;
    for (Entity* e : crowd) {
      if (below(3) != 0) twin.Move(e, e->x + (float)(below(9) - 4), e->y + (float)(below(9) - 4));
    }
    twin.UpdateMoved();
    ASSERT_EQ(twin.Check(), "") << "tier " << (int)tier;
  }
}

// Query marks run up to their wrap-around: after it no entity carries a mark above the grid's,
// and no mark left from before passes for a new one. Two piles of twenty, each of whose queries
// marks the nineteen others it meets; the marks wrap between the first pile's queries and the
// second's, so that the first pile's marks are left from before the wrap.
TEST(CollisionGridTiers, QueryMarksWrapAround) {
  EnsureAppStarted();
  GridTwin twin(8, 8, 32, 32);
  for (int k = 0; k < 20; ++k) twin.Add(twin.Make((float)(1 + k % 10), (float)(1 + k / 10), 10, 10));
  for (int k = 0; k < 20; ++k) twin.Add(twin.Make((float)(130 + k % 10), (float)(130 + k / 10), 10, 10));
  ASSERT_EQ(twin.Check(), "");  // a query per entity
  twin.NearMarkWrap(20);
  ASSERT_EQ(twin.Check(), "");
  EXPECT_EQ(twin.Grid()->queryMark, 20u) << "wrapped at the second pile, and counted on from 1";
  ASSERT_EQ(twin.Check(), "");
  twin.NearMarkWrap(0);  // the very next query wraps
  ASSERT_EQ(twin.Check(), "");
  ASSERT_EQ(twin.Check(), "");
}

// Running out of memory: every call reports it, the grid stays valid, the registry holds exactly
// the live list blocks, and the next call with memory succeeds.
TEST(CollisionGridWithoutMemory, PlacementIntoMoreCellsLeavesTheEntityInNone) {
  EnsureAppStarted();
  GridTwin twin(25, 18, 32, 32);
  Entity* e = twin.Make(40, 40, 10, 10);  // one cell
  twin.Add(e);
  twin.Add(twin.Make(70, 70, 10, 10));
  e->width = e->height = 50;
  twin.WithScarceMemory(0, [&] {
    twin.Place(e);
    EXPECT_EQ(CellsOf(twin.Grid(), e), Cells{});
    twin.UpdateMoved();  // nothing moved: 1
  });
  EXPECT_EQ(twin.Check(), "");
  twin.Place(e);
  EXPECT_EQ(CellsOf(twin.Grid(), e), (Cells{{1, 1}, {1, 2}, {2, 1}, {2, 2}}));
  EXPECT_EQ(twin.Check(), "");
}

// Memory runs out half-way through the cells the entity enters, with cells it stays in before and
// after: it is taken out of all of them, and every other occupant keeps its place.
TEST(CollisionGridWithoutMemory, APlacementHalfWayThroughItsNewCellsLeavesTheEntityInNone) {
  EnsureAppStarted();
  GridTwin twin(25, 18, 32, 32);
  Entity* before = twin.Make(40, 40, 50, 60);
  Entity* e = twin.Make(40, 40, 50, 50);  // cells (1..2, 1..2)
  Entity* after = twin.Make(33, 33, 80, 80);
  for (Entity* x : {before, e, after}) twin.Add(x);
  e->width = e->height = 70;  // cells (1..3, 1..3): the second cell it enters finds no memory
  twin.WithScarceMemory(1, [&] { twin.Place(e); });
  EXPECT_EQ(CellsOf(twin.Grid(), e), Cells{});
  EXPECT_EQ(twin.Check(), "");
  twin.Place(e);
  EXPECT_EQ(CellsOf(twin.Grid(), e).size(), 9u);
  EXPECT_EQ(twin.Check(), "");
}

TEST(CollisionGridWithoutMemory, AHalfMadeEntryOrCandidateListIsUndone) {
  EnsureAppStarted();
  GridTwin twin(25, 18, 32, 32);
  Entity* a = twin.Make(0, 0, 20, 20);
  twin.Add(a);
  twin.Add(twin.Make(10, 10, 20, 20));
  Entity* late = twin.Make(5, 5, 5, 5);
  twin.WithScarceMemory(1, [&] {
    ListNode* brief = AllocObject(kShortNodeSize);  // one full block left: an entry or a list header
    size_t blocks = grid_model::RegisteredBlocks().size();
    EXPECT_EQ(QueryCandidates(twin.Grid(), a), nullptr) << "the header was made, its candidate not";
    twin.Add(late);  // the entry was made, its references not
    EXPECT_EQ(ObjListCount(twin.Grid()->entities), 2);
    EXPECT_EQ(grid_model::RegisteredBlocks().size(), blocks);
    FreeObject(brief);
  });
  EXPECT_EQ(twin.Check(), "");
}

TEST(CollisionGridWithoutMemory, AddAndQueryChangeNothing) {
  EnsureAppStarted();
  GridTwin twin(25, 18, 32, 32);
  for (int n = 0; n < 16; ++n) twin.Add(twin.Make(20.0f * n, 0, 20, 20));
  Entity* late = twin.Make(0, 0, 20, 20);
  twin.WithScarceMemory(0, [&] {
    twin.Add(late);  // the entity list's order array is full
    twin.Add(twin.EntitiesMade()[0]);
    EXPECT_EQ(QueryCandidates(twin.Grid(), twin.EntitiesMade()[0]), nullptr) << "no block for the result";
  });
  EXPECT_EQ(twin.Check(), "");
  EXPECT_EQ(ObjListCount(twin.Grid()->entities), 16);
  twin.Add(late);
  EXPECT_EQ(twin.Check(), "");
}

// The index takes entities on without growing, up to three quarters full, and then refuses them;
// with memory again it grows.
TEST(CollisionGridWithoutMemory, TheIndexFillsUpWhenItCannotGrow) {
  EnsureAppStarted();
  GridTwin twin(25, 18, 32, 32);
  for (int n = 0; n < 4; ++n) twin.Add(twin.Make(20.0f * n, 0, 20, 20));
  ASSERT_EQ(twin.Grid()->indexBits, kFirstIndexBits);
  std::vector<Entity*> more;
  for (int n = 4; n < 13; ++n) more.push_back(twin.Make(20.0f * n, 0, 0, 0));  // no cells: an entry and references
  twin.WithScarceMemory(20, [&] {
    for (Entity* e : more) twin.Add(e);
  });
  EXPECT_EQ(twin.Grid()->indexBits, kFirstIndexBits);
  EXPECT_EQ(twin.Grid()->indexed, 12) << "the thirteenth refused";
  EXPECT_EQ(twin.Check(), "");
  twin.Add(more.back());
  EXPECT_GT(twin.Grid()->indexBits, kFirstIndexBits);
  EXPECT_EQ(twin.Check(), "");
}

TEST(CollisionGridWithoutMemory, NoGridIsMadeWithoutItsName) {
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
