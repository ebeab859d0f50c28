// The demo's own counted, doubly linked list. A list is identified by its header; header and
// nodes share one block layout, and every block comes from AllocObject, which records it in the
// program's allocation registry. Nodes never own what their payload words point at.
#pragma once
#include <cstddef>
#include <cstdint>

struct ListNode {
  ListNode* next;  // header: first node; node: the following node (null at the tail)
  ListNode* prev;  // node: the preceding node, the header for the first one; header: unused
  intptr_t size;   // the block's own size in bytes; a header's size is also that of its nodes
  intptr_t count;  // header: number of nodes
  intptr_t reserved;
  void* item;   // payload
  void* extra;  // payload of full-size nodes only: short nodes end before this word
};
using ObjectList = ListNode;

// Full nodes carry item and extra; short nodes end after item.
constexpr int32_t kFullNodeSize = (int32_t)sizeof(ListNode);
constexpr int32_t kShortNodeSize = (int32_t)offsetof(ListNode, extra);

// A zeroed block of the given size with its size field set, recorded in the allocation registry.
// Null when the size cannot hold a short node or memory ran out.
ListNode* AllocObject(int32_t size);
// Clears the block, frees it and drops every registry entry of its address. Null is ignored.
void FreeObject(ListNode* block);
int32_t RegisterAllocation(void* block);  // 0 when the registry could not record it
void UnregisterAllocation(void* block);

void LinkNodes(ListNode* a, ListNode* b);
intptr_t ObjListCount(const ObjectList* list);
ListNode* ObjListFirst(const ObjectList* list);
ListNode* ObjListNext(const ListNode* node);
// The tail node, or the header itself when the list is empty; null for a null list.
ListNode* ObjListLast(ObjectList* list);
// A new zeroed node at the tail, its payload left to the caller; null when none could be made.
ListNode* ObjListAppend(ObjectList* list);
void ObjListRemove(ObjectList* list, ListNode* node);
// Frees every node; the header stays and the list can be appended to again.
void ObjListClear(ObjectList* list);
// Clears the list, then frees its header.
void ObjListFree(ObjectList* list);
// The first node whose item is the given one, or null.
ListNode* ObjListFind(const ObjectList* list, const void* item);

// 1 when the links, the count and every node's size agree with the header, else 0.
int32_t ObjListValidate(const ObjectList* list);
