// The collision grid: placement, re-placement of moved entities, the candidate query, drawing.
#include "app/collision_grid.h"

#include "runtime/core/heaps.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"

namespace {

ObjectList* CellRefs(const ListNode* entry) { return (ObjectList*)entry->extra; }

void RemoveFromOldCells(ObjectList* refs, const Entity* entity) {
  for (ListNode* ref = ObjListFirst(refs); ref; ref = ref->next) {
    ObjectList* occupants = ((GridCell*)ref->item)->occupants;
    ObjListRemove(occupants, ObjListFind(occupants, entity));
  }
  ObjListClear(refs);
}

// Enters the entity into the cell and the cell into the entity's references, both or neither.
void Occupy(GridCell* cell, ObjectList* refs, Entity* entity) {
  ListNode* occupant = ObjListAppend(cell->occupants);
  if (!occupant) return;
  occupant->item = entity;
  ListNode* ref = ObjListAppend(refs);
  if (!ref) {
    ObjListRemove(cell->occupants, occupant);
    return;
  }
  ref->item = cell;
}

// Signed gap between a cell and the bounds along one axis; negative means they overlap on it.
int64_t Gap(int64_t cellStart, int64_t cellSize, int64_t start, int64_t size) {
  return cellStart < start ? start - (cellStart + cellSize) : cellStart - (start + size);
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
  if ((name && !grid->name) || !grid->entities || !InitGridCells(grid)) {
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

void AddEntityToGrid(CollisionGrid* grid, Entity* entity) {
  if (!grid || !entity) return;
  ListNode* entry = ObjListAppend(grid->entities);
  if (!entry) return;
  entry->item = entity;
  entry->extra = AllocObject(kShortNodeSize);
  if (!entry->extra) {
    ObjListRemove(grid->entities, entry);
    return;
  }
  PlaceEntity(grid, entity);
}

void PlaceEntity(CollisionGrid* grid, Entity* entity) {
  ListNode* entry = FindGridEntry(grid, entity);
  if (!entry) return;
  ObjectList* refs = CellRefs(entry);
  RemoveFromOldCells(refs, entity);

  EntityBounds b;
  GetEntityBounds(entity, &b);
  // Bounds of no positive area overlap no cell. The gap test alone would let an empty or
  // negative box inside a cell count as overlapping it.
  if (b.width <= 0 || b.height <= 0) return;
  // The candidate range is widened by a cell on each side; the gap test below decides exactly.
  int64_t c0 = (int64_t)b.left / grid->cellWidth - 1;
  int64_t r0 = (int64_t)b.top / grid->cellHeight - 1;
  int64_t c1 = c0 + b.width / grid->cellWidth + 2;
  int64_t r1 = r0 + b.height / grid->cellHeight + 2;
  if (c1 > grid->columns - 1) c1 = grid->columns - 1;
  if (r1 > grid->rows - 1) r1 = grid->rows - 1;
  if (c0 < 0) c0 = 0;
  if (r0 < 0) r0 = 0;

  for (int64_t i = c0; i <= c1; ++i) {
    for (int64_t j = r0; j <= r1; ++j) {
      GridCell* cell = &grid->cells[j * grid->columns + i];
      int64_t dx = Gap(cell->x, cell->width, b.left, b.width);
      int64_t dy = Gap(cell->y, cell->height, b.top, b.height);
      if (dx < 0 && dy < 0) Occupy(cell, refs, entity);
    }
  }
}

void UpdateMovedEntities(CollisionGrid* grid) {
  if (!grid) return;
  for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) {
    auto* entity = (Entity*)entry->item;
    if (entity->moved) PlaceEntity(grid, entity);
  }
}

ObjectList* QueryCandidates(CollisionGrid* grid, const Entity* entity) {
  if (!grid) return nullptr;
  ObjectList* result = AllocObject(kFullNodeSize);
  if (!result) return nullptr;
  ListNode* entry = FindGridEntry(grid, entity);
  if (!entry) return result;
  for (ListNode* ref = ObjListFirst(CellRefs(entry)); ref; ref = ref->next) {
    for (ListNode* occupant = ObjListFirst(((GridCell*)ref->item)->occupants); occupant; occupant = occupant->next) {
      if (occupant->item == entity || ObjListFind(result, occupant->item)) continue;
      ListNode* candidate = ObjListAppend(result);
      if (!candidate) {  // a list missing a neighbour would be a wrong answer
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
  FreeString(grid->name);
  FreeBlock(grid);
}

GridCell* GridCellAt(const CollisionGrid* grid, int32_t column, int32_t row) {
  if (!grid || column < 0 || row < 0 || column >= grid->columns || row >= grid->rows) return nullptr;
  return &grid->cells[(int64_t)row * grid->columns + column];
}

ListNode* FindGridEntry(const CollisionGrid* grid, const Entity* entity) {
  if (!grid || !entity) return nullptr;
  return ObjListFind(grid->entities, entity);
}

int32_t GridValidate(const CollisionGrid* grid) {
  if (!grid || !ObjListValidate(grid->entities) || grid->entities->size != kFullNodeSize) return 0;
  int64_t placements = 0;
  for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next) {
    auto* entity = (const Entity*)entry->item;
    ObjectList* refs = CellRefs(entry);
    if (!entity || !ObjListValidate(refs) || refs->size != kShortNodeSize) return 0;
    // Only an entity's first entry is ever placed; later ones keep an empty reference list.
    if (FindGridEntry(grid, entity) != entry) {
      if (ObjListCount(refs) != 0) return 0;
      continue;
    }
    for (ListNode* ref = ObjListFirst(refs); ref; ref = ref->next) {
      auto* cell = (const GridCell*)ref->item;
      int64_t index = cell - grid->cells;
      if (index < 0 || index >= (int64_t)grid->columns * grid->rows || &grid->cells[index] != cell) return 0;
      if (ObjListFind(refs, cell) != ref) return 0;  // each cell at most once
      int32_t seen = 0;
      for (ListNode* o = ObjListFirst(cell->occupants); o; o = o->next) seen += o->item == entity;
      if (seen != 1) return 0;
    }
    placements += ObjListCount(refs);
  }
  // Every occupant must be backed by a cell reference: the totals then match exactly.
  int64_t occupants = 0;
  for (int64_t k = 0; k < (int64_t)grid->columns * grid->rows; ++k) {
    const ObjectList* list = grid->cells[k].occupants;
    if (!ObjListValidate(list) || list->size != kFullNodeSize) return 0;
    occupants += ObjListCount(list);
  }
  return occupants == placements ? 1 : 0;
}
