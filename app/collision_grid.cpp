// The collision grid: placement, re-placement of moved entities, the candidate query, drawing.
#include "app/collision_grid.h"

#include "runtime/core/heaps.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"

namespace {

constexpr int32_t kFirstIndexBits = 4;
constexpr int32_t kMostIndexBits = 26;  // the slot array stays below AllocBlock's limit

ObjectList* CellRefs(const ListNode* entry) { return (ObjectList*)entry->extra; }

// The entity index: Fibonacci hashing of the entity's address picks the first slot to probe.
size_t HomeSlot(int32_t bits, const void* entity) {
  return (size_t)(((uint64_t)(uintptr_t)entity * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// The entity's slot, or the free slot where it would go.
GridIndexSlot* Probe(GridIndexSlot* slots, int32_t bits, const Entity* entity) {
  size_t mask = ((size_t)1 << bits) - 1;
  for (size_t k = HomeSlot(bits, entity);; k = (k + 1) & mask) {
    if (slots[k].entity == entity || !slots[k].entity) return &slots[k];
  }
}

GridIndexSlot* FindSlot(const CollisionGrid* grid, const Entity* entity) {
  if (!grid || !entity) return nullptr;
  GridIndexSlot* slot = Probe(grid->index, grid->indexBits, entity);
  return slot->entity ? slot : nullptr;
}

// Room in the index for one more entity. The index doubles once it would be half full; without
// memory for that it takes entities on until it is three quarters full (lookups stay right, only
// the probes grow longer), and then refuses.
int32_t ReserveIndex(CollisionGrid* grid) {
  int64_t slots = (int64_t)1 << grid->indexBits;
  if (2 * ((int64_t)grid->indexed + 1) <= slots) return 1;
  int32_t bits = grid->indexBits + 1;
  auto* grown = bits <= kMostIndexBits ? (GridIndexSlot*)AllocBlock((int32_t)(sizeof(GridIndexSlot) << bits)) : nullptr;
  if (!grown) return 4 * ((int64_t)grid->indexed + 1) <= 3 * slots ? 1 : 0;
  for (int64_t k = 0; k < slots; ++k) {
    if (grid->index[k].entity) *Probe(grown, bits, grid->index[k].entity) = grid->index[k];
  }
  FreeBlock(grid->index);
  grid->index = grown;
  grid->indexBits = bits;
  return 1;
}

// Room in the order array for one more entry; 0 when memory ran out.
int32_t ReserveOrder(CollisionGrid* grid) {
  if (grid->entities->count < grid->orderCapacity) return 1;
  int64_t capacity = grid->orderCapacity ? 2 * (int64_t)grid->orderCapacity : 16;
  if (capacity * (int64_t)sizeof(Entity*) > INT32_MAX) return 0;
  auto* order = (Entity**)AllocBlock((int32_t)(capacity * (int64_t)sizeof(Entity*)));
  if (!order) return 0;
  for (intptr_t k = 0; k < grid->entities->count; ++k) order[k] = grid->order[k];
  FreeBlock(grid->order);
  grid->order = order;
  grid->orderCapacity = (int32_t)capacity;
  return 1;
}

uintptr_t MarkOf(const ObjectList* refs) { return (uintptr_t)refs->item; }
void SetMark(ObjectList* refs, uintptr_t mark) { refs->item = (void*)mark; }

uintptr_t NextQueryMark(CollisionGrid* grid) {
  if (++grid->queryMark == 0) {  // wrapped: old marks could pass for new ones, so all are cleared
    for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) SetMark(CellRefs(entry), 0);
    grid->queryMark = 1;
  }
  return grid->queryMark;
}

// The entities a query has met: the queried one and its candidates so far. The first few are
// compared in a small local array, which costs less than reading each occupant's cell-reference
// list; past that, the query marks those lists, so the test stays one read however many there are.
class CandidateSet {
 public:
  CandidateSet(CollisionGrid* grid, ObjectList* self) : grid_(grid) { seen_[count_++] = self; }
  // 1 when the occupant's entity was not met before; it counts as met from now on.
  int32_t Insert(const ListNode* occupant) {
    auto* theirs = (ObjectList*)occupant->extra;
    if (mark_) {
      if (MarkOf(theirs) == mark_) return 0;
      SetMark(theirs, mark_);
      return 1;
    }
    for (int32_t k = 0; k < count_; ++k) {
      if (seen_[k] == theirs) return 0;
    }
    if (count_ < kLocal) {
      seen_[count_++] = theirs;
      return 1;
    }
    mark_ = NextQueryMark(grid_);  // everything met so far is marked first
    for (int32_t k = 0; k < count_; ++k) SetMark(seen_[k], mark_);
    SetMark(theirs, mark_);
    return 1;
  }

 private:
  static constexpr int32_t kLocal = 16;
  CollisionGrid* grid_;
  ObjectList* seen_[kLocal];
  int32_t count_ = 0;
  uintptr_t mark_ = 0;
};

// Takes the entity out of every cell it occupies. Its occupant nodes are kept in a chain through
// their next links, for the cells it enters next; its cell references stay to be rewritten.
ListNode* LeaveCells(ObjectList* refs) {
  ListNode* spare = nullptr;
  for (ListNode* ref = ObjListFirst(refs); ref; ref = ref->next) {
    ListNode* occupant = ref->link;
    ObjListDetach(((GridCell*)ref->item)->occupants, occupant);
    occupant->next = spare;
    spare = occupant;
    ref->link = nullptr;
  }
  return spare;
}

void FreeChain(ListNode* chain) {
  while (chain) {
    ListNode* next = chain->next;
    FreeObject(chain);
    chain = next;
  }
}

// Where the entity's placement is being written: the next cell reference to rewrite (null once
// every old one is used and new ones are appended) and the spare occupant nodes.
struct Placement {
  ObjectList* refs;
  ListNode* nextRef;
  ListNode* spare;
};

// Enters the entity at the tail of the cell's occupants and the cell into its references, both
// or neither; 0 when memory ran out.
int32_t Occupy(GridCell* cell, Placement* p, Entity* entity) {
  ListNode* occupant = p->spare;
  if (occupant) {
    p->spare = occupant->next;
    ObjListAttach(cell->occupants, occupant);
  } else {
    occupant = ObjListAppend(cell->occupants);
    if (!occupant) return 0;
  }
  occupant->item = entity;
  occupant->extra = p->refs;
  ListNode* ref = p->nextRef;
  if (ref) {
    p->nextRef = ref->next;
  } else {
    ref = ObjListAppend(p->refs);
    if (!ref) {
      ObjListRemove(cell->occupants, occupant);
      return 0;
    }
  }
  ref->item = cell;
  ref->link = occupant;
  return 1;
}

// Signed gap between a cell and the bounds along one axis; negative means they overlap on it.
int64_t Gap(int64_t cellStart, int64_t cellSize, int64_t start, int64_t size) {
  return cellStart < start ? start - (cellStart + cellSize) : cellStart - (start + size);
}

// The cells whose rectangle overlaps the bounds with a positive area, visited column by column and
// row by row inside each column: the order in which an entity enters them.
class OverlappedCells {
 public:
  OverlappedCells(const CollisionGrid* grid, const EntityBounds& b) : grid_(grid), b_(b) {
    // Bounds of no positive area overlap no cell. The gap test alone would let an empty or
    // negative box inside a cell count as overlapping it.
    if (b.width <= 0 || b.height <= 0) return;
    // The candidate range is widened by a cell on each side; the gap test decides exactly.
    c0_ = (int64_t)b.left / grid->cellWidth - 1;
    r0_ = (int64_t)b.top / grid->cellHeight - 1;
    c1_ = c0_ + b.width / grid->cellWidth + 2;
    r1_ = r0_ + b.height / grid->cellHeight + 2;
    if (c1_ > grid->columns - 1) c1_ = grid->columns - 1;
    if (r1_ > grid->rows - 1) r1_ = grid->rows - 1;
    if (c0_ < 0) c0_ = 0;
    if (r0_ < 0) r0_ = 0;
    i_ = c0_;
    j_ = r0_ - 1;
  }
  // The next cell, or null after the last. A cell's rectangle is its column and row times the
  // cell size (as InitGridCells sets it), so the cell records are not read.
  GridCell* Next() {
    while (i_ <= c1_) {
      if (++j_ > r1_) {
        ++i_;
        j_ = r0_ - 1;
        continue;
      }
      if (Gap(i_ * grid_->cellWidth, grid_->cellWidth, b_.left, b_.width) < 0 &&
          Gap(j_ * grid_->cellHeight, grid_->cellHeight, b_.top, b_.height) < 0)
        return &grid_->cells[j_ * grid_->columns + i_];
    }
    return nullptr;
  }

 private:
  const CollisionGrid* grid_;
  EntityBounds b_;
  int64_t c0_ = 0, c1_ = -1, r0_ = 0, r1_ = -1, i_ = 0, j_ = 0;
};

// Re-placing an entity into the cells it already occupies only moves it to the tail of each
// cell's occupants. 0, with nothing changed, when the cells differ.
int32_t StayInCells(const CollisionGrid* grid, const EntityBounds& b, ObjectList* refs) {
  OverlappedCells cells(grid, b);
  ListNode* ref = ObjListFirst(refs);
  for (GridCell* cell = cells.Next(); cell; cell = cells.Next(), ref = ref->next) {
    if (!ref || ref->item != cell) return 0;
  }
  if (ref) return 0;
  for (ref = ObjListFirst(refs); ref; ref = ref->next) {
    ListNode* occupant = ref->link;
    if (!occupant->next) continue;  // the tail already
    ObjectList* occupants = ((GridCell*)ref->item)->occupants;
    ObjListDetach(occupants, occupant);
    ObjListAttach(occupants, occupant);
  }
  return 1;
}

// Enters the entity into every cell its bounds overlap; 0 when memory ran out.
int32_t EnterCells(const CollisionGrid* grid, const EntityBounds& b, Placement* p, Entity* entity) {
  OverlappedCells cells(grid, b);
  for (GridCell* cell = cells.Next(); cell; cell = cells.Next()) {
    if (!Occupy(cell, p, entity)) return 0;
  }
  return 1;
}

}  // namespace

CollisionGrid* CreateGrid(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight, const char* name,
                          ObjectNumber number) {
  if (columns <= 0 || rows <= 0 || cellWidth <= 0 || cellHeight <= 0) return nullptr;
  if ((int64_t)columns * cellWidth > INT32_MAX || (int64_t)rows * cellHeight > INT32_MAX) return nullptr;
  if ((int64_t)columns * rows > INT32_MAX / (int64_t)sizeof(GridCell)) return nullptr;
  auto* grid = (CollisionGrid*)AllocBlock((int32_t)sizeof(CollisionGrid));
  if (!grid) return nullptr;
  NewStringCopy(&grid->name, name);
  grid->number = number;
  grid->columns = columns;
  grid->rows = rows;
  grid->cellWidth = cellWidth;
  grid->cellHeight = cellHeight;
  grid->entities = AllocObject(kFullNodeSize);
  grid->index = (GridIndexSlot*)AllocBlock((int32_t)(sizeof(GridIndexSlot) << kFirstIndexBits));
  grid->indexBits = kFirstIndexBits;
  if ((name && !grid->name) || !grid->entities || !grid->index || !InitGridCells(grid)) {
    FreeGrid(grid);
    return nullptr;
  }
  return grid;
}

int32_t InitGridCells(CollisionGrid* grid) {
  if (!grid) return 0;
  grid->cells = (GridCell*)AllocBlock((int32_t)((int64_t)grid->columns * grid->rows * (int64_t)sizeof(GridCell)));
  if (!grid->cells) return 0;
  for (int32_t i = 0; i < grid->columns; ++i) {
    for (int32_t j = 0; j < grid->rows; ++j) {
      GridCell* cell = &grid->cells[(int64_t)j * grid->columns + i];
      cell->x = i * grid->cellWidth;
      cell->y = j * grid->cellHeight;
      cell->width = grid->cellWidth;
      cell->height = grid->cellHeight;
      cell->occupants = AllocObject(kFullNodeSize);
      if (!cell->occupants) return 0;
    }
  }
  return 1;
}

int32_t AddEntityToGrid(CollisionGrid* grid, Entity* entity) {
  if (!grid || !entity || !ReserveOrder(grid)) return 0;
  // An entity added again keeps its first entry in the index; a new one needs room there.
  bool known = FindSlot(grid, entity) != nullptr;
  if (!known && !ReserveIndex(grid)) return 0;
  ListNode* entry = ObjListAppend(grid->entities);
  if (!entry) return 0;
  entry->item = entity;
  grid->order[grid->entities->count - 1] = entity;
  entry->extra = AllocObject(kShortNodeSize);
  if (!entry->extra) {
    ObjListRemove(grid->entities, entry);
    return 0;
  }
  if (!known) {
    *Probe(grid->index, grid->indexBits, entity) = {entity, entry, CellRefs(entry)};
    ++grid->indexed;
  }
  return PlaceEntity(grid, entity);
}

int32_t PlaceEntity(CollisionGrid* grid, Entity* entity) {
  GridIndexSlot* slot = FindSlot(grid, entity);
  if (!slot) return 0;
  EntityBounds b;
  GetEntityBounds(entity, &b);
  if (StayInCells(grid, b, slot->refs)) return 1;
  // Out of every old cell first, then into the new ones, the old nodes re-used where they fit: the
  // lists end up as if every old node were freed and new ones appended.
  Placement p{slot->refs, nullptr, nullptr};
  p.spare = LeaveCells(p.refs);
  p.nextRef = ObjListFirst(p.refs);
  int32_t placed = EnterCells(grid, b, &p, entity);
  while (ListNode* ref = p.nextRef) {
    p.nextRef = ref->next;
    ObjListRemove(p.refs, ref);
  }
  FreeChain(p.spare);
  if (!placed) {  // a half-done placement is undone: the entity lies in no cell
    FreeChain(LeaveCells(p.refs));
    ObjListClear(p.refs);
  }
  return placed;
}

int32_t UpdateMovedEntities(CollisionGrid* grid) {
  if (!grid) return 0;
  int32_t placed = 1;
  for (intptr_t k = 0; k < grid->entities->count; ++k) {
    Entity* entity = grid->order[k];
    if (entity->moved && !PlaceEntity(grid, entity)) placed = 0;
  }
  return placed;
}

ObjectList* QueryCandidates(CollisionGrid* grid, const Entity* entity) {
  if (!grid) return nullptr;
  ObjectList* result = AllocObject(kFullNodeSize);
  if (!result) return nullptr;
  GridIndexSlot* slot = FindSlot(grid, entity);
  if (!slot) return result;
  CandidateSet met(grid, slot->refs);
  for (ListNode* ref = ObjListFirst(slot->refs); ref; ref = ref->next) {
    for (ListNode* occupant = ObjListFirst(((GridCell*)ref->item)->occupants); occupant; occupant = occupant->next) {
      if (!met.Insert(occupant)) continue;
      ListNode* candidate = ObjListAppend(result);
      if (!candidate) {  // an incomplete list would pass for the answer
        ObjListFree(result);
        return nullptr;
      }
      candidate->item = occupant->item;
    }
  }
  return result;
}

void DrawGrid(const CollisionGrid* grid) {
  if (!grid) return;
  for (int32_t i = 0; i < grid->columns; ++i) {
    for (int32_t j = 0; j < grid->rows; ++j) {
      const GridCell* cell = GridCellAt(grid, i, j);
      uint32_t colour = ObjListCount(cell->occupants) > 0 ? kCellOccupiedColour : kCellEmptyColour;
      DrawRect(cell->x, cell->y, cell->width, cell->height, colour);
    }
  }
}

void FreeGrid(CollisionGrid* grid) {
  if (!grid) return;
  if (grid->cells) {
    for (int64_t k = 0; k < (int64_t)grid->columns * grid->rows; ++k) ObjListFree(grid->cells[k].occupants);
    FreeBlock(grid->cells);
  }
  for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) ObjListFree(CellRefs(entry));
  ObjListFree(grid->entities);
  FreeBlock(grid->index);
  FreeBlock(grid->order);
  FreeString(grid->name);
  FreeBlock(grid);
}

GridCell* GridCellAt(const CollisionGrid* grid, int32_t column, int32_t row) {
  if (!grid || column < 0 || row < 0 || column >= grid->columns || row >= grid->rows) return nullptr;
  return &grid->cells[(int64_t)row * grid->columns + column];
}

ListNode* FindGridEntry(const CollisionGrid* grid, const Entity* entity) {
  GridIndexSlot* slot = FindSlot(grid, entity);
  return slot ? slot->entry : nullptr;
}

namespace {

// Every entity in the index is found by its own probe, names an entry of that entity and the
// entry's references, and the index counts them and is at most three quarters full.
int32_t IndexValidate(const CollisionGrid* grid) {
  if (!grid->index || grid->indexBits < kFirstIndexBits || grid->indexBits > kMostIndexBits) return 0;
  int64_t slots = (int64_t)1 << grid->indexBits, used = 0;
  if (4 * (int64_t)grid->indexed > 3 * slots) return 0;
  for (int64_t k = 0; k < slots; ++k) {
    const GridIndexSlot& slot = grid->index[k];
    if (!slot.entity) continue;
    ++used;
    if (FindSlot(grid, slot.entity) != &slot || !slot.entry || slot.entry->item != slot.entity ||
        slot.refs != CellRefs(slot.entry))
      return 0;
  }
  return used == grid->indexed ? 1 : 0;
}

// The entity's cell references: each names a distinct cell of this grid, and the one occupant node
// of the entity in that cell, which points back at the references.
int32_t CellRefsValidate(const CollisionGrid* grid, const Entity* entity, const ObjectList* refs) {
  for (ListNode* ref = ObjListFirst(refs); ref; ref = ref->next) {
    auto* cell = (const GridCell*)ref->item;
    int64_t index = cell - grid->cells;
    if (index < 0 || index >= (int64_t)grid->columns * grid->rows || &grid->cells[index] != cell) return 0;
    if (ObjListFind(refs, cell) != ref) return 0;  // each cell at most once
    int32_t seen = 0;
    bool linked = false;
    for (ListNode* o = ObjListFirst(cell->occupants); o; o = o->next) {
      seen += o->item == entity;
      linked = linked || o == ref->link;
    }
    if (seen != 1 || !linked || ref->link->item != entity || ref->link->extra != refs) return 0;
  }
  return 1;
}

}  // namespace

int32_t GridValidate(const CollisionGrid* grid) {
  if (!grid || !ObjListValidate(grid->entities) || grid->entities->size != kFullNodeSize) return 0;
  if (!IndexValidate(grid)) return 0;
  if (grid->entities->count > grid->orderCapacity || (grid->orderCapacity && !grid->order)) return 0;
  int64_t placements = 0, distinct = 0, position = 0;
  for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) {
    auto* entity = (const Entity*)entry->item;
    if (grid->order[position++] != entity || entry->link) return 0;
    ObjectList* refs = CellRefs(entry);
    if (!entity || !ObjListValidate(refs) || refs->size != kShortNodeSize) return 0;
    if (MarkOf(refs) > grid->queryMark) return 0;
    // The index names each entity's first entry; only that one is ever placed, later ones keep an
    // empty reference list.
    ListNode* first = FindGridEntry(grid, entity);
    if (first != ObjListFind(grid->entities, entity)) return 0;
    if (first != entry) {
      if (ObjListCount(refs) != 0) return 0;
      continue;
    }
    ++distinct;
    if (!CellRefsValidate(grid, entity, refs)) return 0;
    placements += ObjListCount(refs);
  }
  if (distinct != grid->indexed) return 0;
  // Every occupant must be backed by a cell reference: the totals then match exactly.
  int64_t occupants = 0;
  for (int64_t k = 0; k < (int64_t)grid->columns * grid->rows; ++k) {
    const GridCell& cell = grid->cells[k];
    // Placement computes a cell's rectangle from its column and row rather than reading it.
    if (cell.x != k % grid->columns * grid->cellWidth || cell.y != k / grid->columns * grid->cellHeight ||
        cell.width != grid->cellWidth || cell.height != grid->cellHeight)
      return 0;
    const ObjectList* list = cell.occupants;
    if (!ObjListValidate(list) || list->size != kFullNodeSize) return 0;
    for (ListNode* o = ObjListFirst(list); o; o = o->next) {
      if (o->link) return 0;
    }
    occupants += ObjListCount(list);
  }
  return occupants == placements ? 1 : 0;
}
