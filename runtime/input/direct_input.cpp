// The shared DirectInput 7 interface, loaded from DINPUT.DLL at run time and counted, so that the
// keyboard and the mouse share one interface and the library is unloaded when both are done.
#include "runtime/core/heaps.h"
#include "runtime/input/keyboard.h"

DirectInputShared gDirectInput;

namespace {
using DirectInputCreateExFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, void**, IUnknown*);

HINSTANCE ProgramInstance() {
  return gCore.instance ? static_cast<HINSTANCE>(gCore.instance) : GetModuleHandleA(nullptr);
}
}  // namespace

IDirectInput7A* OpenDirectInput() {
  if (!gDirectInput.directInput) {
    if (!gDirectInput.module) gDirectInput.module = LoadLibraryA("DINPUT.DLL");
    if (gDirectInput.module) {
      auto create = reinterpret_cast<DirectInputCreateExFn>(
          reinterpret_cast<void*>(GetProcAddress(gDirectInput.module, "DirectInputCreateEx")));
      if (create) {
        void* created = nullptr;
        if (SUCCEEDED(create(ProgramInstance(), 0x0700, IID_IDirectInput7A, &created, nullptr)))
          gDirectInput.directInput = static_cast<IDirectInput7A*>(created);
      }
    }
  }
  ++gDirectInput.users;
  return gDirectInput.directInput;
}

void CloseDirectInput() {
  --gDirectInput.users;
  if (gDirectInput.directInput && gDirectInput.users == 0) {
    gDirectInput.directInput->Release();
    FreeLibrary(gDirectInput.module);
    gDirectInput.module = nullptr;
    gDirectInput.directInput = nullptr;
  }
}
