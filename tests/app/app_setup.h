// The runtime core plus the program lists the demo's data modules rely on.
#pragma once
#include "app/program.h"
#include "support/core_setup.h"

inline void EnsureAppStarted() {
  EnsureCoreStarted();
  if (!gProgram.registry.info) CreateProgramLists();
}

// How often the allocation registry holds the block's address.
inline int RegistryEntries(const void* block) {
  int n = 0;
  for (ListElement* e = gProgram.registry.info->first; e; e = e->next) n += *(void**)ElementData(e) == block;
  return n;
}
