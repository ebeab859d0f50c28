// The demonstration's global record and its fixed settings. Everything the scene, the frame
// callback and the object lists share lives in gProgram; there is no configuration beyond these
// constants.
#pragma once
#include <cstdint>

#include "runtime/core/linked_list.h"
#include "runtime/core/platform.h"

struct CollisionGrid;
struct Entity;
struct ListNode;

struct SlabChunk;

// List blocks of one node size, carved from larger chunks (see AllocObject).
struct NodeSlab {
  ListNode* top;      // the free slots' blocks, the latest freed first
  SlabChunk* chunks;  // every chunk, the newest first
  int32_t free;       // slots a block can be handed out from without a new chunk
};

struct ProgramState {
  HeapHandle heap;      // the RuntimeHeap, created by the entry and destroyed just before it exits
  void* instance;       // the program's module handle
  Entity* currentBird;  // scratch while the scene is built
  CollisionGrid* grid;  // "mygrid"
  Entity* player;       // "miau"
  int32_t birdIndex;    // scene loop index, 0 to kBirdCount - 1
  // Every block handed out by AllocObject (one pointer per element). The elements of blocks of
  // the node sizes lie in the blocks' slots: the list is freed only once no list block is live.
  LinkedList registry;
  LinkedList birds;     // the bird entities in creation order (one pointer per element)
  NodeSlab slabs[2];     // the short and the full list blocks' chunks (AllocObject)
};
extern ProgramState gProgram;

// Built-in list type code of both program lists.
constexpr int32_t kProgramListType = 5;

// Creates the allocation registry, then the bird list: one pointer of data per element, no
// string fields. Needs the RuntimeHeap.
void CreateProgramLists();

constexpr int32_t kScreenWidth = 800;
constexpr int32_t kScreenHeight = 600;
constexpr int32_t kScreenDepth = 32;
constexpr const char* kScreenTitle = "hurz";
constexpr int32_t kGridColumns = 25;
constexpr int32_t kGridRows = 18;
constexpr int32_t kCellSize = 32;
constexpr const char* kGridName = "mygrid";
constexpr const char* kPlayerName = "miau";
constexpr const char* kBirdNamePrefix = "miau ";
constexpr const char* kSpriteFile = "squeaker_bird.png";
constexpr int32_t kBirdCount = 45;
