/// \file
/// The built-in doubly linked list with a cursor. A list lives in a two-word LinkedList variable;
/// elements are zeroed RuntimeHeap blocks: two links, then the element's data (ElementData).
/// Insertion happens after the cursor, deletion removes the cursor's element and steps the cursor
/// back. Positions count from 1; 0 is the place before the first element.
#pragma once
#include <cstdint>

/// The links at the start of every element; the element's data follows them.
struct ListElement {
  ListElement* next;  ///< the next element, null for the last
  ListElement* prev;  ///< the previous element, null for the first
};
/// The element's data, right after its links.
inline void* ElementData(ListElement* element) { return element + 1; }

/// String-field tables: offsets of string variables in the element data, ending with
/// kStringFieldsEnd; their texts are freed with the element. kStringFieldsArray opens an array
/// descriptor: kStringFieldsArray, count, offset, stride, sub-table (a pointer, as an entry).
constexpr intptr_t kStringFieldsEnd = -1;
constexpr intptr_t kStringFieldsArray = -2;  ///< opens an array descriptor in a string-field table

/// A list's record.
struct ListInfo {
  ListElement* first;            ///< null when the list is empty
  ListElement* last;             ///< null when the list is empty
  intptr_t elementSize;          ///< data size plus the two links
  intptr_t count;                ///< number of elements
  intptr_t index;                ///< 1-based position of the cursor, 0 before the first element
  const intptr_t* stringFields;  ///< the string-field table, or null
  intptr_t typeCode;             ///< the type code given at creation
};

/// A list variable: zero-initialise it before its first CreateLinkedList.
struct LinkedList {
  ListInfo* info;        ///< null while the variable holds no list
  ListElement* current;  ///< the cursor's element; null: the cursor stands before the first element
};

/// Makes a new, empty list in the variable, freeing the list it held first. Elements carry
/// `dataSize` bytes of data (a negative size counts as 0); `stringFields` (may be null) names the
/// string variables in the data, whose texts are freed with each element; `typeCode` is kept.
/// When memory runs out the variable holds no list (info null), and every operation does nothing.
void CreateLinkedList(LinkedList* list, int32_t dataSize, const intptr_t* stringFields, int32_t typeCode);
/// Inserts a zeroed element after the cursor and moves the cursor onto it.
/// \return the new element, or null when the variable holds no list or memory ran out.
ListElement* InsertElement(LinkedList* list);
/// Moves the cursor before the first element.
inline void RewindList(LinkedList* list);
/// Moves the cursor to the next element (from before the first: to the first).
/// \return that element, or null at the end of the list, where the cursor stays.
ListElement* StepList(LinkedList* list);
/// Deletes the cursor's element (its string fields freed) and moves the cursor to the element
/// before it, or before the first. Nothing happens while the cursor stands before the first.
void RemoveCurrent(LinkedList* list);
/// Deletes the given element of the list, wherever the cursor stands, without a walk; the cursor is
/// then rewound, since its position could not be told without one.
void RemoveElement(LinkedList* list, ListElement* element);
/// For callers that recycle elements: takes the element out of the list as RemoveElement does
/// (rewinding the cursor) but leaves the block to the caller.
inline void UnlinkElement(LinkedList* list, ListElement* element);
/// Puts an element that UnlinkElement took out back after the cursor, as InsertElement puts a new
/// one (its data as the caller left it), and moves the cursor onto it.
inline void LinkElement(LinkedList* list, ListElement* element);
// RewindList, UnlinkElement and LinkElement are defined at the end, inline: the allocation
// registry links or unlinks an element for every list block it records or drops.
/// Deletes every element (their string fields freed); the list itself stays, empty.
void EmptyLinkedList(LinkedList* list);
/// Deletes every element and the list; the variable then holds no list.
void FreeLinkedList(LinkedList* list);
/// Frees the string variables that a string-field table names in a block of data (null: none).
void FreeElementStrings(void* data, const intptr_t* table);
/// Checks the list's invariants, for tests.
/// \return 1 when the elements are linked both ways from first to last, their number is the count
///   and the cursor's position is its index (0 before the first), or when the variable holds no list
///   and no cursor; else 0.
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
