// The collision grid's validation: every list well linked, occupants and cell references in
// agreement, and the bookkeeping (index, cell ranges, mirrors, crowd bytes, order, links,
// back-links, query marks) matching the lists. Tests, the fuzzer and the sweep call GridValidate.
#include <algorithm>
#include <iterator>

#include "app/collision_grid.h"
#include "app/collision_grid_internal.h"

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

// The entity's cell references (distinct cells of this grid: IndexValidate found them to be those of
// the entity's range): each names the one occupant node of the entity in its cell, which points
// back at the references.
int32_t CellRefsValidate(const CollisionGrid* grid, const Entity* entity, const ObjectList* refs) {
  for (ListNode* ref = ObjListFirst(refs); ref; ref = ref->next) {
    auto* cell = (const GridCell*)ref->item;
    int64_t index = cell - grid->cells;
    if (index < 0 || index >= CellCount(grid) || &grid->cells[index] != cell) return 0;
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
  if (grid->tier < kGridTiers[0] || grid->tier > std::end(kGridTiers)[-1]) return 0;
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
  int64_t cells = CellCount(grid);
  if (!grid->mirror || grid->mirrorPieces != MirrorPieces(cells)) return 0;
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
