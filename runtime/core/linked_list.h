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

// The words to update are picked by selects rather than branches: for the allocation registry,
// whether an element stands first or last, or the cursor stands before the first, follows no
// pattern.
inline void UnlinkElement(LinkedList* list, ListElement* element) {
  ListInfo* info = list->info;
  if (!info || !element) return;
  info->count -= 1;
  ListElement* prev = element->prev;
  ListElement* next = element->next;
  ListElement** toNext = prev ? &prev->next : &info->first;
  ListElement** toPrev = next ? &next->prev : &info->last;
  *toNext = next;
  *toPrev = prev;
  element->next = element->prev = nullptr;
  RewindList(list);
}

inline void LinkElement(LinkedList* list, ListElement* e) {
  ListInfo* info = list->info;
  if (!info || !e) return;
  info->count += 1;
  info->index += 1;
  ListElement* cur = list->current;
  ListElement** toE = cur ? &cur->next : &info->first;  // the word that will name e
  ListElement* next = *toE;
  e->prev = cur;
  e->next = next;
  *toE = e;
  ListElement** back = next ? &next->prev : &info->last;
  *back = e;
  list->current = e;
}
