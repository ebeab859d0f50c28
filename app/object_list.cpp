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

// Freed blocks of the two node sizes are kept for re-use with their registry element, which is out
// of the registry while the block is free: the lists' steady churn (candidate lists, cells entered
// and left) then costs no heap call. A pool keeps at most kMostSpare blocks; the rest go back to
// the heap. Under the address sanitizer a kept block is poisoned, so a use after free still shows.
constexpr int32_t kMostSpare = 4096;

SpareBlocks* SpareFor(intptr_t size) {
  if (size == kShortNodeSize) return &gProgram.spare[0];
  if (size == kFullNodeSize) return &gProgram.spare[1];
  return nullptr;
}

void Poison(ListNode* block, size_t size) {
  (void)block;
  (void)size;
#if HURZ_ASAN
  ASAN_POISON_MEMORY_REGION(block, size);
#endif
}

void Unpoison(ListNode* block, size_t size) {
  (void)block;
  (void)size;
#if HURZ_ASAN
  ASAN_UNPOISON_MEMORY_REGION(block, size);
#endif
}

// A kept block of the size, back in the registry and cleared; null when none is kept.
ListNode* ReuseSpare(int32_t size) {
  SpareBlocks* spare = SpareFor(size);
  ListNode* block = spare ? spare->first : nullptr;
  if (!block) return nullptr;
  Unpoison(block, (size_t)size);
  spare->first = block->next;
  spare->count -= 1;
  ListElement* record = block->registered;
  memset(block, 0, (size_t)size);
  LinkElement(&gProgram.registry, record);
  block->registered = record;
  block->size = size;
  return block;
}

// Keeps a registered block of a node size for re-use; 0 when it is not kept.
int32_t KeepSpare(ListNode* block) {
  SpareBlocks* spare = SpareFor(block->size);
  if (!spare || spare->count >= kMostSpare || !IsRegistered(block)) return 0;
  ListElement* record = block->registered;
  UnlinkElement(&gProgram.registry, record);
  size_t size = (size_t)block->size;
  memset(block, 0, size);
  block->registered = record;
  block->next = spare->first;
  spare->first = block;
  spare->count += 1;
  Poison(block, size);
  return 1;
}

}  // namespace

ListNode* AllocObject(int32_t size) {
  // The size field itself must lie inside the block, and a node needs its item word.
  if (size < kShortNodeSize) return nullptr;
  if (ListNode* block = ReuseSpare(size)) return block;
  auto* block = (ListNode*)AllocBlock(size);
  if (!block) return nullptr;
  // A block the registry does not hold would break its one truth: every live list block, once.
  if (!RegisterAllocation(block)) {
    FreeBlock(block);
    return nullptr;
  }
  block->size = size;
  return block;
}

void ReleaseSpareBlocks() {
  const int32_t sizes[] = {kShortNodeSize, kFullNodeSize};
  for (int32_t size : sizes) {
    SpareBlocks* spare = SpareFor(size);
    while (ListNode* block = spare->first) {
      Unpoison(block, (size_t)size);
      spare->first = block->next;
      spare->count -= 1;
      RuntimeFree(block->registered);  // an element out of its list is a RuntimeHeap block like any
      FreeBlock(block);
    }
  }
}

void FreeObject(ListNode* block) {
  if (!block || KeepSpare(block)) return;
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
  intptr_t n = 0;
  const ListNode* prev = list;
  for (const ListNode* node = list->next; node; node = node->next) {
    if (node->prev != prev || node->size != list->size || !IsRegistered(node)) return 0;
    prev = node;
    if (++n > list->count) return 0;
  }
  // The header's prev is the tail, null for an empty list.
  if (list->prev != (n ? prev : nullptr)) return 0;
  return n == list->count ? 1 : 0;
}
