// Built-in linked lists in the RuntimeHeap.
#include "runtime/core/linked_list.h"

#include "runtime/core/heaps_internal.h"
#include "runtime/core/text.h"

void CreateLinkedList(LinkedList* list, int32_t dataSize, const intptr_t* stringFields, int32_t typeCode) {
  FreeLinkedList(list);
  auto* info = (ListInfo*)RuntimeAlloc(sizeof(ListInfo));
  list->info = info;
  list->current = nullptr;
  if (!info) return;
  info->elementSize = (intptr_t)(dataSize > 0 ? dataSize : 0) + (intptr_t)sizeof(ListElement);
  info->stringFields = stringFields;
  info->typeCode = typeCode;
}

namespace {
void FreeElement(ListInfo* info, ListElement* e) {
  if (info->stringFields) FreeElementStrings(ElementData(e), info->stringFields);
  RuntimeFree(e);
}
}  // namespace

ListElement* InsertElement(LinkedList* list) {
  if (!list->info) return nullptr;
  auto* e = (ListElement*)RuntimeAlloc((size_t)list->info->elementSize);
  if (e) LinkElement(list, e);
  return e;
}

ListElement* StepList(LinkedList* list) {
  ListInfo* info = list->info;
  if (!info) return nullptr;
  if (!list->current) {
    list->current = info->first;
    if (list->current) info->index = 1;
    return list->current;
  }
  if (!list->current->next) return nullptr;
  list->current = list->current->next;
  info->index += 1;
  return list->current;
}

void RemoveCurrent(LinkedList* list) {
  ListInfo* info = list->info;
  ListElement* e = list->current;
  if (!info || !e) return;
  info->count -= 1;
  info->index -= 1;
  if (!e->prev && !e->next) {
    info->first = info->last = nullptr;
    list->current = nullptr;
  } else if (!e->prev) {
    e->next->prev = nullptr;
    info->first = e->next;
    list->current = nullptr;
  } else if (!e->next) {
    e->prev->next = nullptr;
    info->last = e->prev;
    list->current = e->prev;
  } else {
    e->prev->next = e->next;
    e->next->prev = e->prev;
    list->current = e->prev;
  }
  FreeElement(info, e);
}

void RemoveElement(LinkedList* list, ListElement* element) {
  if (!list->info || !element) return;
  UnlinkElement(list, element);
  FreeElement(list->info, element);
}

void EmptyLinkedList(LinkedList* list) {
  if (!list->info) return;
  RewindList(list);
  while (StepList(list)) RemoveCurrent(list);
}

void FreeLinkedList(LinkedList* list) {
  if (!list->info) return;
  EmptyLinkedList(list);
  RuntimeFree(list->info);
  list->info = nullptr;
  list->current = nullptr;
}

void FreeElementStrings(void* data, const intptr_t* table) {
  if (!table) return;
  auto* base = (char*)data;
  for (const intptr_t* entry = table; *entry != kStringFieldsEnd;) {
    if (*entry == kStringFieldsArray) {
      intptr_t count = entry[1], offset = entry[2], stride = entry[3];
      auto* sub = (const intptr_t*)entry[4];
      for (intptr_t i = 0; i < count; ++i) FreeElementStrings(base + offset + i * stride, sub);
      entry += 5;
    } else {
      FreeString(*(char**)(base + *entry));
      entry += 1;
    }
  }
}

int32_t LinkedListValidate(const LinkedList* list) {
  const ListInfo* info = list->info;
  if (!info) return list->current ? 0 : 1;
  if (info->elementSize < (intptr_t)sizeof(ListElement)) return 0;
  intptr_t n = 0, cursorAt = list->current ? -1 : 0;
  const ListElement* prev = nullptr;
  for (const ListElement* e = info->first; e; e = e->next) {
    if (e->prev != prev || ++n > info->count) return 0;
    if (e == list->current) cursorAt = n;
    prev = e;
  }
  return n == info->count && info->last == prev && cursorAt == info->index ? 1 : 0;
}
