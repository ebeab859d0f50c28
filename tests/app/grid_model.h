// A plain reference model of the demo's object lists, allocation registry and collision grid,
// written the straightforward way: every tail, entry and duplicate found by a linear walk, the
// registry a cursor list walked from its start to drop a block. GridTwin drives the model beside
// a real grid; after every step the two must agree on every entity's cells, every cell's
// occupants, every candidate list (order included), and the real registry must hold exactly the
// grid's live list blocks. The property test and the grid fuzzer both use it.
#pragma once
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/collision_grid.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/core/text.h"

namespace grid_model {

// The runtime's built-in list with a cursor: insertion after the cursor, deletion of the cursor's
// element with the cursor stepping back.
class CursorList {
 public:
  struct Element {
    Element* next;
    Element* prev;
    const void* data;
  };
  ~CursorList() {
    for (Element* e = first_; e;) {
      Element* next = e->next;
      delete e;
      e = next;
    }
  }
  Element* Insert() {
    auto* e = new Element{};
    ++count_;
    if (current_) {
      e->prev = current_;
      e->next = current_->next;
      if (current_->next) current_->next->prev = e;
      current_->next = e;
    } else {
      e->next = first_;
      if (first_) first_->prev = e;
    }
    current_ = e;
    if (!e->prev) first_ = e;
    return e;
  }
  void Rewind() { current_ = nullptr; }
  Element* Step() {
    if (!current_) return current_ = first_;
    if (!current_->next) return nullptr;
    return current_ = current_->next;
  }
  void RemoveCurrent() {
    Element* e = current_;
    if (!e) return;
    --count_;
    if (e->prev) e->prev->next = e->next;
    if (e->next) e->next->prev = e->prev;
    if (first_ == e) first_ = e->next;
    current_ = e->prev;
    delete e;
  }
  size_t Count() const { return count_; }

 private:
  Element* first_ = nullptr;
  Element* current_ = nullptr;
  size_t count_ = 0;
};

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
      : columns_(columns), rows_(rows), cells_((size_t)columns * rows) {
    entities_ = AllocObject();
    for (int32_t i = 0; i < columns; ++i) {
      for (int32_t j = 0; j < rows; ++j) {
        cells_[(size_t)j * columns + i] = {(int64_t)i * cellWidth, (int64_t)j * cellHeight, cellWidth, cellHeight,
                                           AllocObject()};
      }
    }
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
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
    Node* refs = entry->extra;
    if (refs->count) {
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
    EntityBounds b;
    GetEntityBounds(entity, &b);
    if (b.width <= 0 || b.height <= 0) return;  // no positive area: no cell
    int64_t c0 = (int64_t)b.left / cellWidth_ - 1, r0 = (int64_t)b.top / cellHeight_ - 1;
    int64_t c1 = c0 + b.width / cellWidth_ + 2, r1 = r0 + b.height / cellHeight_ + 2;
    if (c1 > columns_ - 1) c1 = columns_ - 1;
    if (r1 > rows_ - 1) r1 = rows_ - 1;
    if (c0 < 0) c0 = 0;
    if (r0 < 0) r0 = 0;
    for (int64_t i = c0; i <= c1; ++i) {
      for (int64_t j = r0; j <= r1; ++j) {
        Cell& cell = cells_[(size_t)(j * columns_ + i)];
        int64_t dx = cell.x < b.left ? b.left - (cell.x + cell.width) : cell.x - ((int64_t)b.left + b.width);
        int64_t dy = cell.y < b.top ? b.top - (cell.y + cell.height) : cell.y - ((int64_t)b.top + b.height);
        if (dx < 0 && dy < 0) {
          Append(cell.occupants)->item = entity;
          Append(refs)->item = &cell;
        }
      }
    }
  }

  void UpdateMoved() {
    for (Node* entry = entities_->next; entry; entry = entry->next) {
      if (((const Entity*)entry->item)->moved) Place((const Entity*)entry->item);
    }
  }

  // The candidates of the entity; the list is released again, as a caller would.
  std::vector<const void*> Query(const Entity* entity) {
    Node* result = AllocObject();
    Node* entry = FindEntry(entity);
    if (entry) {
      for (Node* ref = entry->extra->next; ref; ref = ref->next) {
        for (Node* o = ((Cell*)ref->item)->occupants->next; o; o = o->next) {
          if (o->item == entity) continue;
          bool listed = false;
          for (Node* r = result->next; r; r = r->next) listed = listed || r->item == o->item;
          if (!listed) Append(result)->item = o->item;
        }
      }
    }
    std::vector<const void*> items = Items(result);
    FreeList(result);
    return items;
  }

  // What can be seen: the entities in list order, each entry's cells (as indexes), each cell's occupants.
  std::vector<const void*> Entities() const { return Items(entities_); }
  std::vector<std::vector<int64_t>> EntryCells() const {
    std::vector<std::vector<int64_t>> out;
    for (Node* e = entities_->next; e; e = e->next) {
      out.emplace_back();
      for (Node* ref = e->extra->next; ref; ref = ref->next) out.back().push_back((const Cell*)ref->item - cells_.data());
    }
    return out;
  }
  std::vector<const void*> Occupants(size_t cell) const { return Items(cells_[cell].occupants); }
  size_t RegistryCount() const { return registry_.Count(); }
  size_t LiveBlocks() const { return live_; }

 private:
  static std::vector<const void*> Items(const Node* list) {
    std::vector<const void*> out;
    for (Node* n = list->next; n; n = n->next) out.push_back(n->item);
    return out;
  }
  Node* AllocObject() {
    auto* n = new Node{};
    registry_.Insert()->data = n;
    ++live_;
    return n;
  }
  void FreeObject(Node* n) {
    // Every element holding the block goes, not just the first.
    registry_.Rewind();
    while (CursorList::Element* e = registry_.Step()) {
      if (e->data == n) registry_.RemoveCurrent();
    }
    --live_;
    delete n;
  }
  Node* Append(Node* list) {
    Node* node = AllocObject();
    Node* last = list;
    while (last->next) last = last->next;
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
  Node* FindEntry(const Entity* entity) const {
    for (Node* n = entities_->next; n; n = n->next) {
      if (n->item == entity) return n;
    }
    return nullptr;
  }

  int32_t columns_, rows_, cellWidth_ = 1, cellHeight_ = 1;
  std::vector<Cell> cells_;
  Node* entities_ = nullptr;
  CursorList registry_;
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

inline std::map<const void*, int> RegistryContents() {
  std::map<const void*, int> out;
  for (ListElement* e = gProgram.registry.info->first; e; e = e->next) ++out[*(void**)ElementData(e)];
  return out;
}

// A real grid and the model, driven alike. Entities are owned by the twin.
class GridTwin {
 public:
  GridTwin(int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight)
      : baseline_(RegistryContents()),
        grid_(CreateGrid(columns, rows, cellWidth, cellHeight, "twin", AnyID)),
        model_(columns, rows, cellWidth, cellHeight) {}
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
  // A grid made after the twin whose blocks the registry holds as well.
  void Beside(const CollisionGrid* other) { beside_.push_back(other); }
  const std::vector<Entity*>& EntitiesMade() const { return entities_; }

  Entity* Make(float x, float y, int32_t width, int32_t height) {
    Entity* e = MakeBox(x, y, width, height);
    if (e) entities_.push_back(e);
    return e;
  }
  void Add(Entity* e) {
    AddEntityToGrid(grid_, e);
    model_.Add(e);
  }
  // Moves the entity and updates its moved flag; nothing is re-placed yet.
  void Move(Entity* e, float x, float y) {
    e->x = x;
    e->y = y;
    UpdateMovedFlag(e);
  }
  void UpdateMoved() {
    UpdateMovedEntities(grid_);
    model_.UpdateMoved();
  }
  void Place(Entity* e) {
    PlaceEntity(grid_, e);
    model_.Place(e);
  }

  // Empty when the grid and the model agree on everything, else what differs first.
  std::string Check() {
    std::ostringstream why;
    if (!GridValidate(grid_)) return "the grid does not validate";
    std::vector<const void*> entities = Items(grid_->entities);
    if (entities != model_.Entities()) return "the entity lists differ";
    std::vector<std::vector<int64_t>> cells = model_.EntryCells();
    size_t k = 0;
    for (ListNode* entry = ObjListFirst(grid_->entities); entry; entry = entry->next, ++k) {
      std::vector<int64_t> real;
      for (ListNode* ref = ObjListFirst((ObjectList*)entry->extra); ref; ref = ref->next)
        real.push_back((const GridCell*)ref->item - grid_->cells);
      if (real != cells[k]) return (why << "entry " << k << " lies in other cells", why.str());
    }
    for (size_t c = 0; c < (size_t)grid_->columns * grid_->rows; ++c) {
      if (Items(grid_->cells[c].occupants) != model_.Occupants(c))
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
  // The registry holds what it held before the grid, and every live block of the grid once.
  std::string CheckRegistry() {
    std::map<const void*, int> expected = baseline_;
    size_t blocks = 0;
    auto expect = [&](const ObjectList* list) {
      ++expected[list];
      ++blocks;
      for (ListNode* n = ObjListFirst(list); n; n = n->next, ++blocks) ++expected[n];
    };
    auto expectGrid = [&](const CollisionGrid* grid) {
      expect(grid->entities);
      for (ListNode* entry = ObjListFirst(grid->entities); entry; entry = entry->next)
        expect((ObjectList*)entry->extra);
      for (size_t c = 0; c < (size_t)grid->columns * grid->rows; ++c) expect(grid->cells[c].occupants);
    };
    expectGrid(grid_);
    size_t mine = blocks;
    for (const CollisionGrid* other : beside_) expectGrid(other);
    blocks = mine;
    if (RegistryContents() != expected) return "the registry does not hold exactly the live list blocks";
    if (model_.RegistryCount() != model_.LiveBlocks() || model_.LiveBlocks() != blocks)
      return "the model's registry or block count differs";
    return "";
  }

  std::map<const void*, int> baseline_;
  std::vector<const CollisionGrid*> beside_;
  CollisionGrid* grid_;
  GridModel model_;
  std::vector<Entity*> entities_;
};

}  // namespace grid_model
