// The collision grid's lifecycle: a grid is made whole or not at all, drawn cell by cell, and
// freed with everything it owns (its cells with their lists and mirrors, its entity list with every
// entry's references, the index and the order array) but its entities. And its two accessors.
#include <algorithm>

#include "app/collision_grid.h"
#include "app/collision_grid_internal.h"
#include "runtime/core/heaps.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"

CollisionGrid* CreateGrid(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight, const char* name,
                          ObjectNumber number) {
  if (columns <= 0 || rows <= 0 || cellWidth <= 0 || cellHeight <= 0) return nullptr;
  if ((int64_t)columns * cellWidth > INT32_MAX || (int64_t)rows * cellHeight > INT32_MAX) return nullptr;
  if (CellCount(columns, rows) > INT32_MAX / (int64_t)sizeof(GridCell)) return nullptr;
  auto* grid = (CollisionGrid*)AllocBlock((int32_t)sizeof(CollisionGrid));
  if (!grid) return nullptr;
  NewStringCopy(&grid->name, name);
  grid->number = number;
  grid->columns = columns;
  grid->rows = rows;
  grid->cellWidth = cellWidth;
  grid->cellHeight = cellHeight;
  grid->tier = TierFor(CellCount(grid));
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
  int64_t cells = CellCount(grid);
  grid->cells = (GridCell*)AllocBlock((int32_t)(cells * (int64_t)sizeof(GridCell)));
  grid->crowd = (uint8_t*)AllocBlock((int32_t)cells);  // every cell empty
  if (!grid->cells || !grid->crowd) return 0;
  // The mirror's pieces, each cache-line aligned inside its block, whose address it keeps in the
  // word just before.
  int64_t pieces = MirrorPieces(cells);
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
  int64_t cells = CellCount(grid);
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
  return &grid->cells[CellIndex(grid, column, row)];
}

ListNode* FindGridEntry(const CollisionGrid* grid, const Entity* entity) {
  GridIndexSlot* slot = FindSlot(grid, entity);
  return slot ? slot->entry : nullptr;
}
