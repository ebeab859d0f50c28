/// \file
/// Numbered objects, and the start and end routines of the object-node storage and of the
/// loaded-modules registry.
///
/// Every kind of runtime object (windows, sprites, 3D sprites, sounds, ...) is addressed by a
/// number. Numbers from 0 up are static slots of the object's library. AnyID asks the opening
/// command for a dynamic number, which it returns (the address of the object's record); a static
/// opening returns the object's system handle or record instead. Opening a number already in use
/// releases the old object first. A command given a number that names no object does nothing and
/// returns 0 (-1 where a coordinate is asked for).
#pragma once
#include <cstdint>

/// An object's number: a static slot from 0 up, or a dynamic number returned for AnyID.
using ObjectNumber = intptr_t;
/// Asks an opening command for a new dynamic number.
constexpr ObjectNumber AnyID = -1;

/// Static numbers at or above this are refused (the opening command returns 0): a slot array that
/// large is never meant, and the number is more likely a stale dynamic one.
constexpr ObjectNumber kRegistryStaticLimit = 1 << 20;

/// Start routine of the object-node storage: creates the ObjectNodeHeap in which dynamic objects
/// live. Calling it again does nothing.
void InitObjectNodes();
/// End routine of the object-node storage: nothing to do (the heap goes with the process).
void EndObjectNodes();

/// Start routine of the loaded-modules registry (module handles released with FreeLibrary).
/// Calling it again does nothing.
void InitLoadedModules();
/// End routine of the loaded-modules registry: frees every module it holds.
void EndLoadedModules();
