// The collision grid: placement, re-placement of moved entities, the candidate query, drawing.
#include "app/collision_grid.h"

#include <algorithm>

#include "runtime/core/heaps.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"

namespace {

constexpr int32_t kFirstIndexBits = 4;
constexpr int32_t kMostIndexBits = 26;    // the slot array stays below AllocBlock's limit
constexpr int32_t kMirrorPieceBits = 12;  // cells per piece of the mirror: 4,096
constexpr int32_t kMirrorPieceCells = 1 << kMirrorPieceBits;
constexpr int32_t kLocalOccupants = 2;
constexpr int32_t kFirstSpill = 8;
constexpr int32_t kPlacementBatch = 16;               // moved entities whose memory is asked for together
constexpr int32_t kFlagsAhead = 2 * kPlacementBatch;  // how far ahead moved flags are asked for
constexpr int32_t kHeldMoves = 4 * kPlacementBatch;   // moved entities held at most before they are placed
constexpr int32_t kCellsAhead = 2;                    // placements ahead whose mirrors are asked for
constexpr intptr_t kCachedEntities = 4096;            // more, and their records outgrow the caches

}  // namespace

// An occupant as a cell's mirror holds it.
struct OccupantCopy {
  Entity* entity;
  ListNode* node;  // the entity's node in the cell's occupant list
  ListNode* ref;   // the entity's cell reference that names the cell
};

// A cell's occupants in list order, kept in step with the list by every placement. A query reads
// them here (one cache line for most cells) instead of chasing the list's nodes, and a placement
// finds an occupant's neighbours here, so that it only writes the list's nodes and never has to
// read them.
struct CellMirror {
  int32_t count;
  int32_t capacity;       // the spill array's; 0 while the occupants lie in local
  ObjectList* occupants;  // the cell's list, as its GridCell names it
  union {
    OccupantCopy local[kLocalOccupants];
    OccupantCopy* spill;  // from AllocBlock; freed when the cell empties
  };
};
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(CellMirror) == 64, "a mirror fills one cache line");
#endif

namespace {

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

// Room in the index for one more entity. The index doubles once it would be a quarter full (most
// lookups then end at their first slot); without memory for that it takes entities on until it is
// three quarters full (lookups stay right, only the probes grow longer), and then refuses.
int32_t ReserveIndex(CollisionGrid* grid) {
  int64_t slots = (int64_t)1 << grid->indexBits;
  if (4 * ((int64_t)grid->indexed + 1) <= slots) return 1;
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

// The cells an entity occupies: a rectangle of columns and rows, entered column by column and row
// by row inside each column. Empty is always {0, -1, 0, -1}.
struct CellRange {
  int32_t c0, c1, r0, r1;
  bool Empty() const { return c0 > c1; }
  // One test of four comparisons: whether a cell lies in a range follows no pattern.
  bool Holds(int32_t i, int32_t j) const { return (c0 <= i) & (i <= c1) & (r0 <= j) & (j <= r1); }
  int64_t Cells() const { return Empty() ? 0 : ((int64_t)c1 - c0 + 1) * ((int64_t)r1 - r0 + 1); }
  bool operator==(const CellRange&) const = default;
};
constexpr CellRange kNoCells{0, -1, 0, -1};

// Calls visit(i, j) for every cell of the range in its order, column by column. One loop over all
// the cells rather than one per column: ranges span one to three columns and rows at random, and
// a single loop's end is mispredicted once per range rather than once per column.
template <typename Visit>
[[gnu::always_inline]] inline void ForEachCell(const CellRange& r, Visit visit) {
  int32_t i = r.c0, j = r.r0;
  for (int64_t n = r.Cells(); n > 0; --n) {
    visit(i, j);
    int32_t wrap = j == r.r1;
    i += wrap;
    j = wrap ? r.r0 : j + 1;
  }
}

// a / b rounded down, for b > 0; a shift when b is a power of two (the demo's cells are 32 wide).
int64_t FloorDiv(int64_t a, int32_t b) {
  if ((b & (b - 1)) == 0) return a >> __builtin_ctz((uint32_t)b);
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The cells (first and last, clipped to the count) whose span overlaps start..start + size with a
// positive length along one axis; false when there are none.
bool SpanCells(int64_t start, int64_t size, int32_t cellSize, int32_t count, int32_t* first, int32_t* last) {
  if (size <= 0) return false;
  int64_t a = FloorDiv(start, cellSize), b = FloorDiv(start + size - 1, cellSize);
  if (a < 0) a = 0;
  if (b > count - 1) b = count - 1;
  if (a > b) return false;
  *first = (int32_t)a;
  *last = (int32_t)b;
  return true;
}

// The cells whose rectangle overlaps the bounds with a positive area: those the plain algorithm's
// widened range and gap test pick.
[[gnu::always_inline]] inline CellRange RangeOf(const CollisionGrid* grid, const EntityBounds& b) {
  CellRange r;
  if (!SpanCells(b.left, b.width, grid->cellWidth, grid->columns, &r.c0, &r.c1) ||
      !SpanCells(b.top, b.height, grid->cellHeight, grid->rows, &r.r0, &r.r1))
    return kNoCells;
  return r;
}

CellRange RangeOf(const GridIndexSlot* slot) {
  return {slot->firstColumn, slot->lastColumn, slot->firstRow, slot->lastRow};
}

void SetRange(GridIndexSlot* slot, const CellRange& r) {
  slot->firstColumn = r.c0;
  slot->lastColumn = r.c1;
  slot->firstRow = r.r0;
  slot->lastRow = r.r1;
}

int64_t CellIndex(const CollisionGrid* grid, int32_t i, int32_t j) { return (int64_t)j * grid->columns + i; }

CellMirror* MirrorAt(const CollisionGrid* grid, int64_t cell) {
  return &grid->mirror[cell >> kMirrorPieceBits][cell & (kMirrorPieceCells - 1)];
}

// A value the compiler must take as unknown: a select built on it stays a select. Without this,
// the compiler turns a select whose operand is loaded from memory back into a branch.
template <typename T>
[[gnu::always_inline]] inline T Opaque(T value) {
  asm("" : "+r"(value));
  return value;
}

// Picked by a select, not a branch: whether a cell has spilled follows no pattern a branch could
// learn. The union's word is read either way, as the spill array or as the first local entity.
OccupantCopy* Entries(CellMirror* m) {
  uintptr_t spilled = Opaque((uintptr_t)0 - (m->capacity != 0));
  return (OccupantCopy*)(((uintptr_t)m->spill & spilled) | ((uintptr_t)m->local & ~spilled));
}

// A cell's crowd byte, kept in step with its mirror's count by every change of the cell.
void Recount(uint8_t* crowd, const CellMirror* m) { *crowd = (uint8_t)std::min(m->count, 255); }

// Whether the cell holds an occupant besides the one entity that lies in it and is being placed
// or asked about: only then is the cell's mirror read.
bool Crowded(const CollisionGrid* grid, int64_t cell) { return grid->crowd[cell] > 1; }

// Whether the grid is too large for its bookkeeping to stay in the cache: only then is it worth
// asking for memory ahead of its use.
bool Uncached(const CollisionGrid* grid) {
  constexpr int64_t kCachedCells = 16384;  // a megabyte of mirrors
  return (int64_t)grid->columns * grid->rows > kCachedCells;
}

// Whether the grid's bookkeeping outgrows even a large last-level cache, so that a placement waits
// on main memory: only then do batched placements (UpdateMovedEntities) gain more than the work
// of asking ahead costs them.
bool BeyondLastLevel(const CollisionGrid* grid) {
  constexpr int64_t kLastLevelCells = 1 << 18;  // 16 megabytes of mirrors, as much of cell headers
  return (int64_t)grid->columns * grid->rows > kLastLevelCells;
}

// Asks for the mirrors of the range's cells (of the first few, for a large range) to be brought
// into the cache together, rather than one after another as they are visited. A small grid's
// mirrors stay in the cache anyway.
void PrefetchMirrors(const CollisionGrid* grid, const CellRange& r) {
  constexpr int32_t kMostPrefetched = 16;
  if (!Uncached(grid)) return;
  int32_t n = 0;
  for (int32_t i = r.c0; i <= r.c1 && n < kMostPrefetched; ++i) {
    for (int32_t j = r.r0; j <= r.r1 && n < kMostPrefetched; ++j, ++n)
      __builtin_prefetch(MirrorAt(grid, CellIndex(grid, i, j)), 1);
  }
}

// The same for the cells a placement leaves, keeps and enters.
void PrefetchMirrors(const CollisionGrid* grid, const CellRange& from, const CellRange& to) {
  PrefetchMirrors(grid, from);
  if (!(to == from)) PrefetchMirrors(grid, to);
}

// The same for the mirrors a query reads: those of the range's cells that hold other occupants.
void PrefetchCrowded(const CollisionGrid* grid, const CellRange& r) {
  if (!Uncached(grid)) return;
  ForEachCell(r, [&](int32_t i, int32_t j) {
    int64_t cell = CellIndex(grid, i, j);
    if (Crowded(grid, cell)) __builtin_prefetch(MirrorAt(grid, cell));
  });
}

// Where the entity stands among the cell's occupants; -1 when it is not there.
int32_t PositionOf(CellMirror* m, const Entity* entity) {
  OccupantCopy* e = Entries(m);
  for (int32_t k = 0; k < m->count; ++k) {
    if (e[k].entity == entity) return k;
  }
  return -1;
}

// Room for one more occupant in the cell's mirror; 0 when memory ran out.
int32_t ReserveOccupant(CellMirror* m) {
  int32_t room = m->capacity ? m->capacity : kLocalOccupants;
  if (m->count < room) return 1;
  int64_t capacity = m->capacity ? 2 * (int64_t)m->capacity : kFirstSpill;
  if (capacity * (int64_t)sizeof(OccupantCopy) > INT32_MAX) return 0;
  auto* spill = (OccupantCopy*)AllocBlock((int32_t)(capacity * (int64_t)sizeof(OccupantCopy)));
  if (!spill) return 0;
  OccupantCopy* e = Entries(m);
  for (int32_t k = 0; k < m->count; ++k) spill[k] = e[k];
  if (m->capacity) FreeBlock(m->spill);
  m->spill = spill;
  m->capacity = (int32_t)capacity;
  return 1;
}

// The list operations, done from the mirror: the neighbours a node is linked between are read
// from the mirror, and the list's nodes and header are only written.

// Takes the occupant at position k out of the cell's list, as ObjListDetach does.
ListNode* Unlink(CellMirror* m, int32_t k, uint8_t* crowd) {
  OccupantCopy* e = Entries(m);
  ObjectList* list = m->occupants;
  ListNode* node = e[k].node;
  ListNode* prev = k ? e[k - 1].node : list;
  ListNode* next = k + 1 < m->count ? e[k + 1].node : nullptr;
  prev->next = next;
  if (next)
    next->prev = prev;
  else
    list->prev = k ? prev : nullptr;
  node->prev = node->next = nullptr;
  for (int32_t n = k + 1; n < m->count; ++n) e[n - 1] = e[n];
  m->count -= 1;
  list->count = m->count;
  Recount(crowd, m);
  return node;
}

// Links the node at the tail of the cell's list, as ObjListAttach does; the mirror has room.
void Append(CellMirror* m, const OccupantCopy& occupant, uint8_t* crowd) {
  ListNode* node = occupant.node;
  OccupantCopy* e = Entries(m);
  ObjectList* list = m->occupants;
  ListNode* last = m->count ? e[m->count - 1].node : list;
  last->next = node;
  node->prev = last;
  node->next = nullptr;
  list->prev = node;
  e[m->count++] = occupant;
  list->count = m->count;
  Recount(crowd, m);
}

// The occupant at position k moves to the tail of the cell's list, as Unlink and Append would move
// it in one step.
[[gnu::noinline]] void MoveToTail(CellMirror* m, int32_t k) {
  int32_t last = m->count - 1;
  OccupantCopy* e = Entries(m);
  if (k != last) {
    OccupantCopy occupant = e[k];
    ListNode* prev = k ? e[k - 1].node : m->occupants;
    ListNode* next = e[k + 1].node;
    prev->next = next;
    next->prev = prev;
    e[last].node->next = occupant.node;
    occupant.node->prev = e[last].node;
    occupant.node->next = nullptr;
    m->occupants->prev = occupant.node;
    for (int32_t n = k; n < last; ++n) e[n] = e[n + 1];
    e[last] = occupant;
  }
}

// The same for the entity, which is often the tail already (a cell holds few occupants).
[[gnu::always_inline]] inline void MoveToTail(CellMirror* m, const Entity* entity) {
  if (Entries(m)[m->count - 1].entity != entity) MoveToTail(m, PositionOf(m, entity));
}

// A cell that empties gives its spill array back.
void ReleaseSpill(CellMirror* m) {
  if (m->count || !m->capacity) return;
  FreeBlock(m->spill);
  m->spill = nullptr;
  m->capacity = 0;
}

// The candidates a query has met so far (the queried entity itself is told apart before). The
// first few are compared in a small local array, which costs less than reading each occupant's
// cell-reference list; past that, the query marks those lists, so the test stays one read however
// many there are.
class CandidateSet {
 public:
  explicit CandidateSet(CollisionGrid* grid) : grid_(grid) {}
  // 1 when the occupant's entity was not met before; it counts as met from now on.
  int32_t Insert(const OccupantCopy& occupant) {
    if (mark_) {
      ObjectList* theirs = RefsOf(occupant.node);
      if (MarkOf(theirs) == mark_) return 0;
      SetMark(theirs, mark_);
      return 1;
    }
    for (int32_t k = 0; k < count_; ++k) {
      if (entities_[k] == occupant.entity) return 0;
    }
    if (count_ < kLocal) {
      entities_[count_] = occupant.entity;
      nodes_[count_++] = occupant.node;
      return 1;
    }
    mark_ = NextQueryMark(grid_);  // everything met so far is marked first
    for (int32_t k = 0; k < count_; ++k) SetMark(RefsOf(nodes_[k]), mark_);
    SetMark(RefsOf(occupant.node), mark_);
    return 1;
  }

 private:
  static ObjectList* RefsOf(const ListNode* node) { return (ObjectList*)node->extra; }
  static constexpr int32_t kLocal = 16;
  CollisionGrid* grid_;
  const Entity* entities_[kLocal];
  const ListNode* nodes_[kLocal];
  int32_t count_ = 0;
  uintptr_t mark_ = 0;
};

// Takes the entity out of every cell its references name, and out of its references: it lies in
// no cell.
void Evict(CollisionGrid* grid, GridIndexSlot* slot) {
  for (ListNode* ref = ObjListFirst(slot->refs); ref; ref = ref->next) {
    int64_t cell = (GridCell*)ref->item - grid->cells;
    CellMirror* m = MirrorAt(grid, cell);
    FreeObject(Unlink(m, PositionOf(m, slot->entity), &grid->crowd[cell]));
    ReleaseSpill(m);
  }
  ObjListClear(slot->refs);
  SetRange(slot, kNoCells);
}

// Nodes set aside during a placement: the first few in a local array, so that taking one back
// does not wait for its cache line; more are chained through their next words.
class NodeStack {
 public:
  NodeStack() = default;
  NodeStack(const NodeStack&) = delete;
  NodeStack& operator=(const NodeStack&) = delete;
  ~NodeStack() {  // what was not taken back is freed
    while (ListNode* node = Pop()) FreeObject(node);
  }
  void Push(ListNode* node) {
    if (count_ < kLocal) {
      local_[count_++] = node;
    } else {
      node->next = chain_;
      chain_ = node;
    }
  }
  ListNode* Pop() {
    if (ListNode* node = chain_) {
      chain_ = node->next;
      node->next = nullptr;
      return node;
    }
    return count_ ? local_[--count_] : nullptr;
  }
  // A node set aside, or else a new block of the size; null when memory ran out.
  ListNode* PopOrMake(int32_t size) {
    ListNode* node = Pop();
    return node ? node : AllocObject(size);
  }

 private:
  static constexpr int32_t kLocal = 32;
  ListNode* local_[kLocal];
  int32_t count_ = 0;
  ListNode* chain_ = nullptr;
};

// Moves the entity from the cells of one range to those of another, as the plain algorithm's
// leaving every old cell and entering every new one leaves the lists: out of the cells it leaves,
// at the tail of every cell it lies in afterwards, its references the new cells in order. Nodes
// are re-used: a cell it stays in keeps the entity's occupant node and reference (found through
// the mirror rather than by walking the reference list, and linked anew), a cell it enters takes
// those of a cell it leaves, or new ones. When memory runs out for a cell it enters, the cells
// after it are entered only where the entity stays, and the entity is then taken out of every
// cell: as if it had been taken out of its old cells, nothing else changes (then 0).
int32_t MoveBetween(CollisionGrid* grid, GridIndexSlot* slot, Entity* entity, const CellRange& from,
                    const CellRange& to) {
  ObjectList* refs = slot->refs;
  int64_t freed = from.Cells() - to.Cells();
  NodeStack occupants, cellRefs;  // nodes set aside: what is left in them at the end is freed
  // The cells entered beyond those left take new nodes, made before the walks: on a large grid,
  // making them overlaps the waits for the cells' memory. One that could not be made is asked for
  // again where it is needed.
  for (int64_t k = freed; k < 0; ++k) {
    ListNode* node = AllocObject(kFullNodeSize);
    ListNode* ref = AllocObject(kShortNodeSize);
    if (node) occupants.Push(node);
    if (ref) cellRefs.Push(ref);
  }
  ForEachCell(from, [&](int32_t i, int32_t j) {
    int64_t cell = CellIndex(grid, i, j);
    CellMirror* m = MirrorAt(grid, cell);
    if (to.Holds(i, j)) {
      MoveToTail(m, entity);
      return;
    }
    int32_t k = PositionOf(m, entity);
    ListNode* ref = Entries(m)[k].ref;
    ListNode* node = Unlink(m, k, &grid->crowd[cell]);
    if (freed > 0) {  // the first ones set aside are those left over, and freed at the end
      --freed;
      PrefetchRecord(node);
      PrefetchRecord(ref);
    }
    cellRefs.Push(ref);
    occupants.Push(node);
    ReleaseSpill(m);
  });
  bool room = true;
  int64_t linked = 0;
  ListNode* last = refs;
  ForEachCell(to, [&](int32_t i, int32_t j) {
    int64_t cell = CellIndex(grid, i, j);
    CellMirror* m = MirrorAt(grid, cell);
    if (!from.Holds(i, j)) {
      if (!room) return;
      ListNode* node = occupants.PopOrMake(kFullNodeSize);
      ListNode* ref = cellRefs.PopOrMake(kShortNodeSize);
      room = node && ref && ReserveOccupant(m);
      if (!room) {  // what was taken is freed at the end
        if (node) occupants.Push(node);
        if (ref) cellRefs.Push(ref);
        return;
      }
      node->item = entity;
      node->extra = refs;
      ref->item = &grid->cells[cell];
      ref->link = node;
      Append(m, {entity, node, ref}, &grid->crowd[cell]);
    }
    ListNode* ref = Entries(m)[m->count - 1].ref;
    ref->prev = last;
    last->next = ref;
    last = ref;
    ++linked;
  });
  last->next = nullptr;
  refs->prev = last == refs ? nullptr : last;
  refs->count = (intptr_t)linked;
  if (!room) {
    Evict(grid, slot);
    return 0;
  }
  SetRange(slot, to);
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
  int64_t cells = (int64_t)grid->columns * grid->rows;
  grid->cells = (GridCell*)AllocBlock((int32_t)(cells * (int64_t)sizeof(GridCell)));
  grid->crowd = (uint8_t*)AllocBlock((int32_t)cells);  // every cell empty
  if (!grid->cells || !grid->crowd) return 0;
  // The mirror's pieces, each cache-line aligned inside its block, whose address it keeps in the
  // word just before.
  int64_t pieces = (cells + kMirrorPieceCells - 1) >> kMirrorPieceBits;
  grid->mirror = (CellMirror**)AllocBlock((int32_t)(pieces * (int64_t)sizeof(CellMirror*)));
  if (!grid->mirror) return 0;
  for (int64_t p = 0; p < pieces; ++p) {
    int64_t n = std::min<int64_t>(kMirrorPieceCells, cells - (p << kMirrorPieceBits));
    auto* block = (char*)AllocBlock((int32_t)(64 + n * (int64_t)sizeof(CellMirror)));
    if (!block) return 0;
    auto* piece = (CellMirror*)(((uintptr_t)block + sizeof(void*) + 63) & ~(uintptr_t)63);
    ((void**)piece)[-1] = block;
    grid->mirror[p] = piece;
    grid->mirrorPieces = (int32_t)(p + 1);
  }
  for (int32_t i = 0; i < grid->columns; ++i) {
    for (int32_t j = 0; j < grid->rows; ++j) {
      GridCell* cell = &grid->cells[CellIndex(grid, i, j)];
      cell->x = i * grid->cellWidth;
      cell->y = j * grid->cellHeight;
      cell->width = grid->cellWidth;
      cell->height = grid->cellHeight;
      cell->occupants = AllocObject(kFullNodeSize);
      if (!cell->occupants) return 0;
      MirrorAt(grid, CellIndex(grid, i, j))->occupants = cell->occupants;
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
    GridIndexSlot* slot = Probe(grid->index, grid->indexBits, entity);
    *slot = {entity, entry, CellRefs(entry), 0, 0, 0, 0};
    SetRange(slot, kNoCells);
    ++grid->indexed;
  }
  return PlaceEntity(grid, entity);
}

namespace {

// Places the entity of the slot into the cells of the range; prefetch asks for their mirrors
// first (a placement prepared ahead had them asked for then).
[[gnu::always_inline]] inline int32_t PlaceInto(CollisionGrid* grid, GridIndexSlot* slot, Entity* entity,
                                                const CellRange& to, bool prefetch) {
  CellRange from = RangeOf(slot);
  if (from == to) {  // the same cells: the entity only moves to the tail of those it shares
    ForEachCell(from, [&](int32_t i, int32_t j) {
      int64_t cell = CellIndex(grid, i, j);
      if (Crowded(grid, cell)) MoveToTail(MirrorAt(grid, cell), entity);
    });
    return 1;
  }
  if (prefetch) PrefetchMirrors(grid, from, to);
  return MoveBetween(grid, slot, entity, from, to);
}

}  // namespace

int32_t PlaceEntity(CollisionGrid* grid, Entity* entity) {
  GridIndexSlot* slot = FindSlot(grid, entity);
  if (!slot) return 0;
  return PlaceInto(grid, slot, entity, RangeOf(grid, BoundsOf(*entity)), true);
}

namespace {

// The index slots a batch of placements starts from, asked for together.
void PrefetchIndexSlots(const CollisionGrid* grid, Entity* const* batch, int32_t count) {
  for (int32_t k = 0; k < count; ++k) __builtin_prefetch(&grid->index[HomeSlot(grid->indexBits, batch[k])], 0);
}

// A placement found out ahead: the entity's index slot (null for an entity not in the grid), the
// cells it lies in and those it will lie in.
struct CellMove {
  GridIndexSlot* slot;
  CellRange from, to;
};

// The entity's placement, with the mirrors of its cells, old and new, asked for ahead of it.
CellMove PrefetchCells(const CollisionGrid* grid, const Entity* entity) {
  GridIndexSlot* slot = FindSlot(grid, entity);
  if (!slot) return {nullptr, kNoCells, kNoCells};
  CellMove move{slot, RangeOf(slot), RangeOf(grid, BoundsOf(*entity))};
  PrefetchMirrors(grid, move.from, move.to);
  return move;
}

// The memory a batch of placements will read and write, asked for a stage at a time over the
// whole batch before any of them is placed: the entities' index slots, then their cells' mirrors,
// then the list nodes those mirrors name. Each stage waits for memory at most once rather than
// once per entity. Only hints: the placements themselves find everything anew. Kept out of line:
// inlined, it crowded the registers of every grid's batch loop, which only the largest grids need.
[[gnu::noinline]] void PrefetchPlacements(const CollisionGrid* grid, Entity* const* batch, int32_t count) {
  PrefetchIndexSlots(grid, batch, count);
  CellRange from[kPlacementBatch], to[kPlacementBatch];
  for (int32_t k = 0; k < count; ++k) {
    CellMove move = PrefetchCells(grid, batch[k]);
    from[k] = move.from;
    to[k] = move.to;
  }
  constexpr int32_t kMostCells = 9;
  for (int32_t k = 0; k < count; ++k) {
    int32_t n = 0;
    for (int32_t i = from[k].c0; i <= from[k].c1 && n < kMostCells; ++i) {
      for (int32_t j = from[k].r0; j <= from[k].r1 && n < kMostCells; ++j, ++n) {
        CellMirror* m = MirrorAt(grid, CellIndex(grid, i, j));
        __builtin_prefetch(m->occupants, 1);
        OccupantCopy* e = Entries(m);
        for (int32_t o = 0; o < m->count; ++o) {
          __builtin_prefetch(e[o].node, 1);
          if (e[o].entity == batch[k]) __builtin_prefetch(e[o].ref, 1);
        }
      }
    }
    if (to[k] == from[k]) continue;
    for (int32_t i = to[k].c0; i <= to[k].c1 && n < kMostCells; ++i) {
      for (int32_t j = to[k].r0; j <= to[k].r1 && n < kMostCells; ++j) {
        if (from[k].Holds(i, j)) continue;
        CellMirror* m = MirrorAt(grid, CellIndex(grid, i, j));
        __builtin_prefetch(m->occupants, 1);
        if (m->count) __builtin_prefetch(Entries(m)[m->count - 1].node, 1);
        ++n;
      }
    }
  }
}

// The moved flags of n entities a few batches ahead, asked for before they are read: with many
// entities their records outgrow the caches, and the hardware's own prefetching, which cannot see
// through the pointers of the order array, falls behind.
void PrefetchMovedFlags(Entity* const* entities, intptr_t n) {
  for (intptr_t k = 0; k < n; ++k) __builtin_prefetch(&entities[k]->moved, 0);
}

// The moved ones of n entities, into the batch; their count. Each entity is written to the batch
// and counted only when moved: which ones moved follows no pattern a branch could learn. Inlined
// with a whole batch's n, the loop unrolls without a bound to test.
[[gnu::always_inline]] inline int32_t CollectMoved(Entity* const* entities, int32_t n, Entity** batch) {
  int32_t count = 0;
  for (int32_t k = 0; k < n; ++k) {
    batch[count] = entities[k];
    count += entities[k]->moved != 0;
  }
  return count;
}

}  // namespace

int32_t UpdateMovedEntities(CollisionGrid* grid) {
  if (!grid) return 0;
  int32_t placed = 1;
  bool ahead = BeyondLastLevel(grid), lookAhead = Uncached(grid) && !ahead;
  // The moved entities, collected from the entity list a batch at a time and placed in order.
  // A grid beyond the last-level cache places each batch as it is collected, once all of its
  // memory has been asked for stage by stage. Other grids hold the moved entities of several
  // batches before placing them, so that the loop placing them ends (a branch no predictor learns)
  // fewer times; on one beyond the smaller caches, each entity's index slot is asked for as it is
  // collected, and the mirrors of its cells a few placements before its own.
  Entity* moved[kHeldMoves];
  CellMove found[kHeldMoves];  // the look-ahead's placements, by position in moved
  int32_t held = 0, most = ahead ? 0 : kHeldMoves - kPlacementBatch;
  intptr_t entries = grid->entities->count;
  bool many = entries > kCachedEntities;
  for (intptr_t k = 0; k < entries; k += kPlacementBatch) {
    if (many && k + kFlagsAhead < entries) {
      PrefetchMovedFlags(grid->order + k + kFlagsAhead, std::min<intptr_t>(entries - k - kFlagsAhead, kPlacementBatch));
    }
    bool last = entries - k <= kPlacementBatch;
    int32_t collected = last ? CollectMoved(grid->order + k, (int32_t)(entries - k), moved + held)
                             : CollectMoved(grid->order + k, kPlacementBatch, moved + held);
    if (lookAhead) PrefetchIndexSlots(grid, moved + held, collected);
    held += collected;
    if (held <= most && !last) continue;
    if (ahead) PrefetchPlacements(grid, moved, held);
    if (lookAhead) {
      for (int32_t b = 0; b < held; ++b) {
        if (b + kCellsAhead < held) found[b + kCellsAhead] = PrefetchCells(grid, moved[b + kCellsAhead]);
        // A placement found out ahead is taken as it was found: the placements between change
        // neither the index nor the entity's bounds. Its old cells are read again, as the same
        // entity may come twice (an entity added twice) and then has been placed since.
        bool prepared = b >= kCellsAhead && found[b].slot;
        if (!(prepared ? PlaceInto(grid, found[b].slot, moved[b], found[b].to, false) : PlaceEntity(grid, moved[b])))
          placed = 0;
      }
    } else {
      for (int32_t b = 0; b < held; ++b) {
        if (!PlaceEntity(grid, moved[b])) placed = 0;
      }
    }
    held = 0;
  }
  return placed;
}

ObjectList* QueryCandidates(CollisionGrid* grid, const Entity* entity) {
  if (!grid) return nullptr;
  __builtin_prefetch(&grid->index[HomeSlot(grid->indexBits, entity)], 0);  // while the result is made
  ObjectList* result = AllocObject(kFullNodeSize);
  if (!result) return nullptr;
  GridIndexSlot* slot = FindSlot(grid, entity);
  if (!slot) return result;
  CellRange r = RangeOf(slot);
  PrefetchCrowded(grid, r);
  CandidateSet met(grid);
  bool complete = true;
  ForEachCell(r, [&](int32_t i, int32_t j) {
    int64_t cell = CellIndex(grid, i, j);
    if (!Crowded(grid, cell)) return;  // the entity alone
    CellMirror* m = MirrorAt(grid, cell);
    OccupantCopy* e = Entries(m);
    for (int32_t k = 0; k < m->count && complete; ++k) {
      // The entity itself lies in every one of these cells.
      if (e[k].entity == entity || !met.Insert(e[k])) continue;
      ListNode* candidate = ObjListAppend(result);
      complete = candidate != nullptr;
      if (candidate) candidate->item = e[k].entity;
    }
  });
  if (!complete) {  // an incomplete list would pass for the answer
    ObjListFree(result);
    return nullptr;
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
  int64_t cells = (int64_t)grid->columns * grid->rows;
  if (grid->cells) {
    for (int64_t k = 0; k < cells; ++k) ObjListFree(grid->cells[k].occupants);
    FreeBlock(grid->cells);
  }
  for (int32_t p = 0; p < grid->mirrorPieces; ++p) {
    CellMirror* piece = grid->mirror[p];
    for (int64_t k = 0; k < kMirrorPieceCells && ((int64_t)p << kMirrorPieceBits) + k < cells; ++k) {
      if (piece[k].capacity) FreeBlock(piece[k].spill);
    }
    FreeBlock(((void**)piece)[-1]);
  }
  FreeBlock(grid->mirror);
  FreeBlock(grid->crowd);
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
// entry's references, whose cells are its range in order; the index counts them and is at most
// three quarters full.
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
    CellRange r = RangeOf(&slot);
    if (r.Empty() ? !(r == kNoCells)
                  : r.c0 < 0 || r.c1 >= grid->columns || r.r0 < 0 || r.r0 > r.r1 || r.r1 >= grid->rows)
      return 0;
    ListNode* ref = ObjListFirst(slot.refs);
    for (int32_t i = r.c0; i <= r.c1; ++i) {
      for (int32_t j = r.r0; j <= r.r1; ++j, ref = ref->next) {
        if (!ref || ref->item != &grid->cells[CellIndex(grid, i, j)]) return 0;
      }
    }
    if (ref) return 0;
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

// The cell's mirror holds its list: the same header, and its nodes and their entities in order.
int32_t MirrorValidate(const CollisionGrid* grid, int64_t cell) {
  CellMirror* m = MirrorAt(grid, cell);
  const ObjectList* list = grid->cells[cell].occupants;
  if (m->occupants != list || m->count != list->count || grid->crowd[cell] != std::min(m->count, 255)) return 0;
  if (m->capacity ? m->count == 0 || m->count > m->capacity || !m->spill : m->count > kLocalOccupants) return 0;
  OccupantCopy* e = Entries(m);
  int32_t k = 0;
  for (ListNode* o = ObjListFirst(list); o; o = o->next, ++k) {
    if (k >= m->count || e[k].node != o || e[k].entity != o->item || !e[k].ref || e[k].ref->link != o ||
        e[k].ref->item != &grid->cells[cell])
      return 0;
  }
  return k == m->count ? 1 : 0;
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
  int64_t cells = (int64_t)grid->columns * grid->rows;
  if (!grid->mirror || grid->mirrorPieces != (cells + kMirrorPieceCells - 1) >> kMirrorPieceBits) return 0;
  // Every occupant must be backed by a cell reference: the totals then match exactly.
  int64_t occupants = 0;
  for (int64_t k = 0; k < cells; ++k) {
    const GridCell& cell = grid->cells[k];
    // Placement computes a cell's rectangle from its column and row rather than reading it.
    if (cell.x != k % grid->columns * grid->cellWidth || cell.y != k / grid->columns * grid->cellHeight ||
        cell.width != grid->cellWidth || cell.height != grid->cellHeight)
      return 0;
    const ObjectList* list = cell.occupants;
    if (!ObjListValidate(list) || list->size != kFullNodeSize || !MirrorValidate(grid, k)) return 0;
    for (ListNode* o = ObjListFirst(list); o; o = o->next) {
      if (o->link) return 0;
    }
    occupants += ObjListCount(list);
  }
  return occupants == placements ? 1 : 0;
}
