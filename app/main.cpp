// Program entry of the demonstration: starts the runtime libraries in order, opens the display,
// builds the scene, runs the frames, and leaves through the shutdown with exit code 0.
#include <windows.h>

#include <cstring>

#include "app/demo.h"
#include "app/program.h"
#include "runtime/core/heaps.h"
#include "runtime/screen/image_decoders.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  memset(&gProgram, 0, sizeof gProgram);
  gProgram.instance = GetModuleHandleA(nullptr);
  gProgram.heap = HeapCreate(0, 4096, 0);
  UseRuntimeHeap(gProgram.heap, gProgram.instance);
  StartLibraries();
  CreateProgramLists();
  RegisterPngDecoder();
  InitDisplay(kScreenWidth, kScreenHeight, 1, kScreenTitle, kScreenDepth);

  BuildScene();
  FrameLoop(FrameCallback, 0, 1);
  EndProgram();
}
