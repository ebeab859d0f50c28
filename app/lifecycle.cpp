// The program's start: its record, its heap and the libraries in the runtime's start-up order; and
// its one way out: every library's end routine in the shutdown order, the heap, the process.
#include <windows.h>

#include <cstring>

#include "app/demo.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/screen/image_decoders.h"

void StartProgram() {
  memset(&gProgram, 0, sizeof gProgram);
  gProgram.instance = GetModuleHandleA(nullptr);
  gProgram.heap = HeapCreate(0, 4096, 0);
  UseRuntimeHeap(gProgram.heap, gProgram.instance);
  // Frames are measured and paced on the tick clock, so it counts single milliseconds for the
  // program's whole life.
  StartTickClock();
  StartLibraries();
  CreateProgramLists();
  RegisterPngDecoder();
}

void EndProgram() {
  ShutdownLibraries();
  EndTickClock();
  HeapDestroy(static_cast<HANDLE>(gProgram.heap));
  ExitProcess(0);
}
