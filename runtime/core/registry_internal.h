// The object registry every library keeps its numbered objects in: numbers map to fixed-size
// records, static numbers in a contiguous slot array, dynamic ones (AnyID) in records allocated on
// their own in an ObjectNode. The first word of every record is its liveness marker.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/registry.h"

using ReleaseRoutine = void (*)(ObjectNumber number);

// Two links, then the record. The head of a node list is the newest node.
struct ObjectNode {
  ObjectNode* older;
  ObjectNode* newer;
};
inline void* NodeRecord(ObjectNode* node) { return node + 1; }
inline ObjectNode* RecordNode(void* record) { return (ObjectNode*)record - 1; }

struct ObjectRegistry {
  int32_t recordSize;
  int32_t growthStep;
  int32_t capacity;
  ObjectNode* dynamicHead;
  ReleaseRoutine release;
  int32_t enumIndex;
  ObjectNode* enumCursor;
  uint8_t* slots;
};

// Null when memory ran out, or for a record too small for its liveness marker, a negative slot
// count or an array too large to address. Any count from 0 up grows by at least one slot.
ObjectRegistry* RegistryCreate(int32_t recordSize, int32_t initialSlots, ReleaseRoutine release);
// The record to fill in for a number (releasing what the number held first); null when refused.
void* RegistryAllocate(ObjectRegistry* registry, ObjectNumber number);
// The live record of a number, or null. Static numbers are one index; a dynamic number is accepted
// only when it is on the registry's dynamic list, so a stale or invented number never reaches memory.
void* RegistryLookup(ObjectRegistry* registry, ObjectNumber number);
// The record of a number whether it is live or not, or null when the registry holds none for it: for
// filling a record in across calls that run callbacks, which may grow the registry and move its slots.
void* RegistryRecord(ObjectRegistry* registry, ObjectNumber number);
// Static: the live slot's address; dynamic: the number itself when it was issued and not freed; else 0.
intptr_t RegistryCheck(ObjectRegistry* registry, ObjectNumber number);
void RegistryFree(ObjectRegistry* registry, ObjectNumber number);

// 1 when the slot array is there for every slot, the dynamic list is linked the same way in both
// directions and the enumeration cursor lies on it; else 0.
int32_t RegistryValidate(const ObjectRegistry* registry);

// Static objects in ascending order, then dynamic ones from oldest to newest. The object just
// handed out may be freed by the caller before the next call.
void RegistryEnumStart(ObjectRegistry* registry);
void* RegistryEnumNext(ObjectRegistry* registry, ObjectNumber* number);

// Visitor returns 0 to stop the walk; RegistryForEach then returns 0.
using RegistryVisitor = int (*)(ObjectNumber number, void* record, intptr_t user);
int RegistryForEach(ObjectRegistry* registry, RegistryVisitor visitor, intptr_t user);

// Node lists in the ObjectNodeHeap. blockSize includes the two links (sizeof(ObjectNode)).
void* NodeListAdd(ObjectNode** head, size_t blockSize);
void NodeListRemove(ObjectNode** head, void* record);
void* NodeListFind(ObjectNode* head, void* record);

// A zeroed block of library globals in the RuntimeHeap. The release routine is accepted and not
// kept: each library's end routine frees what its state holds.
void* CreateLibraryState(size_t size, void (*initialiser)(void* state), void (*release)(void* state));

// Loaded modules: a registry of module handles released with FreeLibrary.
struct LoadedModule {
  void* module;
};
struct LoadedModulesState {
  ObjectRegistry* modules;
};
extern LoadedModulesState gLoadedModules;
void ReleaseModule(ObjectNumber number);
