// The built-in doubly linked list with a cursor. A list lives in a two-word LinkedList variable;
// elements are zeroed RuntimeHeap blocks: two links, then the element's data. Insertion happens
// after the cursor, deletion removes the cursor's element and steps the cursor back.
#pragma once
#include <cstdint>

struct ListElement {
  ListElement* next;
  ListElement* prev;
};
inline void* ElementData(ListElement* element) { return element + 1; }

// String-field table: offsets of string fields in the element data, ending with -1.
// -2 opens an array descriptor: -2, count, offset, stride, sub-table (a pointer, as an entry).
constexpr intptr_t kStringFieldsEnd = -1;
constexpr intptr_t kStringFieldsArray = -2;

struct ListInfo {
  ListElement* first;
  ListElement* last;
  intptr_t elementSize;  // data size plus the two links
  intptr_t count;
  intptr_t index;        // 1-based position of the cursor, 0 before the first element
  const intptr_t* stringFields;
  intptr_t typeCode;
};

struct LinkedList {
  ListInfo* info;
  ListElement* current;  // null: the cursor stands before the first element
};

// When memory runs out the variable holds no list (info null), and every operation does nothing.
void CreateLinkedList(LinkedList* list, int32_t dataSize, const intptr_t* stringFields, int32_t typeCode);
ListElement* InsertElement(LinkedList* list);  // null when the list does not exist or memory ran out
inline void RewindList(LinkedList* list);
ListElement* StepList(LinkedList* list);
void RemoveCurrent(LinkedList* list);
// Deletes the given element of the list, wherever the cursor stands, without a walk; the cursor is
// then rewound, since its position could not be told without one.
void RemoveElement(LinkedList* list, ListElement* element);
// For callers that recycle elements: takes the element out of the list as RemoveElement does but
// leaves it to the caller, and puts such an element back after the cursor, as InsertElement puts a
// new one (its data as the caller left it).
inline void UnlinkElement(LinkedList* list, ListElement* element);
inline void LinkElement(LinkedList* list, ListElement* element);
// RewindList, UnlinkElement and LinkElement are defined at the end, inline: the allocation
// registry links or unlinks an element for every list block it records or drops.
void EmptyLinkedList(LinkedList* list);
void FreeLinkedList(LinkedList* list);
void FreeElementStrings(void* data, const intptr_t* table);
// 1 when the elements are linked both ways from first to last, their number is the count and the
// cursor's position is its index (0 before the first); a variable holding no list has no cursor.
int32_t LinkedListValidate(const LinkedList* list);

inline void RewindList(LinkedList* list) {
  list->current = nullptr;
  if (list->info) list->info->index = 0;
}

inline void UnlinkElement(LinkedList* list, ListElement* element) {
  ListInfo* info = list->info;
  if (!info || !element) return;
  info->count -= 1;
  if (element->prev)
    element->prev->next = element->next;
  else
    info->first = element->next;
  if (element->next)
    element->next->prev = element->prev;
  else
    info->last = element->prev;
  element->next = element->prev = nullptr;
  RewindList(list);
}

inline void LinkElement(LinkedList* list, ListElement* e) {
  ListInfo* info = list->info;
  if (!info || !e) return;
  info->count += 1;
  info->index += 1;
  if (ListElement* cur = list->current) {
    e->prev = cur;
    e->next = cur->next;
    if (cur->next) cur->next->prev = e;
    cur->next = e;
  } else {
    e->next = info->first;
    e->prev = nullptr;
    if (info->first) info->first->prev = e;
  }
  list->current = e;
  if (!e->prev) info->first = e;
  if (!e->next) info->last = e;
}
