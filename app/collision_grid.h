// Broad-phase collision detection on a uniform grid. Every registered entity is entered into
// each cell its integer bounds overlap with a positive area, and remembers those cells in turn;
// a query returns the distinct other entities sharing at least one cell. Moved entities are
// re-placed; entities are never taken out of the grid, and the grid does not own them.
#pragma once
#include <cstdint>

#include "app/entity.h"
#include "app/object_list.h"

struct GridCell {
  int32_t x;  // column times the cell width
  int32_t y;  // row times the cell height
  int32_t width;
  int32_t height;
  ObjectList* occupants;  // full nodes, item: the Entity
};

// The grid's entity list holds one entry per AddEntityToGrid: item is the Entity, extra its
// cell-reference list (short nodes, item: the GridCell). An entity occupies a cell exactly when
// the cell is in the cell-reference list of the entity's first entry.
//
// So that placing, re-placing and querying cost what they touch and never what the grid holds,
// the grid keeps bookkeeping in words the list layout leaves unused (see object_list.h):
// - a cell reference's link is the entity's Occupant node in that cell;
// - an Occupant's extra is the occupying entity's cell-reference list;
// - a cell-reference list's header item is the mark of the latest query that met its entity, so a
//   query tells a candidate it has already listed without walking its result.
// Beside the lists it keeps an index from entity to first entry, the cells each entity occupies as
// a rectangle, a mirror of every cell's occupants and their number (see collision_grid_internal.h).

// How far ahead of their use placements and queries ask for the grid's memory, and so how
// UpdateMovedEntities takes the moved entities; CreateGrid picks it from the number of cells.
enum class GridTier : int32_t {
  kCached,     // the bookkeeping stays in the caches: nothing is asked for ahead
  kLookAhead,  // beyond the smaller caches: a placement's memory two placements ahead
  kStaged,     // beyond the last-level cache: a batch's memory stage by stage before it is placed
};
// Every tier, in the order of their values.
constexpr GridTier kGridTiers[] = {GridTier::kCached, GridTier::kLookAhead, GridTier::kStaged};

struct GridIndexSlot;
struct CellMirror;

struct CollisionGrid {
  char* name;  // the grid's own copy
  ObjectNumber number;
  int32_t columns;
  int32_t rows;
  int32_t cellWidth;
  int32_t cellHeight;
  ObjectList* entities;
  GridCell* cells;  // row after row: cell (i, j) is cells[j * columns + i]
  // Bookkeeping, after the record's own fields:
  GridTier tier;         // fixed when the grid is made; tests force one on a small grid
  GridIndexSlot* index;  // 1 << indexBits slots, open addressing with linear probing
  int32_t indexBits;
  int32_t indexed;      // entities in the index: the distinct entities of the grid
  uintptr_t queryMark;  // the latest query's mark
  // The entity list's items in its order: UpdateMovedEntities reads the moved flags through this
  // array rather than through the list's scattered nodes.
  Entity** order;
  int32_t orderCapacity;
  // Each cell's occupants in list order, in the order of the cells, in pieces of a few thousand
  // cells each (mirrorPieces of them).
  CellMirror** mirror;
  int32_t mirrorPieces;
  // Each cell's number of occupants in one byte (255 for more), in the order of the cells.
  uint8_t* crowd;
};

constexpr uint32_t kCellOccupiedColour = 0x0000FF;
constexpr uint32_t kCellEmptyColour = 0x00FF00;

// Null when a count or cell size is not positive, when the grid would not fit the 32-bit pixel
// range, or when memory ran out.
CollisionGrid* CreateGrid(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight, const char* name,
                          ObjectNumber number);
// Makes the cell array, each cell's empty occupant list, its mirror and its crowd byte; 1 on success.
int32_t InitGridCells(CollisionGrid* grid);
// Appends an entry for the entity and places it (an entity added again keeps using its first
// entry). 0 when memory ran out: then nothing was added, or the entity was added but lies in no
// cell (PlaceEntity's failure).
int32_t AddEntityToGrid(CollisionGrid* grid, Entity* entity);
// Takes the entity out of its old cells and enters it into those its bounds now overlap. 0 for an
// entity that is not registered, and when memory ran out: then the entity lies in no cell.
int32_t PlaceEntity(CollisionGrid* grid, Entity* entity);
// Re-places every registered entity whose moved flag is set, in registration order; 0 when one of
// them could not be placed.
int32_t UpdateMovedEntities(CollisionGrid* grid);
// A new list (the caller's) of the other entities sharing a cell, each once, in order of first
// discovery. Empty for an entity that is not registered; null for a null grid or no memory.
ObjectList* QueryCandidates(CollisionGrid* grid, const Entity* entity);
// Between BeginDrawing and EndDrawing: every cell, red when occupied, green when empty.
void DrawGrid(const CollisionGrid* grid);

// Frees the grid with its cells and lists (not the entities). The demo keeps its grid to the end;
// tests and tools that make many grids release them.
void FreeGrid(CollisionGrid* grid);

GridCell* GridCellAt(const CollisionGrid* grid, int32_t column, int32_t row);  // null outside
ListNode* FindGridEntry(const CollisionGrid* grid, const Entity* entity);      // the first one
// 1 when every list is well linked, occupants and cell references agree and the bookkeeping
// (index, cell rectangles, mirrors, links, back-links, marks) matches the lists, else 0.
int32_t GridValidate(const CollisionGrid* grid);
