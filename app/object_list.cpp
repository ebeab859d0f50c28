// Object lists and the allocation registry behind their blocks.
#include "app/object_list.h"

#include <cstring>

#include "app/program.h"
#include "runtime/core/heaps.h"

ListNode* AllocObject(int32_t size) {
  // The size field itself must lie inside the block, and a node needs its item word.
  if (size < kShortNodeSize) return nullptr;
  auto* block = (ListNode*)AllocBlock(size);
  if (!block) return nullptr;
  // A block the registry cannot record is not handed out: the registry holds every live list block.
  if (!RegisterAllocation(block)) {
    FreeBlock(block);
    return nullptr;
  }
  block->size = size;
  return block;
}

void FreeObject(ListNode* block) {
  if (!block) return;
  memset(block, 0, (size_t)block->size);
  FreeBlock(block);
  UnregisterAllocation(block);
}

int32_t RegisterAllocation(void* block) {
  ListElement* e = InsertElement(&gProgram.registry);
  if (!e) return 0;
  *(void**)ElementData(e) = block;
  return 1;
}

void UnregisterAllocation(void* block) {
  LinkedList* registry = &gProgram.registry;
  RewindList(registry);
  // Every entry goes, not just the first: RemoveCurrent steps the cursor back, so the walk
  // continues with the element after the one removed.
  while (ListElement* e = StepList(registry)) {
    if (*(void**)ElementData(e) == block) RemoveCurrent(registry);
  }
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
  ListNode* last = list;
  while (last->next) last = last->next;
  return last;
}

ListNode* ObjListAppend(ObjectList* list) {
  if (!list) return nullptr;
  ListNode* node = AllocObject((int32_t)list->size);
  if (!node) return nullptr;
  ListNode* last = ObjListLast(list);
  list->count += 1;
  node->prev = last;
  last->next = node;
  return node;
}

void ObjListRemove(ObjectList* list, ListNode* node) {
  // A linked node always has a predecessor (the header for the first); anything else is not ours.
  if (!list || !node || !node->prev || node == list) return;
  LinkNodes(node->prev, node->next);
  FreeObject(node);
  list->count -= 1;
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
  if (!list || list->size < kShortNodeSize) return 0;
  intptr_t n = 0;
  const ListNode* prev = list;
  for (const ListNode* node = list->next; node; node = node->next) {
    if (node->prev != prev || node->size != list->size || node->count != 0) return 0;
    prev = node;
    if (++n > list->count) return 0;
  }
  return n == list->count ? 1 : 0;
}
