// Numbered objects. Every kind of runtime object (windows, sprites, sounds, ...) is addressed by a
// number: numbers from 0 up are static slots, and AnyID asks the opening command for a dynamic
// number, which it returns. Also the start and end routines of the object-node storage and of the
// loaded-modules registry.
#pragma once
#include <cstdint>

using ObjectNumber = intptr_t;
constexpr ObjectNumber AnyID = -1;

// Static numbers at or above this are refused (the opening command returns 0): a slot array that
// large is never meant, and the number is more likely a stale dynamic one.
constexpr ObjectNumber kRegistryStaticLimit = 1 << 20;

// Object-node storage: the start creates the ObjectNodeHeap; the end has nothing to do.
void InitObjectNodes();
void EndObjectNodes();

// Loaded modules: a registry of module handles released with FreeLibrary.
void InitLoadedModules();
void EndLoadedModules();
