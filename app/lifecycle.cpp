// The libraries' start in the program's fixed order, and the program's one way out: every
// library's end routine in a fixed order, then the heap, then the process, with exit code 0.
#include <windows.h>

#include <cstring>

#include "app/demo.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/core/random.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/network/network.h"
#include "runtime/screen/image_decoders.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites3d.h"
#include "runtime/sound/sound.h"
#include "runtime/window/window.h"

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

const LibraryRoutine kLibraryStartOrder[kLibraryStartCount] = {
    InitStringTemp,    InitObjectNodes,  InitDrawing,        ResetImageDecoders, InitMessageBoxes,
    InitLoadedModules, InitMemoryBlocks, InitControlLibrary, InitWindowLibrary};
// The requesters have nothing to release and so no end routine (it would run between the keyboard
// and the screen).
const LibraryRoutine kLibraryEndOrder[kLibraryEndCount] = {
    EndWindowLibrary, End3DSprites,     EndSound,    EndNetwork, EndMouse,
    EndMemoryBlocks,  EndLoadedModules, EndKeyboard, EndScreen,  EndObjectNodes};

void StartLibraries() {
  for (LibraryRoutine start : kLibraryStartOrder) start();
}

void ShutdownLibraries() {
  for (LibraryRoutine end : kLibraryEndOrder) end();
}

void EndProgram() {
  ShutdownLibraries();
  EndTickClock();
  HeapDestroy(static_cast<HANDLE>(gProgram.heap));
  ExitProcess(0);
}
