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
  // A block the registry does not hold would break its one truth: every live list block, once.
  if (!RegisterAllocation(block)) {
    FreeBlock(block);
    return nullptr;
  }
  block->size = size;
  return block;
}

void FreeObject(ListNode* block) {
  if (!block) return;
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
