// ObjectRegistry, node lists, library states and the loaded-modules registry.
#include <cstdint>
#include <cstring>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry_internal.h"

LoadedModulesState gLoadedModules;

namespace {

bool IsLive(const void* record) { return *(const intptr_t*)record != 0; }

bool IsStatic(const ObjectRegistry* registry, ObjectNumber number) {
  return number >= 0 && number < registry->capacity;
}

uint8_t* Slot(ObjectRegistry* registry, ObjectNumber number) {
  return registry->slots + (size_t)number * (size_t)registry->recordSize;
}

// The bytes of a slot array, or false when they would not fit in memory's addresses.
bool SlotArrayBytes(int64_t slots, int32_t recordSize, size_t* bytes) {
  if (slots < 0 || recordSize <= 0 || (uint64_t)slots > (uint64_t)PTRDIFF_MAX / (uint64_t)recordSize) return false;
  *bytes = (size_t)slots * (size_t)recordSize;
  return true;
}

ObjectNode* Oldest(ObjectNode* head) {
  if (!head) return nullptr;
  while (head->older) head = head->older;
  return head;
}

}  // namespace

ObjectRegistry* RegistryCreate(int32_t recordSize, int32_t initialSlots, ReleaseRoutine release) {
  size_t bytes;
  if (recordSize < (int32_t)sizeof(intptr_t) || !SlotArrayBytes(initialSlots, recordSize, &bytes)) return nullptr;
  auto* registry = (ObjectRegistry*)RuntimeAlloc(sizeof(ObjectRegistry));
  if (!registry) return nullptr;
  registry->recordSize = recordSize;
  registry->capacity = initialSlots;
  // Growth must reach past the number asked for, also from no slots at all.
  registry->growthStep = initialSlots > 0 ? initialSlots : 1;
  registry->release = release;
  registry->slots = (uint8_t*)RuntimeAlloc(bytes);
  if (!registry->slots) {
    RuntimeFree(registry);
    return nullptr;
  }
  return registry;
}

void* RegistryAllocate(ObjectRegistry* registry, ObjectNumber number) {
  if (!registry) return nullptr;
  if (number == AnyID) {
    return NodeListAdd(&registry->dynamicHead, sizeof(ObjectNode) + (size_t)registry->recordSize);
  }
  if (number < 0 || number >= kRegistryStaticLimit) return nullptr;
  if (number >= registry->capacity) {
    int64_t capacity = (int64_t)number + registry->growthStep;
    if (capacity > INT32_MAX) capacity = INT32_MAX;
    size_t bytes;
    if (!SlotArrayBytes(capacity, registry->recordSize, &bytes)) return nullptr;
    auto* grown = (uint8_t*)RuntimeReAlloc(registry->slots, bytes);
    if (!grown) return nullptr;
    registry->slots = grown;
    registry->capacity = (int32_t)capacity;
  }
  if (registry->release) registry->release(number);
  return Slot(registry, number);
}

void* RegistryRecord(ObjectRegistry* registry, ObjectNumber number) {
  if (!registry) return nullptr;
  if (IsStatic(registry, number)) return Slot(registry, number);
  return NodeListFind(registry->dynamicHead, (void*)number);
}

void* RegistryLookup(ObjectRegistry* registry, ObjectNumber number) {
  void* record = RegistryRecord(registry, number);
  return record && IsLive(record) ? record : nullptr;
}

intptr_t RegistryCheck(ObjectRegistry* registry, ObjectNumber number) {
  if (!registry) return 0;
  if (IsStatic(registry, number)) {
    uint8_t* slot = Slot(registry, number);
    return IsLive(slot) ? (intptr_t)slot : 0;
  }
  return NodeListFind(registry->dynamicHead, (void*)number) ? number : 0;
}

void RegistryFree(ObjectRegistry* registry, ObjectNumber number) {
  if (!registry) return;
  if (IsStatic(registry, number)) {
    memset(Slot(registry, number), 0, (size_t)registry->recordSize);
  } else if (NodeListFind(registry->dynamicHead, (void*)number)) {
    if (registry->enumCursor && NodeRecord(registry->enumCursor) == (void*)number) {
      registry->enumCursor = registry->enumCursor->newer;
    }
    NodeListRemove(&registry->dynamicHead, (void*)number);
  }
}

void RegistryEnumStart(ObjectRegistry* registry) {
  if (!registry) return;
  registry->enumIndex = 0;
  registry->enumCursor = Oldest(registry->dynamicHead);
}

void* RegistryEnumNext(ObjectRegistry* registry, ObjectNumber* number) {
  if (!registry) return nullptr;
  while (registry->enumIndex >= 0 && registry->enumIndex < registry->capacity) {
    int32_t index = registry->enumIndex++;
    uint8_t* slot = Slot(registry, index);
    if (IsLive(slot)) {
      *number = index;
      return slot;
    }
  }
  if (ObjectNode* node = registry->enumCursor) {
    registry->enumCursor = node->newer;
    *number = (ObjectNumber)NodeRecord(node);
    return NodeRecord(node);
  }
  return nullptr;
}

int32_t RegistryValidate(const ObjectRegistry* registry) {
  if (!registry || registry->recordSize < (int32_t)sizeof(intptr_t) || registry->capacity < 0) return 0;
  if (registry->capacity > 0 && !registry->slots) return 0;
  if (registry->dynamicHead && registry->dynamicHead->newer) return 0;
  // Links that agree both ways also rule out a cycle: it would have to come back to the head.
  bool cursorOnList = !registry->enumCursor;
  for (const ObjectNode* node = registry->dynamicHead; node; node = node->older) {
    if (node->older && node->older->newer != node) return 0;
    cursorOnList = cursorOnList || node == registry->enumCursor;
  }
  return cursorOnList ? 1 : 0;
}

int RegistryForEach(ObjectRegistry* registry, RegistryVisitor visitor, intptr_t user) {
  if (!registry) return 1;
  for (int32_t i = 0; i < registry->capacity; ++i) {
    uint8_t* slot = Slot(registry, i);
    if (IsLive(slot) && !visitor(i, slot, user)) return 0;
  }
  for (ObjectNode* node = Oldest(registry->dynamicHead); node;) {
    ObjectNode* next = node->newer;
    void* record = NodeRecord(node);
    if (!visitor((ObjectNumber)record, record, user)) return 0;
    node = next;
  }
  return 1;
}

void* NodeListAdd(ObjectNode** head, size_t blockSize) {
  if (blockSize < sizeof(ObjectNode)) blockSize = sizeof(ObjectNode);
  auto* node = (ObjectNode*)PlatformHeapAlloc(gCore.objectNodeHeap, kHeapZeroMemory, blockSize);
  if (!node) return nullptr;
  node->older = *head;
  if (*head) (*head)->newer = node;
  *head = node;
  return NodeRecord(node);
}

void NodeListRemove(ObjectNode** head, void* record) {
  if (!record) return;
  ObjectNode* node = RecordNode(record);
  if (node == *head) {
    *head = node->older;
    if (*head) (*head)->newer = nullptr;
  } else {
    if (node->newer) node->newer->older = node->older;
    if (node->older) node->older->newer = node->newer;
  }
  PlatformHeapFree(gCore.objectNodeHeap, 0, node);
}

void* NodeListFind(ObjectNode* head, void* record) {
  for (ObjectNode* node = head; node; node = node->older) {
    if (NodeRecord(node) == record) return record;
  }
  return nullptr;
}

void* CreateLibraryState(size_t size, void (*initialiser)(void*), void (*)(void*)) {
  void* state = RuntimeAlloc(size);
  if (state && initialiser) initialiser(state);
  return state;
}

void InitObjectNodes() {
  if (!gCore.objectNodeHeap) gCore.objectNodeHeap = PlatformHeapCreate(0, 1024, 0);
}

void EndObjectNodes() {}

void InitLoadedModules() {
  if (!gLoadedModules.modules) gLoadedModules.modules = RegistryCreate(sizeof(LoadedModule), 16, ReleaseModule);
}

void ReleaseModule(ObjectNumber number) {
  auto* record = (LoadedModule*)RegistryLookup(gLoadedModules.modules, number);
  if (!record) return;
  PlatformFreeModule(record->module);
  RegistryFree(gLoadedModules.modules, number);
}

void EndLoadedModules() {
  ObjectRegistry* registry = gLoadedModules.modules;
  if (!registry) return;
  ObjectNumber number;
  RegistryEnumStart(registry);
  while (RegistryEnumNext(registry, &number)) ReleaseModule(number);
}
