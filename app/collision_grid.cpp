// The collision grid's operations: its entity index, the cells' mirrors, placement, the candidate
// query and the re-placement of moved entities in each tier, a section each, opening with what it
// keeps true. The building blocks are in collision_grid_internal.h, the grid's making and freeing
// in collision_grid_lifecycle.cpp, its validation in collision_grid_validate.cpp.
#include "app/collision_grid.h"

#include <algorithm>

#include "app/collision_grid_internal.h"
#include "runtime/core/heaps.h"

namespace {

constexpr int32_t kPlacementBatch = 16;              // moved entities collected, and their memory asked for, together
constexpr int32_t kHeldMoves = 4 * kPlacementBatch;  // moved entities held at most before they are placed
constexpr int32_t kCellsAhead = 2;                   // the look-ahead: placements ahead whose mirrors are asked for

// ==== Index and entity order
// Every distinct entity of the grid has one slot, which names its first entry, that entry's
// cell-reference list and the range of cells it names; indexed counts them. order holds the
// entity list's items in its order.

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

// ==== Mirror
// A cell's mirror holds its occupant list's nodes in list order, each with its entity and that
// entity's reference to the cell; the cell's crowd byte holds their number. Only the code of this
// section changes occupant lists, and it keeps list, mirror and crowd byte in step: the neighbours
// a node is linked between are read from the mirror, and the list's nodes are only written.

void Recount(uint8_t* crowd, const CellMirror* m) { *crowd = (uint8_t)std::min(m->count, 255); }

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

// ==== Placement
// An entity lies in exactly the cells of its slot's range: it is an occupant of each, once, and its
// first entry's references name them in the range's order. A placement leaves the lists as leaving
// every old cell and entering every new one would; when memory runs out the entity lies in none.

// Takes the entity out of every cell its references name, and out of its references.
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

// Moves the entity from the cells of one range to those of another: out of the cells it leaves,
// at the tail of every cell it lies in afterwards, its references the new cells in order. A cell
// it stays in keeps the entity's occupant node and reference (found through the mirror, and
// linked anew); a cell it enters takes those of a cell it leaves, or new ones. When memory runs out
// for a cell it enters, the cells after it are entered only where the entity stays, and the
// entity is then evicted: as if it had been taken out of its old cells, nothing else changes.
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

// ==== Query
// Every cell-reference list's mark is at most the grid's queryMark: a query that takes a new mark
// knows that no entity carries it yet.

uintptr_t NextQueryMark(CollisionGrid* grid) {
  if (++grid->queryMark == 0) {  // wrapped: old marks could pass for new ones, so all are cleared
    for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) SetMark(CellRefs(entry), 0);
    grid->queryMark = 1;
  }
  return grid->queryMark;
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

}  // namespace

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

namespace {

// ==== Moved batches
// Whatever the tier, moved entities are placed in the order of the entity list; the tiers differ
// only in what they ask for ahead of the placements.

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

// The moved flags of n entities, asked for before they are read (the hardware's own prefetching
// cannot follow the order array's pointers). The look-ahead and staged tiers ask for the flags of
// the batch two ahead of the one they collect; the cached tier does not ask for them.
void PrefetchMovedFlags(Entity* const* entities, intptr_t n) {
  for (intptr_t k = 0; k < n; ++k) __builtin_prefetch(&entities[k]->moved, 0);
}

// Collects the moved entities a batch at a time, shows each batch to collected(batch, count), and
// hands those held to place(moved, count) once more than kMostHeld are held, and at the end. With
// kFlagsAhead, the moved flags of the batch two ahead are asked for first.
template <int32_t kMostHeld, bool kFlagsAhead, typename Collected, typename Place>
[[gnu::always_inline]] inline void ForEachMovedBatch(const CollisionGrid* grid, Collected collected, Place place) {
  static_assert(kMostHeld >= 0 && kMostHeld % kPlacementBatch == 0 && kMostHeld + kPlacementBatch <= kHeldMoves);
  Entity* moved[kMostHeld + kPlacementBatch];  // what is held, and room for one more batch
  int32_t held = 0;
  intptr_t entries = grid->entities->count;
  for (intptr_t k = 0; k < entries; k += kPlacementBatch) {
    intptr_t ahead = k + 2 * kPlacementBatch;
    if (kFlagsAhead && ahead < entries) {
      PrefetchMovedFlags(grid->order + ahead, std::min<intptr_t>(entries - ahead, kPlacementBatch));
    }
    bool last = entries - k <= kPlacementBatch;
    int32_t n = last ? CollectMoved(grid->order + k, (int32_t)(entries - k), moved + held)
                     : CollectMoved(grid->order + k, kPlacementBatch, moved + held);
    collected(moved + held, n);
    held += n;
    if (held <= kMostHeld && !last) continue;
    place(moved, held);
    held = 0;
  }
}

// Places the held moved entities one by one; 0 when one of them could not be placed.
[[gnu::always_inline]] inline int32_t PlaceEach(CollisionGrid* grid, Entity* const* moved, int32_t held) {
  int32_t placed = 1;
  for (int32_t b = 0; b < held; ++b) {
    if (!PlaceEntity(grid, moved[b])) placed = 0;
  }
  return placed;
}

// The cached tier: the moved entities of up to four batches held, then placed one by one (the
// loop placing them then ends less often, a branch no predictor learns).
int32_t UpdateCached(CollisionGrid* grid) {
  int32_t placed = 1;
  ForEachMovedBatch<kHeldMoves - kPlacementBatch, false>(
      grid, [](Entity* const*, int32_t) {},
      [&](Entity* const* moved, int32_t held) {
        if (!PlaceEach(grid, moved, held)) placed = 0;
      });
  return placed;
}

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

// The look-ahead tier: as the cached one, but each moved entity's index slot is asked for as it is
// collected, and the mirrors of its cells two placements before its own. A placement found out
// ahead is taken as it was found: the placements between change neither the index nor the
// entity's bounds. Its old cells are read again, as the same entity may come twice (an entity
// added twice) and then has been placed since.
int32_t UpdateLookAhead(CollisionGrid* grid) {
  int32_t placed = 1;
  ForEachMovedBatch<kHeldMoves - kPlacementBatch, true>(
      grid, [&](Entity* const* batch, int32_t n) { PrefetchIndexSlots(grid, batch, n); },
      [&](Entity* const* moved, int32_t held) {
        CellMove found[kHeldMoves];  // by position in moved
        for (int32_t b = 0; b < held; ++b) {
          if (b + kCellsAhead < held) found[b + kCellsAhead] = PrefetchCells(grid, moved[b + kCellsAhead]);
          bool prepared = b >= kCellsAhead && found[b].slot;
          if (!(prepared ? PlaceInto(grid, found[b].slot, moved[b], found[b].to, false) : PlaceEntity(grid, moved[b])))
            placed = 0;
        }
      });
  return placed;
}

// The memory a batch of placements will read and write, asked for a stage at a time over the
// whole batch before any of them is placed: the entities' index slots, then their cells' mirrors,
// then the list nodes those mirrors name. Each stage waits for memory at most once rather than
// once per entity. Only hints: the placements themselves find everything anew. Kept out of line:
// inlined, it crowded the registers of the batch loop. count is at most one batch.
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

// The staged tier: each batch placed as it is collected, once its memory has been asked for.
int32_t UpdateStaged(CollisionGrid* grid) {
  // ForEachMovedBatch hands over at most kMostHeld + kPlacementBatch entities at a time.
  constexpr int32_t kMostHeld = 0;
  static_assert(kMostHeld + kPlacementBatch <= kPlacementBatch, "PrefetchPlacements takes one batch at most");
  int32_t placed = 1;
  ForEachMovedBatch<kMostHeld, true>(
      grid, [](Entity* const*, int32_t) {},
      [&](Entity* const* moved, int32_t held) {
        PrefetchPlacements(grid, moved, held);
        if (!PlaceEach(grid, moved, held)) placed = 0;
      });
  return placed;
}

}  // namespace

int32_t UpdateMovedEntities(CollisionGrid* grid) {
  if (!grid) return 0;
  switch (grid->tier) {
    case GridTier::kLookAhead:
      return UpdateLookAhead(grid);
    case GridTier::kStaged:
      return UpdateStaged(grid);
    default:
      return UpdateCached(grid);
  }
}
