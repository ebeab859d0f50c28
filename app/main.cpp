// Program entry of the demonstration: starts the runtime libraries in order, opens the display,
// builds the scene, runs the frames, and leaves through the shutdown with exit code 0.
#include <windows.h>

#include "app/demo.h"
#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  StartProgram();
  InitDisplay(kScreenWidth, kScreenHeight, 1, kScreenTitle, kScreenDepth);

  BuildScene();
  FrameLoop(FrameCallback, 0, 1);
  EndProgram();
}
