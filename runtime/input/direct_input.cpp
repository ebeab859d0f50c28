// The shared DirectInput 7 interface, loaded from DINPUT.DLL at run time and counted as the
// DirectDraw object is: every OpenDirectInput is matched by one CloseDirectInput, and the interface
// and the library go when the count returns to 0. The keyboard and the mouse each hold at most one
// reference: a start that succeeds keeps the one it took, a start that fails gives it back at once,
// and the end routine of a started library gives it back.
#include "runtime/core/heaps_internal.h"
#include "runtime/input/input_internal.h"

DirectInputShared gDirectInput;

namespace {
using DirectInputCreateExFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, void**, IUnknown*);

// DirectInput refuses a null instance, so a program that gave the runtime none gets no interface.
bool CreateDirectInput() {
  auto create = reinterpret_cast<DirectInputCreateExFn>(
      reinterpret_cast<void*>(GetProcAddress(gDirectInput.module, "DirectInputCreateEx")));
  void* created = nullptr;
  if (!create || FAILED(create(static_cast<HINSTANCE>(gCore.instance), 0x0700, IID_IDirectInput7A, &created, nullptr)))
    return false;
  gDirectInput.directInput = static_cast<IDirectInput7A*>(created);
  return gDirectInput.directInput != nullptr;
}
}  // namespace

IDirectInput7A* OpenDirectInput() {
  if (!gDirectInput.directInput) {
    gDirectInput.module = LoadLibraryA("DINPUT.DLL");
    if (gDirectInput.module && !CreateDirectInput()) {
      FreeLibrary(gDirectInput.module);
      gDirectInput.module = nullptr;
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

IDirectInput7A* TakeDirectInput() {
  if (IDirectInput7A* input = OpenDirectInput()) return input;
  CloseDirectInput();
  return nullptr;
}

IDirectInputDevice7A* CreateInputDevice(IDirectInput7A* input, REFGUID kind, DIDATAFORMAT* format) {
  void* created = nullptr;
  if (FAILED(input->CreateDeviceEx(kind, IID_IDirectInputDevice7A, &created, nullptr)) || !created) return nullptr;
  auto* device = static_cast<IDirectInputDevice7A*>(created);
  if (FAILED(device->SetDataFormat(format))) {
    device->Release();
    return nullptr;
  }
  return device;
}
