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

// Blocks of the two node sizes are carved from chunks of kChunkSlots slots. A slot is two cache
// lines: the block and its chunk's address, then the block's registry element, so that recording
// or dropping a block never reaches for a heap block of its own. Free slots form one stack per
// size, the latest freed on top: blocks made one after another lie side by side (a grid's cell
// headers in cell order), and a block freed is the first re-used while it is still in the cache.
// Handing out or taking back a block reads and writes nothing but its own slot and the stack's
// top: chunks are counted, and those without a live block freed, only by ReleaseSpareBlocks, so
// the memory kept is that of the most list blocks ever live at once. Under the address sanitizer
// everything in a chunk but the live blocks and recorded elements stays poisoned, so a use after
// free or a write past a block still shows.
constexpr int32_t kSlotWords = 16;
constexpr int32_t kSlotBytes = kSlotWords * (int32_t)sizeof(void*);
constexpr int32_t kOwnerOffset = kFullNodeSize;                 // the chunk's address
constexpr int32_t kElementOffset = 8 * (int32_t)sizeof(void*);  // the second line
constexpr int32_t kElementBytes = (int32_t)(sizeof(ListElement) + sizeof(void*));
constexpr int32_t kChunkSlots = 64;
static_assert(kOwnerOffset + (int32_t)sizeof(void*) <= kElementOffset, "a slot's first line holds a full block");

}  // namespace

struct SlabChunk {
  SlabChunk* next;  // every chunk of the size
  SlabChunk* prev;
  int32_t live;   // while ReleaseSpareBlocks counts: the chunk's live blocks
  int32_t fresh;  // slots handed out at least once; those from here on never were
  char* slots;    // kChunkSlots slots, cache-line aligned
};

namespace {

NodeSlab* SlabFor(intptr_t size) {
  if (size == kShortNodeSize) return &gProgram.slabs[0];
  if (size == kFullNodeSize) return &gProgram.slabs[1];
  return nullptr;
}

void Poison(const void* memory, size_t size) {
  (void)memory;
  (void)size;
#if HURZ_ASAN
  ASAN_POISON_MEMORY_REGION(memory, size);
#endif
}

void Unpoison(const void* memory, size_t size) {
  (void)memory;
  (void)size;
#if HURZ_ASAN
  ASAN_UNPOISON_MEMORY_REGION(memory, size);
#endif
}

SlabChunk** OwnerWord(const ListNode* block) { return (SlabChunk**)((char*)block + kOwnerOffset); }

SlabChunk* OwnerOf(const ListNode* block) {
  SlabChunk** word = OwnerWord(block);
  Unpoison(word, sizeof *word);
  SlabChunk* chunk = *word;
  Poison(word, sizeof *word);
  return chunk;
}

ListElement* ElementOf(const ListNode* block) { return (ListElement*)((char*)block + kElementOffset); }
ListNode*& ElementBlock(ListElement* element) { return *(ListNode**)ElementData(element); }

// A free slot's link to the one below it lies in its poisoned block: each access lifts the poison
// for that word.
ListNode* Below(ListNode* block) {
  Unpoison(&block->next, sizeof block->next);
  ListNode* below = block->next;
  Poison(&block->next, sizeof block->next);
  return below;
}

void SetBelow(ListNode* block, ListNode* below) {
  Unpoison(&block->next, sizeof block->next);
  block->next = below;
  Poison(&block->next, sizeof block->next);
}

ListNode* SlotBlock(const SlabChunk* chunk, int32_t k) { return (ListNode*)(chunk->slots + (size_t)k * kSlotBytes); }

SlabChunk* NewChunk(NodeSlab* slab) {
  auto* chunk = (SlabChunk*)AllocBlock((int32_t)(sizeof(SlabChunk) + 63 + kChunkSlots * kSlotBytes));
  if (!chunk) return nullptr;
  chunk->slots = (char*)(((uintptr_t)(chunk + 1) + 63) & ~(uintptr_t)63);
  Poison(chunk->slots, (size_t)kChunkSlots * kSlotBytes);
  chunk->next = slab->chunks;
  if (slab->chunks) slab->chunks->prev = chunk;
  slab->chunks = chunk;
  slab->free += kChunkSlots;
  return chunk;
}

// A slot never used, of the newest chunk or a new one; null when no chunk could be made. Kept out of
// TakeSlot, whose usual case is then a pop that saves no registers.
[[gnu::noinline]] ListNode* FreshSlot(NodeSlab* slab) {
  SlabChunk* chunk = slab->chunks;
  if (!chunk || chunk->fresh == kChunkSlots) chunk = NewChunk(slab);
  if (!chunk) return nullptr;
  ListNode* block = SlotBlock(chunk, chunk->fresh++);
  SlabChunk** owner = OwnerWord(block);
  Unpoison(owner, sizeof *owner);
  *owner = chunk;
  Poison(owner, sizeof *owner);
  return block;
}

// A cleared block of the slab with its size set (not yet recorded); null when no chunk could be
// made.
ListNode* TakeSlot(NodeSlab* slab, int32_t size) {
  ListNode* block = slab->top;
  if (block) {
    slab->top = Below(block);
  } else {
    block = FreshSlot(slab);
    if (!block) return nullptr;
  }
  slab->free -= 1;
  Unpoison(block, (size_t)size);
  memset(block, 0, kShortNodeSize);  // a fixed size is cleared without a library call
  if (size == kFullNodeSize) block->extra = nullptr;
  block->size = size;
  return block;
}

// Gives the block's slot back (its element out of the registry already).
void PutSlot(NodeSlab* slab, ListNode* block) {
  Poison(block, (size_t)block->size);
  SetBelow(block, slab->top);
  slab->top = block;
  slab->free += 1;
}

// Frees the slab's chunks without a live block. Their free slots leave the stack, whose order
// stays otherwise as it was.
void ReleaseEmptyChunks(NodeSlab* slab) {
  for (SlabChunk* chunk = slab->chunks; chunk; chunk = chunk->next) chunk->live = chunk->fresh;
  for (ListNode* block = slab->top; block; block = Below(block)) OwnerOf(block)->live -= 1;
  ListNode** link = &slab->top;
  while (ListNode* block = *link) {
    if (OwnerOf(block)->live == 0) {
      *link = Below(block);
      slab->free -= 1;
    } else {
      link = &block->next;
      Unpoison(link, sizeof *link);  // the next step reads it; it is poisoned again below
    }
  }
  for (ListNode* block = slab->top; block; block = Below(block)) Poison(&block->next, sizeof block->next);
  for (SlabChunk* chunk = slab->chunks; chunk;) {
    SlabChunk* next = chunk->next;
    if (chunk->live == 0) {
      slab->free -= kChunkSlots - chunk->fresh;
      if (chunk->prev)
        chunk->prev->next = chunk->next;
      else
        slab->chunks = chunk->next;
      if (chunk->next) chunk->next->prev = chunk->prev;
      Unpoison(chunk->slots, (size_t)kChunkSlots * kSlotBytes);
      FreeBlock(chunk);
    }
    chunk = next;
  }
}

// Whether the block lies in a slot of its size's chunks that was handed out.
bool InSlab(const ListNode* block) {
  const SlabChunk* chunk = OwnerOf(block);
  if (!chunk) return false;
  intptr_t offset = (const char*)block - chunk->slots;
  return offset >= 0 && offset % kSlotBytes == 0 && offset / kSlotBytes < chunk->fresh;
}

// Records a block of a slab in the registry through the element its slot holds.
void LinkSlotElement(ListNode* block) {
  ListElement* element = ElementOf(block);
  Unpoison(element, kElementBytes);
  LinkElement(&gProgram.registry, element);
  ElementBlock(element) = block;
  block->registered = element;
}

void UnlinkSlotElement(ListNode* block) {
  ListElement* element = block->registered;
  UnlinkElement(&gProgram.registry, element);
  ElementBlock(element) = nullptr;
  Poison(element, kElementBytes);
  block->registered = nullptr;
}

}  // namespace

namespace {

// A block of a size other than the nodes', on its own.
[[gnu::noinline]] ListNode* AllocOwnBlock(int32_t size) {
  // The size field itself must lie inside the block, and a node needs its item word.
  if (size < kShortNodeSize) return nullptr;
  auto* block = (ListNode*)AllocBlock(size);
  if (!block) return nullptr;
  if (!RegisterAllocation(block)) {
    FreeBlock(block);
    return nullptr;
  }
  block->size = size;
  return block;
}

}  // namespace

ListNode* AllocObject(int32_t size) {
  NodeSlab* slab = SlabFor(size);
  if (!slab) return AllocOwnBlock(size);
  // A block the registry does not hold would break its one truth: every live list block, once.
  if (!gProgram.registry.info) return nullptr;
  ListNode* block = TakeSlot(slab, size);
  if (block) LinkSlotElement(block);
  return block;
}

void PrefetchRecord(const ListNode* block) {
  __builtin_prefetch(block, 1);
  __builtin_prefetch(ElementOf(block), 1);  // where a node's record lies, found without reading it
}

void ReleaseSpareBlocks() {
  for (NodeSlab& slab : gProgram.slabs) ReleaseEmptyChunks(&slab);
}

namespace {

[[gnu::noinline]] void FreeOwnBlock(ListNode* block) {
  UnregisterAllocation(block);
  memset(block, 0, (size_t)block->size);
  FreeBlock(block);
}

}  // namespace

void FreeObject(ListNode* block) {
  if (!block) return;
  NodeSlab* slab = SlabFor(block->size);
  if (!slab) return FreeOwnBlock(block);
  // Its record can only be the element of its own slot: no need to read the element to know.
  if (block->registered == ElementOf(block)) UnlinkSlotElement(block);
  PutSlot(slab, block);
}

int32_t RegisterAllocation(ListNode* block) {
  if (!block) return 0;
  if (IsRegistered(block)) return 1;
  if (SlabFor(block->size)) {
    if (!gProgram.registry.info) return 0;
    LinkSlotElement(block);
    return 1;
  }
  ListElement* e = InsertElement(&gProgram.registry);
  if (!e) return 0;
  *(ListNode**)ElementData(e) = block;
  block->registered = e;
  return 1;
}

void UnregisterAllocation(ListNode* block) {
  if (!block || !IsRegistered(block)) return;
  if (SlabFor(block->size)) {
    UnlinkSlotElement(block);
    return;
  }
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
