// The demo's own counted, doubly linked list. A list is identified by its header; header and
// nodes share one block layout, and every block comes from AllocObject, which records it in the
// program's allocation registry. Nodes never own what their payload words point at.
//
// Words the layout leaves unused carry bookkeeping, so that no operation has to walk a list or the
// registry: a header's prev holds its last node (appending does not walk to the tail), every
// block's registered word holds its element in the registry (freeing does not search for it), and
// a node's link word is free for the list's owner (the collision grid keeps its links there).
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/linked_list.h"

struct ListNode {
  ListNode* next;  // header: first node; node: the following node (null at the tail)
  ListNode* prev;  // node: the preceding node, the header for the first one; header: the last node, null when empty
  intptr_t size;   // the block's own size in bytes; a header's size is also that of its nodes
  union {
    intptr_t count;  // header: number of nodes
    ListNode* link;  // node: the owner's (null unless the owner sets it)
  };
  ListElement* registered;  // the block's element in the allocation registry
  void* item;               // payload
  void* extra;              // payload of full-size nodes only: short nodes end before this word
};
using ObjectList = ListNode;

// Full nodes carry item and extra; short nodes end after item.
constexpr int32_t kFullNodeSize = (int32_t)sizeof(ListNode);
constexpr int32_t kShortNodeSize = (int32_t)offsetof(ListNode, extra);

// A zeroed block of the given size with its size field set, recorded in the allocation registry.
// Null when the size cannot hold a short node or memory ran out (then nothing is recorded).
// Blocks of the two node sizes are carved from larger AllocBlock chunks, the latest freed re-used
// first; other sizes are blocks of their own.
ListNode* AllocObject(int32_t size);
// Drops the block from the registry, clears it and frees it: a block of a node size goes back to
// its chunk for re-use (see ReleaseSpareBlocks). Null is ignored; a block of a node size must come
// from AllocObject.
void FreeObject(ListNode* block);
// For a block of a node size about to be freed: asks for the block and its registry record, which
// FreeObject reads and writes, to be brought into the cache without waiting for either, so that
// the wait overlaps the caller's work.
void PrefetchRecord(const ListNode* block);
// Frees the chunks without a live block. Until then chunks are kept: the memory they hold is that
// of the most list blocks of their size live at one time.
void ReleaseSpareBlocks();
// Records the block in the registry unless it is recorded already; 0 when memory ran out.
int32_t RegisterAllocation(ListNode* block);
// Drops the block's record from the registry; a block that is not recorded changes nothing.
void UnregisterAllocation(ListNode* block);

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

// Moving a node from one list to the tail of another without freeing it: the node stays a live,
// recorded block while it is out of any list. Both lists must make nodes of the node's size.
// Detach gives 0, and changes nothing, for a node that is not linked.
int32_t ObjListDetach(ObjectList* list, ListNode* node);
void ObjListAttach(ObjectList* list, ListNode* node);

// 1 when the links, the tail, the count, every node's size and every block's registry record
// agree with the header, else 0.
int32_t ObjListValidate(const ObjectList* list);
// 1 when the block's registered word names an element of the registry that holds the block.
int32_t IsRegistered(const ListNode* block);
