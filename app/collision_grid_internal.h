// The collision grid's building blocks, shared by its placement code (collision_grid.cpp), its
// making and freeing (collision_grid_lifecycle.cpp) and its validation (collision_grid_validate.cpp):
// the tiers' thresholds, the entity index and its probe, cell ranges and their walk, and the cells'
// occupant mirrors. Not for the grid's users; the grid's tests read the index's first size here.
#pragma once
#include <algorithm>
#include <cstdint>

#include "app/collision_grid.h"

// The tier of a grid of this many cells: past a megabyte of mirrors the bookkeeping leaves the
// smaller caches, past 2^18 cells (16 megabytes of mirrors, as much of cell headers) even a large
// last-level cache.
constexpr int64_t kLookAheadCells = 16384;
constexpr int64_t kStagedCells = 1 << 18;
constexpr GridTier TierFor(int64_t cells) {
  return cells > kStagedCells ? GridTier::kStaged : cells > kLookAheadCells ? GridTier::kLookAhead : GridTier::kCached;
}

// ---- The entity index: the entity's first entry, its cell references and the cells they name,
// found by hashing the entity's address. Open addressing with linear probing over 1 << indexBits
// slots, at most three quarters full (a quarter while it can grow).

struct GridIndexSlot {
  const Entity* entity;  // null: a free slot
  ListNode* entry;
  ObjectList* refs;  // the entry's cell-reference list
  // The cells in refs: those of columns firstColumn to lastColumn and rows firstRow to lastRow,
  // column by column, or none when firstColumn > lastColumn.
  int32_t firstColumn;
  int32_t lastColumn;
  int32_t firstRow;
  int32_t lastRow;
};

constexpr int32_t kFirstIndexBits = 4;
// The largest slot array AllocBlock can make: its size is a signed 32-bit count of bytes.
constexpr int32_t MostIndexBits() {
  int32_t bits = kFirstIndexBits;
  while (((int64_t)sizeof(GridIndexSlot) << (bits + 1)) <= INT32_MAX) ++bits;
  return bits;
}
constexpr int32_t kMostIndexBits = MostIndexBits();
static_assert(kMostIndexBits == (sizeof(void*) == 8 ? 25 : 26), "40-byte slots on 64-bit, 28 on 32-bit");

// Fibonacci hashing of the entity's address picks the first slot to probe.
inline size_t HomeSlot(int32_t bits, const void* entity) {
  return (size_t)(((uint64_t)(uintptr_t)entity * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// The entity's slot, or the free slot where it would go.
inline GridIndexSlot* Probe(GridIndexSlot* slots, int32_t bits, const Entity* entity) {
  size_t mask = ((size_t)1 << bits) - 1;
  for (size_t k = HomeSlot(bits, entity);; k = (k + 1) & mask) {
    if (slots[k].entity == entity || !slots[k].entity) return &slots[k];
  }
}

// The entity's slot; null when it is not in the grid.
inline GridIndexSlot* FindSlot(const CollisionGrid* grid, const Entity* entity) {
  if (!grid || !entity) return nullptr;
  GridIndexSlot* slot = Probe(grid->index, grid->indexBits, entity);
  return slot->entity ? slot : nullptr;
}

inline ObjectList* CellRefs(const ListNode* entry) { return (ObjectList*)entry->extra; }

// A cell-reference list's header item: the mark of the latest query that met its entity.
inline uintptr_t MarkOf(const ObjectList* refs) { return (uintptr_t)refs->item; }
inline void SetMark(ObjectList* refs, uintptr_t mark) { refs->item = (void*)mark; }

// ---- Cell ranges: the cells an entity occupies are a rectangle of columns and rows, entered
// column by column and row by row inside each column. Empty is always {0, -1, 0, -1}.

struct CellRange {
  int32_t c0, c1, r0, r1;
  bool Empty() const { return c0 > c1; }
  // One test of four comparisons: whether a cell lies in a range follows no pattern.
  bool Holds(int32_t i, int32_t j) const { return (c0 <= i) & (i <= c1) & (r0 <= j) & (j <= r1); }
  int64_t Cells() const { return Empty() ? 0 : ((int64_t)c1 - c0 + 1) * ((int64_t)r1 - r0 + 1); }
  bool operator==(const CellRange&) const = default;
};
constexpr CellRange kNoCells{0, -1, 0, -1};

// Calls visit(i, j) for every cell of the range in its order. One loop over all the cells rather
// than one per column: ranges span one to three columns and rows at random, and a single loop's
// end is mispredicted once per range rather than once per column.
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
inline int64_t FloorDiv(int64_t a, int32_t b) {
  if ((b & (b - 1)) == 0) return a >> __builtin_ctz((uint32_t)b);
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The cells (first and last, clipped to the count) whose span overlaps start..start + size with a
// positive length along one axis; false when there are none.
inline bool SpanCells(int64_t start, int64_t size, int32_t cellSize, int32_t count, int32_t* first, int32_t* last) {
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

inline CellRange RangeOf(const GridIndexSlot* slot) {
  return {slot->firstColumn, slot->lastColumn, slot->firstRow, slot->lastRow};
}

inline void SetRange(GridIndexSlot* slot, const CellRange& r) {
  slot->firstColumn = r.c0;
  slot->lastColumn = r.c1;
  slot->firstRow = r.r0;
  slot->lastRow = r.r1;
}

inline int64_t CellIndex(const CollisionGrid* grid, int32_t i, int32_t j) { return (int64_t)j * grid->columns + i; }
constexpr int64_t CellCount(int32_t columns, int32_t rows) { return (int64_t)columns * rows; }
inline int64_t CellCount(const CollisionGrid* grid) { return CellCount(grid->columns, grid->rows); }

// ---- The mirror: each cell's occupants in list order, kept in step with the cell's list by every
// change of it, beside each cell's number of occupants in a byte (its crowd, 255 for more). A query
// reads a mirror (one cache line for most cells) instead of chasing the list's nodes; a placement
// finds there the neighbours it relinks, so it writes the list's nodes without reading them. A
// cell holding one occupant holds only the entity being placed or asked about, which its crowd
// byte tells without reading its mirror.

constexpr int32_t kMirrorPieceBits = 12;  // cells per piece of the mirror: 4,096
constexpr int32_t kMirrorPieceCells = 1 << kMirrorPieceBits;
// The pieces the mirror of that many cells takes.
constexpr int64_t MirrorPieces(int64_t cells) { return (cells + kMirrorPieceCells - 1) >> kMirrorPieceBits; }
constexpr int32_t kLocalOccupants = 2;
constexpr int32_t kFirstSpill = 8;

struct OccupantCopy {
  Entity* entity;
  ListNode* node;  // the entity's node in the cell's occupant list
  ListNode* ref;   // the entity's cell reference that names the cell
};

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

inline CellMirror* MirrorAt(const CollisionGrid* grid, int64_t cell) {
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
inline OccupantCopy* Entries(CellMirror* m) {
  uintptr_t spilled = Opaque((uintptr_t)0 - (m->capacity != 0));
  return (OccupantCopy*)(((uintptr_t)m->spill & spilled) | ((uintptr_t)m->local & ~spilled));
}

// Whether the cell holds an occupant besides the one entity that lies in it and is being placed
// or asked about: only then is the cell's mirror read.
inline bool Crowded(const CollisionGrid* grid, int64_t cell) { return grid->crowd[cell] > 1; }

// Asks for the mirrors of the range's cells (of the first few, for a large range) to be brought
// into the cache together, rather than one after another as they are visited. A cached grid's
// mirrors are in the cache anyway.
inline void PrefetchMirrors(const CollisionGrid* grid, const CellRange& r) {
  constexpr int32_t kMostPrefetched = 16;
  if (grid->tier == GridTier::kCached) return;
  int32_t n = 0;
  for (int32_t i = r.c0; i <= r.c1 && n < kMostPrefetched; ++i) {
    for (int32_t j = r.r0; j <= r.r1 && n < kMostPrefetched; ++j, ++n)
      __builtin_prefetch(MirrorAt(grid, CellIndex(grid, i, j)), 1);
  }
}

// The same for the cells a placement leaves, keeps and enters.
inline void PrefetchMirrors(const CollisionGrid* grid, const CellRange& from, const CellRange& to) {
  PrefetchMirrors(grid, from);
  if (!(to == from)) PrefetchMirrors(grid, to);
}

// The same for the mirrors a query reads: those of the range's cells that hold other occupants.
inline void PrefetchCrowded(const CollisionGrid* grid, const CellRange& r) {
  if (grid->tier == GridTier::kCached) return;
  ForEachCell(r, [&](int32_t i, int32_t j) {
    int64_t cell = CellIndex(grid, i, j);
    if (Crowded(grid, cell)) __builtin_prefetch(MirrorAt(grid, cell));
  });
}
