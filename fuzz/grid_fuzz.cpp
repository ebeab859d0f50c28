// The collision grid driven by a decoded sequence of operations: adding new entities and ones
// already added, moving entities (with the moved flag), re-placing the moved ones or a single one,
// and queries, also for entities never added. Positions, sizes and scales reach the edges of the
// integer range, fractions that round to even, and any float at all. The plain reference model
// runs beside the grid: after every step both must agree on every entity's cells, every cell's
// occupants and every candidate list, and the registry must hold exactly the live list blocks.
// Besides, the entity's cells must be exactly those its bounds at its last placement overlap with a
// positive area, and a query must name each other entity sharing one of those cells once.
// (Entities are never taken out of a grid, so there is no removal.)
#include <bit>
#include <cstdlib>
#include <set>
#include <vector>

#include "app/collision_grid.h"
#include "app/program.h"
#include "app/rounding.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"
#include "tests/app/grid_model.h"

namespace {

constexpr int kMostSteps = 300;
constexpr size_t kMostEntities = 48;

struct Model {
  Entity* entity;
  bool added;
  EntityBounds placed;  // the bounds at its last placement
};

// Every cell index whose rectangle overlaps the bounds with a positive area.
std::set<int64_t> Overlapped(const CollisionGrid* grid, const EntityBounds& b) {
  std::set<int64_t> out;
  for (int32_t j = 0; j < grid->rows; ++j) {
    for (int32_t i = 0; i < grid->columns; ++i) {
      int64_t x0 = (int64_t)i * grid->cellWidth, y0 = (int64_t)j * grid->cellHeight;
      int64_t w = std::min(x0 + grid->cellWidth, (int64_t)b.left + b.width) - std::max<int64_t>(x0, b.left);
      int64_t h = std::min(y0 + grid->cellHeight, (int64_t)b.top + b.height) - std::max<int64_t>(y0, b.top);
      if (w > 0 && h > 0) out.insert((int64_t)j * grid->columns + i);
    }
  }
  return out;
}

std::set<int64_t> Recorded(const CollisionGrid* grid, const Entity* e) {
  std::set<int64_t> out;
  ListNode* entry = FindGridEntry(grid, e);
  if (!entry) return out;
  size_t n = 0;
  for (ListNode* ref = ObjListFirst((ObjectList*)entry->extra); ref; ref = ref->next, ++n)
    out.insert((const GridCell*)ref->item - grid->cells);
  Check(out.size() == n);
  return out;
}

class Session {
 public:
  Session(FuzzInput& in, grid_model::GridTwin& twin) : in_(in), twin_(twin), grid_(twin.Grid()) {}

  void Run() {
    for (int steps = 0; steps < kMostSteps && !in_.empty(); ++steps) {
      Step();
      Check(twin_.Check().empty());
    }
  }

 private:
  float Coordinate(int32_t near) {
    uint8_t kind = in_.Byte();
    if (kind % 8 == 7) return std::bit_cast<float>(in_.Raw32());  // any float, NaN and infinities too
    return (float)in_.Number(near) + (float)(kind >> 6) * 0.25f;
  }

  float Scale() {
    uint8_t kind = in_.Byte();
    if (kind % 4 != 3) return 1.0f;
    if (kind & 4) return std::bit_cast<float>(in_.Raw32());
    return (float)in_.Number(4) / 4.0f;
  }

  Model* Pick() { return models_.empty() ? nullptr : &models_[in_.Byte() % models_.size()]; }

  void Shape(Entity* e) {
    e->x = Coordinate(grid_->columns * grid_->cellWidth / 2);
    e->y = Coordinate(grid_->rows * grid_->cellHeight / 2);
    e->width = in_.Number(grid_->cellWidth);
    e->height = in_.Number(grid_->cellHeight);
    e->scaleX = Scale();
    e->scaleY = Scale();
  }

  void Placed(Model& m) {
    GetEntityBounds(m.entity, &m.placed);
    CheckCells(m);
  }

  void CheckCells(const Model& m) {
    Check(Recorded(grid_, m.entity) == (m.added ? Overlapped(grid_, m.placed) : std::set<int64_t>{}));
  }

  void Query(const Model& m) {
    ObjectList* result = QueryCandidates(grid_, m.entity);
    Check(result != nullptr);
    std::set<const void*> got;
    for (ListNode* n = ObjListFirst(result); n; n = n->next) Check(got.insert(n->item).second);
    Check((size_t)ObjListCount(result) == got.size());
    ObjListFree(result);
    // Brute force: the other added entities whose cells meet this one's.
    std::set<const void*> expected;
    if (m.added) {
      std::set<int64_t> mine = Overlapped(grid_, m.placed);
      for (const Model& other : models_) {
        if (other.entity == m.entity || !other.added) continue;
        for (int64_t cell : Overlapped(grid_, other.placed)) {
          if (mine.count(cell)) {
            expected.insert(other.entity);
            break;
          }
        }
      }
    }
    Check(got == expected);
  }

  void Step() {
    uint8_t op = in_.Byte();
    switch (op % 8) {
      case 0:
      case 1: {  // a new entity, added or (rarely) only made
        if (models_.size() >= kMostEntities) break;
        Entity* e = twin_.Make(0, 0, 0, 0);
        Check(e != nullptr);
        Shape(e);
        models_.push_back({e, false, {}});
        if (op & 0x80) {
          twin_.Place(e);  // not registered: nothing happens
          Query(models_.back());
        } else {
          twin_.Add(e);
          models_.back().added = true;
          Placed(models_.back());
        }
        break;
      }
      case 2:  // an entity added once more: its first entry is re-placed
        if (Model* m = Pick()) {
          twin_.Add(m->entity);
          m->added = true;
          Placed(*m);
        }
        break;
      case 3:  // moved, with the moved flag updated
        if (Model* m = Pick()) {
          if (op & 0x10) m->entity->x = Coordinate(RoundToInt(m->entity->x));
          if (op & 0x20) m->entity->y = Coordinate(RoundToInt(m->entity->y));
          if (op & 0x40) m->entity->width = in_.Number(m->entity->width);  // a size change alone does not count
          bool changed = m->entity->x != m->entity->lastX || m->entity->y != m->entity->lastY;
          UpdateMovedFlag(m->entity);
          Check(m->entity->moved == (changed ? 1 : 0));
          CheckCells(*m);  // nothing is re-placed yet
        }
        break;
      case 4:  // every moved entity re-placed
        twin_.UpdateMoved();
        for (Model& m : models_) {
          if (m.added && m.entity->moved) GetEntityBounds(m.entity, &m.placed);
        }
        for (const Model& m : models_) CheckCells(m);
        break;
      case 5:  // one entity re-placed whatever its flag
        if (Model* m = Pick()) {
          twin_.Place(m->entity);
          if (m->added) Placed(*m);
          CheckCells(*m);
        }
        break;
      default:
        if (Model* m = Pick()) Query(*m);
        break;
    }
  }

  FuzzInput& in_;
  grid_model::GridTwin& twin_;
  CollisionGrid* grid_;
  std::vector<Model> models_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
    InitStringTemp();
    InitObjectNodes();
    InitMemoryBlocks();
    CreateProgramLists();
    return true;
  }();
  (void)started;
  FuzzInput in(data, size);
  // A small grid whose cell sizes may be anything; unusable ones must be refused.
  int32_t columns = 1 + in.Byte() % 16, rows = 1 + in.Byte() % 12;
  int32_t cellWidth = in.Number(32), cellHeight = in.Number(32);
  bool usable = cellWidth > 0 && cellHeight > 0 && (int64_t)columns * cellWidth <= INT32_MAX &&
                (int64_t)rows * cellHeight <= INT32_MAX;
  CollisionGrid* grid = CreateGrid(columns, rows, cellWidth, cellHeight, "fuzz", AnyID);
  Check((grid != nullptr) == usable);
  FreeGrid(grid);
  if (!usable) cellWidth = cellHeight = 32;
  grid_model::GridTwin twin(columns, rows, cellWidth, cellHeight);
  Check(twin.Grid() != nullptr && twin.Check().empty());
  Session session(in, twin);
  session.Run();
  return 0;
}
