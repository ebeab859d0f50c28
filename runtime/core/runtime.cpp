// The runtime's one start and one end: the core libraries in the program's start-up order, the
// PNG decoder and the timer period, then the device libraries a program asks for, in the order of
// the demonstration's display set-up; at the end every library in the shutdown order.
#include "runtime/core/runtime.h"

#include <windows.h>

#include <cstring>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/random.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
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

namespace {
struct DeviceLibrary {
  uint32_t bit;
  const char* name;
  bool (*start)();
};

// The display set-up's order: the screen first (it makes the base window sound binds to), 3D
// sprites once DirectDraw is there.
const DeviceLibrary kDeviceLibraries[] = {
    {kRuntimeScreen, "InitSprite", [] { return InitSprite() != 0; }},
    {kRuntimeSound, "InitSound", [] { return InitSound() != 0; }},
    {kRuntimeKeyboard, "InitKeyboard", [] { return InitKeyboard() != 0; }},
    {kRuntimeMouse, "InitMouse", [] { return InitMouse() != 0; }},
    {kRuntime3DSprites, "Init3DSprites", [] { return Init3DSprites() != 0; }},
    {kRuntimeNetwork, "StartNetwork", [] { return StartNetwork() != 0; }},
};

// What StartRuntime took, so that EndRuntime gives back exactly that.
struct RuntimeLife {
  bool started;    // the core libraries were started
  bool ended;      // EndRuntime ran
  HANDLE ownHeap;  // the RuntimeHeap, when StartRuntime made it
};
RuntimeLife gLife;

bool StartCore() {
  if (!gCore.runtimeHeap) {
    gLife.ownHeap = HeapCreate(0, 4096, 0);
    if (!gLife.ownHeap) return ReportFailure("runtime: no memory for the runtime's heap");
    UseRuntimeHeap(gLife.ownHeap, GetModuleHandleA(nullptr));
  } else if (!gCore.instance) {
    gCore.instance = GetModuleHandleA(nullptr);
  }
  StartTickClock();
  StartLibraries();
  RegisterPngDecoder();
  gLife.started = true;
  if (!gCore.stringHeap || !gCore.objectNodeHeap || !gCore.blockHeap || !gLoadedModules.modules)
    return ReportFailure("runtime: memory ran out while the core libraries started");
  return true;
}
}  // namespace

int32_t StartRuntime() { return StartRuntime(kRuntimeAll); }

int32_t StartRuntime(uint32_t libraries) {
  ClearRuntimeError();
  if (gLife.ended) return ReportFailure("runtime: StartRuntime after EndRuntime; a program starts the runtime once");
  if (!gLife.started && !StartCore()) return 0;
  char firstFailure[kRuntimeErrorCapacity] = "";
  for (const DeviceLibrary& library : kDeviceLibraries) {
    if (!(libraries & library.bit) || library.start()) continue;
    if (firstFailure[0]) continue;
    if (!RuntimeErrorText()[0]) SetRuntimeError("runtime: %s() failed", library.name);
    strcpy(firstFailure, RuntimeErrorText());
  }
  if (firstFailure[0]) return ReportFailure("%s", firstFailure);
  ClearRuntimeError();
  return 1;
}

void EndRuntime() {
  if (!gLife.started || gLife.ended) return;
  ShutdownLibraries();
  EndTickClock();
  if (gLife.ownHeap) {
    HeapDestroy(gLife.ownHeap);
    gLife.ownHeap = nullptr;
    gCore.runtimeHeap = nullptr;
  }
  gLife.ended = true;
  ClearRuntimeError();
}
