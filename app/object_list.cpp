// Object lists and the allocation registry behind their blocks.
#include "app/object_list.h"

#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HURZ_ASAN 1
#endif
#endif
#if HURZ_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include "app/program.h"
#include "runtime/core/heaps.h"

namespace {

// Blocks of the two node sizes are carved from chunks of kChunkSlots slots, one cache line each: a
// slot holds its chunk's address, then the block. Blocks made one after another lie side by side
// (a grid's cell headers in cell order), and the block freed latest is the first re-used. A free
// slot keeps its registry element, out of the registry, so the lists' steady churn costs no heap
// call. A chunk without a live block goes back to the heap once kMostEmptyChunks of its size are
// kept, and at ReleaseSpareBlocks. Under the address sanitizer everything in a chunk but the live
// blocks stays poisoned, so a use after free or a write past a block still shows.
constexpr int32_t kSlotBytes = 8 * (int32_t)sizeof(void*);  // a full block and its chunk's address
constexpr int32_t kBlockOffset = (int32_t)sizeof(void*);
constexpr int32_t kChunkSlots = 64;
constexpr int32_t kMostEmptyChunks = 64;
static_assert(kBlockOffset + kFullNodeSize <= kSlotBytes, "a slot holds a full block");

}  // namespace

struct SlabChunk {
  SlabChunk* next;  // the slab's open chunks
  SlabChunk* prev;
  ListNode* free;   // free slots' blocks that were handed out before, chained through next
  int32_t used;     // live blocks
  int32_t fresh;    // slots handed out at least once; those from here on never were
  char* slots;      // kChunkSlots slots, cache-line aligned
};

namespace {

NodeSlab* SlabFor(intptr_t size) {
  if (size == kShortNodeSize) return &gProgram.slabs[0];
  if (size == kFullNodeSize) return &gProgram.slabs[1];
  return nullptr;
}

void Poison(void* memory, size_t size) {
  (void)memory;
  (void)size;
#if HURZ_ASAN
  ASAN_POISON_MEMORY_REGION(memory, size);
#endif
}

void Unpoison(void* memory, size_t size) {
  (void)memory;
  (void)size;
#if HURZ_ASAN
  ASAN_UNPOISON_MEMORY_REGION(memory, size);
#endif
}

SlabChunk** OwnerWord(const ListNode* block) { return (SlabChunk**)((char*)block - kBlockOffset); }

SlabChunk* OwnerOf(const ListNode* block) {
  SlabChunk** word = OwnerWord(block);
  Unpoison(word, sizeof *word);
  SlabChunk* chunk = *word;
  Poison(word, sizeof *word);
  return chunk;
}

bool IsOpen(const SlabChunk* chunk) { return chunk->free || chunk->fresh < kChunkSlots; }

void OpenAtFront(NodeSlab* slab, SlabChunk* chunk) {
  chunk->prev = nullptr;
  chunk->next = slab->open;
  if (slab->open) slab->open->prev = chunk;
  slab->open = chunk;
}

void Close(NodeSlab* slab, SlabChunk* chunk) {
  if (chunk->prev)
    chunk->prev->next = chunk->next;
  else
    slab->open = chunk->next;
  if (chunk->next) chunk->next->prev = chunk->prev;
  chunk->next = chunk->prev = nullptr;
}

// An empty open chunk goes back to the heap with the registry elements its slots kept.
void FreeChunk(NodeSlab* slab, SlabChunk* chunk) {
  Close(slab, chunk);
  slab->free -= kChunkSlots;
  Unpoison(chunk->slots, (size_t)kChunkSlots * kSlotBytes);
  for (int32_t k = 0; k < chunk->fresh; ++k) {
    auto* block = (ListNode*)(chunk->slots + (size_t)k * kSlotBytes + kBlockOffset);
    RuntimeFree(block->registered);  // an element out of its list is a RuntimeHeap block like any
  }
  FreeBlock(chunk);
}

SlabChunk* NewChunk(NodeSlab* slab) {
  auto* chunk = (SlabChunk*)AllocBlock((int32_t)(sizeof(SlabChunk) + kSlotBytes - 1 + kChunkSlots * kSlotBytes));
  if (!chunk) return nullptr;
  uintptr_t first = ((uintptr_t)(chunk + 1) + kSlotBytes - 1) & ~(uintptr_t)(kSlotBytes - 1);
  chunk->slots = (char*)first;
  Poison(chunk->slots, (size_t)kChunkSlots * kSlotBytes);
  OpenAtFront(slab, chunk);
  slab->free += kChunkSlots;
  slab->emptyChunks += 1;
  return chunk;
}

// A cleared block of the slab, its registered word kept from its last use (null when it has none);
// null when no chunk could be made.
ListNode* TakeSlot(NodeSlab* slab, int32_t size) {
  SlabChunk* chunk = slab->open ? slab->open : NewChunk(slab);
  if (!chunk) return nullptr;
  ListNode* block = chunk->free;
  if (block) {
    Unpoison(block, (size_t)size);
    chunk->free = block->next;
    block->next = nullptr;
  } else {
    char* slot = chunk->slots + (size_t)chunk->fresh++ * kSlotBytes;
    block = (ListNode*)(slot + kBlockOffset);
    SlabChunk** owner = OwnerWord(block);
    Unpoison(owner, sizeof *owner);
    *owner = chunk;
    Poison(owner, sizeof *owner);
    Unpoison(block, (size_t)size);
  }
  if (chunk->used++ == 0) slab->emptyChunks -= 1;
  slab->free -= 1;
  if (!IsOpen(chunk)) Close(slab, chunk);
  return block;
}

// Clears the block and gives its slot back, with the registry element it keeps (or none).
void PutSlot(NodeSlab* slab, ListNode* block, ListElement* record) {
  SlabChunk* chunk = OwnerOf(block);
  size_t size = (size_t)block->size;
  memset(block, 0, kShortNodeSize);  // a fixed size is cleared without a library call
  if (size == kFullNodeSize) block->extra = nullptr;
  block->registered = record;
  if (IsOpen(chunk)) {
    if (slab->open != chunk) {  // to the front: its freed block is the next one handed out
      Close(slab, chunk);
      OpenAtFront(slab, chunk);
    }
  } else {
    OpenAtFront(slab, chunk);
  }
  block->next = chunk->free;
  chunk->free = block;
  Poison(block, size);
  slab->free += 1;
  if (--chunk->used == 0) {
    if (slab->emptyChunks < kMostEmptyChunks)
      slab->emptyChunks += 1;
    else
      FreeChunk(slab, chunk);
  }
}

// Whether the block lies in a slot of its size's chunks that was handed out.
bool InSlab(const ListNode* block) {
  const SlabChunk* chunk = OwnerOf(block);
  if (!chunk) return false;
  intptr_t offset = (const char*)block - kBlockOffset - chunk->slots;
  return offset >= 0 && offset % kSlotBytes == 0 && offset / kSlotBytes < chunk->fresh;
}

}  // namespace

ListNode* AllocObject(int32_t size) {
  // The size field itself must lie inside the block, and a node needs its item word.
  if (size < kShortNodeSize) return nullptr;
  if (NodeSlab* slab = SlabFor(size)) {
    ListNode* block = TakeSlot(slab, size);
    if (!block) return nullptr;
    ListElement* record = block->registered;
    if (record) {
      LinkElement(&gProgram.registry, record);
    } else {
      record = InsertElement(&gProgram.registry);
      // A block the registry does not hold would break its one truth: every live list block, once.
      if (!record) {
        block->size = size;
        PutSlot(slab, block, nullptr);
        return nullptr;
      }
      *(ListNode**)ElementData(record) = block;
      block->registered = record;
    }
    block->size = size;
    return block;
  }
  auto* block = (ListNode*)AllocBlock(size);
  if (!block) return nullptr;
  if (!RegisterAllocation(block)) {
    FreeBlock(block);
    return nullptr;
  }
  block->size = size;
  return block;
}

void ReleaseSpareBlocks() {
  for (NodeSlab& slab : gProgram.slabs) {
    for (SlabChunk* chunk = slab.open; chunk;) {
      SlabChunk* next = chunk->next;
      if (chunk->used == 0) {
        FreeChunk(&slab, chunk);
      } else {  // the free slots of a chunk still in use give up their elements
        for (ListNode* block = chunk->free; block;) {
          Unpoison(block, (size_t)kShortNodeSize);
          ListNode* following = block->next;
          RuntimeFree(block->registered);
          block->registered = nullptr;
          Poison(block, (size_t)kShortNodeSize);
          block = following;
        }
      }
      chunk = next;
    }
    slab.emptyChunks = 0;
  }
}

void FreeObject(ListNode* block) {
  if (!block) return;
  if (NodeSlab* slab = SlabFor(block->size)) {
    ListElement* record = nullptr;
    if (IsRegistered(block)) {
      record = block->registered;
      UnlinkElement(&gProgram.registry, record);
    }
    PutSlot(slab, block, record);
    return;
  }
  UnregisterAllocation(block);
  memset(block, 0, (size_t)block->size);
  FreeBlock(block);
}

int32_t RegisterAllocation(ListNode* block) {
  if (!block) return 0;
  if (IsRegistered(block)) return 1;
  ListElement* e = InsertElement(&gProgram.registry);
  if (!e) return 0;
  *(ListNode**)ElementData(e) = block;
  block->registered = e;
  return 1;
}

void UnregisterAllocation(ListNode* block) {
  if (!block || !IsRegistered(block)) return;
  RemoveElement(&gProgram.registry, block->registered);
  block->registered = nullptr;
}

int32_t IsRegistered(const ListNode* block) {
  return block && block->registered && *(ListNode**)ElementData(block->registered) == block ? 1 : 0;
}

void LinkNodes(ListNode* a, ListNode* b) {
  a->next = b;
  if (b) b->prev = a;
}

intptr_t ObjListCount(const ObjectList* list) { return list ? list->count : 0; }
ListNode* ObjListFirst(const ObjectList* list) { return list ? list->next : nullptr; }
ListNode* ObjListNext(const ListNode* node) { return node ? node->next : nullptr; }

ListNode* ObjListLast(ObjectList* list) {
  if (!list) return nullptr;
  return list->prev ? list->prev : list;
}

void ObjListAttach(ObjectList* list, ListNode* node) {
  if (!list || !node || node == list) return;
  ListNode* last = ObjListLast(list);
  list->count += 1;
  node->prev = last;
  node->next = nullptr;
  last->next = node;
  list->prev = node;
}

ListNode* ObjListAppend(ObjectList* list) {
  if (!list) return nullptr;
  ListNode* node = AllocObject((int32_t)list->size);
  if (!node) return nullptr;
  ObjListAttach(list, node);
  return node;
}

int32_t ObjListDetach(ObjectList* list, ListNode* node) {
  // A linked node always has a predecessor (the header for the first); anything else is not ours.
  if (!list || !node || !node->prev || node == list) return 0;
  LinkNodes(node->prev, node->next);
  if (list->prev == node) list->prev = node->prev == list ? nullptr : node->prev;
  list->count -= 1;
  node->prev = node->next = nullptr;
  return 1;
}

void ObjListRemove(ObjectList* list, ListNode* node) {
  if (ObjListDetach(list, node)) FreeObject(node);
}

void ObjListClear(ObjectList* list) {
  if (!list) return;
  list->count = 0;
  for (ListNode* node = ObjListFirst(list); node;) {
    ListNode* next = node->next;
    FreeObject(node);
    node = next;
  }
  list->next = nullptr;
  list->prev = nullptr;
}

void ObjListFree(ObjectList* list) {
  ObjListClear(list);
  FreeObject(list);
}

ListNode* ObjListFind(const ObjectList* list, const void* item) {
  for (ListNode* node = ObjListFirst(list); node; node = node->next) {
    if (node->item == item) return node;
  }
  return nullptr;
}

int32_t ObjListValidate(const ObjectList* list) {
  if (!list || list->size < kShortNodeSize || !IsRegistered(list)) return 0;
  if (SlabFor(list->size) && !InSlab(list)) return 0;
  intptr_t n = 0;
  const ListNode* prev = list;
  for (const ListNode* node = list->next; node; node = node->next) {
    if (node->prev != prev || node->size != list->size || !IsRegistered(node)) return 0;
    if (SlabFor(node->size) && !InSlab(node)) return 0;
    prev = node;
    if (++n > list->count) return 0;
  }
  // The header's prev is the tail, null for an empty list.
  if (list->prev != (n ? prev : nullptr)) return 0;
  return n == list->count ? 1 : 0;
}
