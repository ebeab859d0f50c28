// A plain reference model of the demo's collision grid and its lists, written the straightforward
// way (every tail, entry and duplicate found by a linear walk), the one brute-force overlap test
// and the one list of a grid's blocks that the tests, the fuzzer and the sweep share, and GridTwin,
// which drives a real grid (of any tier) and the model alike. After every step the two must agree
// on every entity's cells, every cell's occupants and every candidate list (order included), each
// entity's cells must be those its bounds overlap, every command's result must tell what it did,
// and the real registry must hold exactly the grid's live list blocks, as many as the model holds.
#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/collision_grid.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/core/platform.h"
#include "runtime/core/text.h"

namespace grid_model {

// Every cell of the grid whose rectangle overlaps the bounds with a positive area, by its index, in
// the order a placement enters them: column by column, row by row inside each column.
inline std::vector<int64_t> OverlappedCells(const CollisionGrid* grid, const EntityBounds& b) {
  std::vector<int64_t> out;
  auto overlap = [](int64_t start, int64_t size, int64_t left, int64_t width) {
    return std::min(start + size, left + width) - std::max(start, left);
  };
  for (int32_t i = 0; i < grid->columns; ++i) {
    if (overlap((int64_t)i * grid->cellWidth, grid->cellWidth, b.left, b.width) <= 0) continue;
    for (int32_t j = 0; j < grid->rows; ++j) {
      if (overlap((int64_t)j * grid->cellHeight, grid->cellHeight, b.top, b.height) > 0)
        out.push_back((int64_t)j * grid->columns + i);
    }
  }
  return out;
}

class GridModel {
 public:
  struct Node {
    Node* next;
    Node* prev;
    intptr_t count;
    const void* item;
    Node* extra;
  };
  struct Cell {
    int64_t x, y, width, height;
    Node* occupants;
  };

  GridModel(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight)
      : columns_(columns), rows_(rows), cellWidth_(cellWidth), cellHeight_(cellHeight), cells_((size_t)columns * rows) {
    entities_ = AllocObject();
    for (int32_t i = 0; i < columns; ++i) {
      for (int32_t j = 0; j < rows; ++j) {
        cells_[(size_t)j * columns + i] = {(int64_t)i * cellWidth, (int64_t)j * cellHeight, cellWidth, cellHeight,
                                           AllocObject()};
      }
    }
  }
  ~GridModel() {
    for (Cell& c : cells_) FreeList(c.occupants);
    for (Node* e = entities_->next; e; e = e->next) FreeList(e->extra);
    FreeList(entities_);
  }
  GridModel(const GridModel&) = delete;
  GridModel& operator=(const GridModel&) = delete;

  void Add(const Entity* entity) {
    Node* entry = Append(entities_);
    entry->item = entity;
    entry->extra = AllocObject();
    Place(entity);
  }

  void Place(const Entity* entity) {
    Node* entry = FindEntry(entity);
    if (!entry) return;
    Leave(entity, entry->extra);
    EntityBounds b;
    GetEntityBounds(entity, &b);
    placed_[entity] = b;
    if (b.width <= 0 || b.height <= 0) return;  // no positive area: no cell
    int64_t c0 = (int64_t)b.left / cellWidth_ - 1, r0 = (int64_t)b.top / cellHeight_ - 1;
    int64_t c1 = c0 + b.width / cellWidth_ + 2, r1 = r0 + b.height / cellHeight_ + 2;
    if (c1 > columns_ - 1) c1 = columns_ - 1;
    if (r1 > rows_ - 1) r1 = rows_ - 1;
    if (c0 < 0) c0 = 0;
    if (r0 < 0) r0 = 0;
    Node* lastRef = entry->extra;  // the references are appended one after another
    for (int64_t i = c0; i <= c1; ++i) {
      for (int64_t j = r0; j <= r1; ++j) {
        Cell& cell = cells_[(size_t)(j * columns_ + i)];
        int64_t dx = cell.x < b.left ? b.left - (cell.x + cell.width) : cell.x - ((int64_t)b.left + b.width);
        int64_t dy = cell.y < b.top ? b.top - (cell.y + cell.height) : cell.y - ((int64_t)b.top + b.height);
        if (dx < 0 && dy < 0) {
          Append(cell.occupants)->item = entity;
          lastRef = AppendAfter(entry->extra, lastRef);
          lastRef->item = &cell;
        }
      }
    }
  }

  // What a placement that ran out of memory leaves: the entity in no cell.
  void Drop(const Entity* entity) {
    if (Node* entry = FindEntry(entity)) Leave(entity, entry->extra);
    placed_.erase(entity);
  }

  void UpdateMoved() {
    for (Node* entry = entities_->next; entry; entry = entry->next) {
      if (((const Entity*)entry->item)->moved) Place((const Entity*)entry->item);
    }
  }

  std::vector<const void*> Query(const Entity* entity) const {
    std::vector<const void*> result;
    if (Node* entry = FindEntry(entity)) {
      for (Node* ref = entry->extra->next; ref; ref = ref->next) {
        for (Node* o = ((Cell*)ref->item)->occupants->next; o; o = o->next) {
          if (o->item != entity && std::find(result.begin(), result.end(), o->item) == result.end())
            result.push_back(o->item);
        }
      }
    }
    return result;
  }

  bool Has(const Entity* entity) const { return FindEntry(entity) != nullptr; }
  std::vector<const void*> Entities() const { return Items(entities_); }
  // Each entry's cells, by index, in the order they were entered.
  std::vector<std::vector<int64_t>> EntryCells() const {
    std::vector<std::vector<int64_t>> out;
    for (Node* e = entities_->next; e; e = e->next) {
      out.emplace_back();
      for (Node* ref = e->extra->next; ref; ref = ref->next)
        out.back().push_back((const Cell*)ref->item - cells_.data());
    }
    return out;
  }
  const Node* Occupants(size_t cell) const { return cells_[cell].occupants; }
  // The bounds of the entity's last placement that was made; none after a drop.
  std::optional<EntityBounds> PlacedAt(const Entity* entity) const {
    auto p = placed_.find(entity);
    return p == placed_.end() ? std::nullopt : std::optional<EntityBounds>(p->second);
  }
  size_t LiveBlocks() const { return live_; }
  static std::vector<const void*> Items(const Node* list) {
    std::vector<const void*> out;
    for (Node* n = list->next; n; n = n->next) out.push_back(n->item);
    return out;
  }

 private:
  Node* AllocObject() {
    ++live_;
    return new Node{};
  }
  void FreeObject(Node* n) {
    --live_;
    delete n;
  }
  Node* Append(Node* list) {
    Node* last = list;
    while (last->next) last = last->next;
    return AppendAfter(list, last);
  }
  // The same for a list whose tail is known.
  Node* AppendAfter(Node* list, Node* last) {
    Node* node = AllocObject();
    list->count += 1;
    node->prev = last;
    last->next = node;
    return node;
  }
  void Remove(Node* list, Node* node) {
    node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
    FreeObject(node);
    list->count -= 1;
  }
  void Clear(Node* list) {
    list->count = 0;
    for (Node* n = list->next; n;) {
      Node* next = n->next;
      FreeObject(n);
      n = next;
    }
    list->next = nullptr;
  }
  void FreeList(Node* list) {
    Clear(list);
    FreeObject(list);
  }
  // The entity leaves every cell of its references, which are emptied.
  void Leave(const Entity* entity, Node* refs) {
    for (Node* ref = refs->next; ref; ref = ref->next) {
      Node* occupants = ((Cell*)ref->item)->occupants;
      for (Node* o = occupants->next; o; o = o->next) {
        if (o->item == entity) {
          Remove(occupants, o);
          break;
        }
      }
    }
    Clear(refs);
  }
  Node* FindEntry(const Entity* entity) const {
    for (Node* n = entities_->next; n; n = n->next) {
      if (n->item == entity) return n;
    }
    return nullptr;
  }

  int32_t columns_, rows_, cellWidth_, cellHeight_;
  std::vector<Cell> cells_;
  Node* entities_ = nullptr;
  std::map<const Entity*, EntityBounds> placed_;
  size_t live_ = 0;
};

// A new entity whose bounds are exactly the given box.
inline Entity* MakeBox(float x, float y, int32_t width, int32_t height) {
  Entity* e = CreateEntity("box", AnyID);
  if (!e) return nullptr;
  e->x = x;
  e->y = y;
  e->width = width;
  e->height = height;
  return e;
}

inline std::vector<const void*> Items(const ObjectList* list) {
  std::vector<const void*> out;
  for (ListNode* n = ObjListFirst(list); n; n = n->next) out.push_back(n->item);
  return out;
}

// The blocks the allocation registry holds, in address order.
inline std::vector<const void*> RegisteredBlocks() {
  std::vector<const void*> out;
  for (ListElement* e = gProgram.registry.info ? gProgram.registry.info->first : nullptr; e; e = e->next)
    out.push_back(*(void**)ElementData(e));
  std::sort(out.begin(), out.end());
  return out;
}

inline void AddListBlocks(const ObjectList* list, std::vector<const void*>* blocks) {
  if (!list) return;
  blocks->push_back(list);
  for (const ListNode* node = ObjListFirst(list); node; node = node->next) blocks->push_back(node);
}

// The blocks of every list the grid holds: its entity list, each entry's cell references and
// each cell's occupants, headers and nodes, in address order.
inline std::vector<const void*> GridListBlocks(const CollisionGrid* grid) {
  std::vector<const void*> blocks;
  if (!grid) return blocks;
  AddListBlocks(grid->entities, &blocks);
  for (const ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next)
    AddListBlocks(static_cast<const ObjectList*>(entry->extra), &blocks);
  for (int32_t j = 0; j < grid->rows; ++j)
    for (int32_t i = 0; i < grid->columns; ++i) AddListBlocks(GridCellAt(grid, i, j)->occupants, &blocks);
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

// A real grid and the model, driven alike. Entities are owned by the twin. A command whose result
// does not tell what it did is noted, and Check reports it.
class GridTwin {
 public:
  // tier: forced on the grid instead of the one its size gives it.
  GridTwin(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight, std::optional<GridTier> tier = {})
      : baseline_(RegisteredBlocks()),
        grid_(CreateGrid(columns, rows, cellWidth, cellHeight, "twin", AnyID)),
        model_(columns, rows, cellWidth, cellHeight) {
    if (grid_ && tier) grid_->tier = *tier;
  }
  ~GridTwin() {
    FreeGrid(grid_);
    for (Entity* e : entities_) {
      FreeString(e->name);
      FreeBlock(e);
    }
  }
  GridTwin(const GridTwin&) = delete;
  GridTwin& operator=(const GridTwin&) = delete;

  CollisionGrid* Grid() const { return grid_; }
  const std::vector<Entity*>& EntitiesMade() const { return entities_; }
  bool Scarce() const { return scarce_; }

  Entity* Make(float x, float y, int32_t width, int32_t height) {
    Entity* e = MakeBox(x, y, width, height);
    if (e) entities_.push_back(e);
    return e;
  }
  // 0 means that nothing was added, or that the entity was added but lies in no cell.
  void Add(Entity* e) {
    intptr_t before = ObjListCount(grid_->entities);
    int32_t result = AddEntityToGrid(grid_, e);
    bool added = ObjListCount(grid_->entities) == before + 1;
    if (added) model_.Add(e);
    if (added && !result) model_.Drop(e);
    Expect(result ? added : scarce_, "AddEntityToGrid's result");
  }
  // 0 for an entity not in the grid, and for one that ran out of memory and lies in no cell.
  void Place(Entity* e) {
    bool registered = model_.Has(e);
    int32_t result = PlaceEntity(grid_, e);
    if (registered) model_.Place(e);
    if (registered && !result) model_.Drop(e);
    Expect(registered ? result || scarce_ : !result, "PlaceEntity's result");
  }
  // 0 when an entity could not be placed, and then it lies in no cell: one the model placed in
  // cells but the grid in none was dropped.
  void UpdateMoved() {
    int32_t result = UpdateMovedEntities(grid_);
    model_.UpdateMoved();
    bool dropped = false;
    for (ListNode* entry = ObjListFirst(grid_->entities); entry; entry = entry->next) {
      auto* e = (const Entity*)entry->item;
      if (FindGridEntry(grid_, e) == entry && !ObjListCount((ObjectList*)entry->extra) && model_.PlacedAt(e) &&
          !Overlapped(*model_.PlacedAt(e)).empty()) {
        model_.Drop(e);
        dropped = true;
      }
    }
    Expect(result ? !dropped : scarce_, "UpdateMovedEntities' result");
  }
  // Moves the entity and updates its moved flag; nothing is re-placed yet.
  void Move(Entity* e, float x, float y) {
    e->x = x;
    e->y = y;
    UpdateMovedFlag(e);
  }
  // Runs the work with only `blocks` more list blocks of each size to be had and every other
  // allocation refused (make its entities before).
  template <typename Work>
  void WithScarceMemory(int32_t blocks, Work work) {
    ReleaseSpareBlocks();  // so that few free blocks are left to take
    std::vector<ListNode*> held;
    for (int32_t size : {kShortNodeSize, kFullNodeSize}) {
      while (gProgram.slabs[size == kFullNodeSize].free > blocks) held.push_back(AllocObject(size));
    }
    PlatformFailAllocations(1, true);
    scarce_ = true;
    work();
    scarce_ = false;
    PlatformFailAllocations(0, false);
    for (ListNode* block : held) FreeObject(block);
  }
  // The next queries that mark what they met take the last marks before the count wraps.
  void NearMarkWrap(uintptr_t marksLeft) { grid_->queryMark = UINTPTR_MAX - marksLeft; }

  // Empty when the grid and the model agree on everything, else what differs first.
  std::string Check() {
    std::ostringstream why;
    if (!problem_.empty()) return problem_;
    if (!GridValidate(grid_)) return "the grid does not validate";
    if (Items(grid_->entities) != model_.Entities()) return "the entity lists differ";
    std::vector<std::vector<int64_t>> cells = model_.EntryCells();
    size_t k = 0;
    for (ListNode* entry = ObjListFirst(grid_->entities); entry; entry = entry->next, ++k) {
      std::vector<int64_t> real;
      for (ListNode* ref = ObjListFirst((ObjectList*)entry->extra); ref; ref = ref->next)
        real.push_back((const GridCell*)ref->item - grid_->cells);
      if (real != cells[k]) return (why << "entry " << k << " lies in other cells", why.str());
      auto* e = (const Entity*)entry->item;
      std::optional<EntityBounds> at = model_.PlacedAt(e);
      if (FindGridEntry(grid_, e) == entry && real != (at ? Overlapped(*at) : std::vector<int64_t>{}))
        return (why << "entry " << k << " lies in cells its bounds do not overlap", why.str());
    }
    for (size_t c = 0; c < (size_t)grid_->columns * grid_->rows; ++c) {
      if (ObjListCount(grid_->cells[c].occupants) != model_.Occupants(c)->count ||
          (model_.Occupants(c)->count && Items(grid_->cells[c].occupants) != GridModel::Items(model_.Occupants(c))))
        return (why << "cell " << c << " has other occupants or another order", why.str());
    }
    for (size_t n = 0; n < entities_.size(); ++n) {
      ObjectList* result = QueryCandidates(grid_, entities_[n]);
      if (!result) return "a query failed";
      std::vector<const void*> real = Items(result);
      bool counted = (size_t)ObjListCount(result) == real.size();
      ObjListFree(result);
      if (!counted || real != model_.Query(entities_[n]))
        return (why << "the candidates of entity " << n << " differ", why.str());
    }
    return CheckRegistry();
  }

 private:
  std::vector<int64_t> Overlapped(const EntityBounds& b) const { return OverlappedCells(grid_, b); }
  void Expect(bool ok, const char* what) {
    if (!ok && problem_.empty()) problem_ = std::string(what) + (scarce_ ? " when memory ran out" : "") + " is wrong";
  }
  // The registry holds what it held before the grid and every live list block of the grid once,
  // as many as the model holds.
  std::string CheckRegistry() const {
    std::vector<const void*> owned = GridListBlocks(grid_);
    if (owned.size() != model_.LiveBlocks()) return "the grid holds another number of list blocks than the model";
    std::vector<const void*> expected = baseline_;
    expected.insert(expected.end(), owned.begin(), owned.end());
    std::sort(expected.begin(), expected.end());
    if (RegisteredBlocks() != expected) return "the registry does not hold exactly the live list blocks";
    return "";
  }

  std::vector<const void*> baseline_;
  CollisionGrid* grid_;
  GridModel model_;
  std::vector<Entity*> entities_;
  bool scarce_ = false;
  std::string problem_;
};

}  // namespace grid_model
