// The collision grid driven by a decoded sequence of operations: adding new entities and ones
// already added, moving one entity or all of them (with the moved flag), re-placing the moved ones
// or a single one, some of these with memory running out part-way, releasing spare list blocks,
// taking query marks up to their wrap-around, and queries, also for entities never added.
// Positions, sizes and scales reach the edges of the integer range, fractions that round to even,
// and any float at all. The grid is small, in the tier the input forces, or now and then a real
// grid past the look-ahead threshold. The plain reference model runs beside it (GridTwin): after
// every step both must agree on everything that can be seen, and every result must tell what was
// done. (Entities are never taken out of a grid, so there is no removal.)
#include <bit>
#include <cstdlib>
#include <optional>
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

class Session {
 public:
  // The model's query walks every cell an entity lies in for every other entity: on a large grid,
  // where one entity can lie in thousands of cells, the entities are fewer and checked less often.
  Session(FuzzInput& in, grid_model::GridTwin& twin, bool large)
      : in_(in), twin_(twin), grid_(twin.Grid()), checkEvery_(large ? 16 : 1), mostEntities_(large ? 12 : 48) {}

  void Run() {
    for (int steps = 1; steps <= kMostSteps && !in_.empty(); ++steps) {
      Step();
      if (steps % checkEvery_ == 0 || in_.empty()) Check(twin_.Check().empty());
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

  Entity* Pick() {
    const std::vector<Entity*>& made = twin_.EntitiesMade();
    return made.empty() ? nullptr : made[in_.Byte() % made.size()];
  }

  // A new entity as the input describes it; null once the session holds the most entities. Its
  // description is read either way, so that its bytes are never taken for operations.
  Entity* Made() {
    float x = Coordinate(grid_->columns * grid_->cellWidth / 2);
    float y = Coordinate(grid_->rows * grid_->cellHeight / 2);
    int32_t width = in_.Number(grid_->cellWidth);
    int32_t height = in_.Number(grid_->cellHeight);
    float scaleX = Scale();
    float scaleY = Scale();
    if (twin_.EntitiesMade().size() >= mostEntities_) return nullptr;
    Entity* e = twin_.Make(x, y, width, height);
    Check(e != nullptr);
    e->scaleX = scaleX;
    e->scaleY = scaleY;
    return e;
  }

  void Move(Entity* e, uint8_t op) {
    if (op & 0x10) e->x = Coordinate(RoundToInt(e->x));
    if (op & 0x20) e->y = Coordinate(RoundToInt(e->y));
    if (op & 0x40) e->width = in_.Number(e->width);  // a size change alone does not count
    bool changed = e->x != e->lastX || e->y != e->lastY;
    UpdateMovedFlag(e);
    Check(e->moved == (changed ? 1 : 0));
  }

  void Step() {
    uint8_t op = in_.Byte();
    switch (op % 8) {
      case 0:
      case 1:  // a new entity, added or (rarely) only made and placed: nothing happens
        if (Entity* e = Made()) {
          if (op & 0x80) return twin_.Place(e);
          twin_.Add(e);
        }
        break;
      case 2:  // an entity added (once more: its first entry is re-placed)
        if (Entity* e = Pick()) twin_.Add(e);
        break;
      case 3:  // moved, with the moved flag updated; nothing is re-placed yet
        if (Entity* e = Pick()) Move(e, op);
        break;
      case 4:  // every moved entity re-placed
        return twin_.UpdateMoved();
      case 5:  // one entity re-placed whatever its flag
        if (Entity* e = Pick()) twin_.Place(e);
        break;
      case 7:
        return Special(op >> 3);
      default:  // 6: a step that changes nothing; the check after steps (see checkEvery_) queries every entity
        break;
    }
  }

  void Special(uint8_t kind) {
    switch (kind % 8) {
      case 1:  // memory for only a few list blocks, and none else
        return twin_.WithScarceMemory(in_.Byte() % 8, [&] { twin_.UpdateMoved(); });
      case 2:
        if (Entity* e = Pick()) twin_.WithScarceMemory(in_.Byte() % 4, [&] { twin_.Place(e); });
        break;
      case 3: {
        Entity* e = Made();
        int32_t blocks = in_.Byte() % 4;
        if (e) twin_.WithScarceMemory(blocks, [&] { twin_.Add(e); });
        break;
      }
      case 4:
        return ReleaseSpareBlocks();
      case 5:
        return twin_.NearMarkWrap(in_.Byte() % 4);
      case 6: {  // every entity steps by the same amount
        int32_t dx = in_.Number(), dy = in_.Number();
        for (Entity* e : twin_.EntitiesMade()) {
          e->x += (float)dx;
          e->y += (float)dy;
          UpdateMovedFlag(e);
        }
        break;
      }
      default:
        break;
    }
  }

  FuzzInput& in_;
  grid_model::GridTwin& twin_;
  CollisionGrid* grid_;
  int checkEvery_;
  size_t mostEntities_;
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
  // A small grid whose cell sizes may be anything; unusable ones must be refused. The first byte's
  // upper bits force a tier on it (1 the look-ahead, 2 the staged one) or, for 7, make the grid one
  // of 129 by 128 cells, whose size gives it the look-ahead tier.
  uint8_t shape = in.Byte();
  int32_t columns = 1 + shape % 16, rows = 1 + in.Byte() % 12;
  int32_t cellWidth = in.Number(32), cellHeight = in.Number(32);
  uint8_t tierBits = (shape >> 4) & 7;
  if (tierBits == 7) columns = 129, rows = 128;
  bool usable = cellWidth > 0 && cellHeight > 0 && (int64_t)columns * cellWidth <= INT32_MAX &&
                (int64_t)rows * cellHeight <= INT32_MAX;
  CollisionGrid* grid = CreateGrid(columns, rows, cellWidth, cellHeight, "fuzz", AnyID);
  Check((grid != nullptr) == usable);
  FreeGrid(grid);
  if (!usable) cellWidth = cellHeight = 32;
  std::optional<GridTier> tier;
  if (tierBits == 1) tier = GridTier::kLookAhead;
  if (tierBits == 2) tier = GridTier::kStaged;
  grid_model::GridTwin twin(columns, rows, cellWidth, cellHeight, tier);
  Check(twin.Grid() != nullptr && twin.Check().empty());
  Session session(in, twin, tierBits == 7);
  session.Run();
  return 0;
}
