// The control library's start: its lock, the default control font, the controls registry and the
// common-control classes. Controls reach their handlers through RouteControlMessage.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <commctrl.h>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/window/window_internal.h"

ControlLibrary gControls;

namespace {
constexpr int32_t kControlWordCount = 10;

void ReleaseControl(ObjectNumber number) {
  auto* record = (ControlRecord*)RegistryLookup(gControls.controls, number);
  if (record) DestroyWindow(record->window);
}

void InitControlState(void* block) {
  auto* state = (ControlState*)block;
  state->count = kControlWordCount;
  state->words = (int32_t*)RuntimeAlloc(kControlWordCount * sizeof(int32_t));
  state->font = gControls.defaultFont;
}
}  // namespace

// A second start keeps the lock, the controls and the state the first made (a lock initialised
// again would lose its owner and leak its debug record), and makes only what is missing.
void InitControlLibrary() {
  if (!gControls.lockReady) {
    InitializeCriticalSection(&gControls.lock);
    gControls.lockReady = 1;
  }
  gControls.defaultFont = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
  if (!gControls.controls) gControls.controls = RegistryCreate(sizeof(ControlRecord), 50, ReleaseControl);
  if (!gControls.state)
    gControls.state = (ControlState*)CreateLibraryState(sizeof(ControlState), InitControlState, nullptr);
  INITCOMMONCONTROLSEX classes{sizeof classes, 0x0B08};
  InitCommonControlsEx(&classes);
}

LRESULT RouteControlMessage(HWND control, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!control || !gControls.controls) return UNHANDLED;
  auto number = (ObjectNumber)GetPropA(control, kControlIdProperty);
  if (number != GetWindowLongPtrA(control, GWLP_ID)) return UNHANDLED;
  // The record must be the one of this very window: an unrelated window whose identifier happens
  // to match a control's number (0 without the property) is not that control.
  auto* record = (ControlRecord*)RegistryLookup(gControls.controls, number);
  if (!record || record->window != control || !record->controlClass || !record->controlClass->handler) {
    return UNHANDLED;
  }
  return record->controlClass->handler(record, window, message, wParam, lParam);
}
