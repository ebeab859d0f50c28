// Numbered windows: opening with a class of their own and the focus accelerators, closing, the
// queries on a window, and the window library's start and end.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <ole2.h>

#include <cstdio>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/window/window_internal.h"

WindowLibrary gWindows;

namespace {
constexpr uint32_t kRuntimeBits = kWindowCentreOnScreen | kWindowCentreOnOwner | kWindowHidden;

HINSTANCE Instance() { return gCore.instance ? (HINSTANCE)gCore.instance : GetModuleHandleA(nullptr); }

void RegisterWindowClass(const char* name) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = RuntimeClassProc;
  windowClass.hInstance = Instance();
  windowClass.hIcon = gWindows.icon;
  windowClass.hCursor = gWindows.arrow;
  windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassExA(&windowClass);
}

// Centres one dimension of the outer size on the screen, narrowing it to the screen first.
void CentreOnScreen(int32_t* position, int32_t* size, int32_t screen) {
  if (*size > screen) *size = screen;
  *position = (screen - *size) / 2;
}

void CentreOnReference(HWND owner, int32_t width, int32_t height, int32_t* x, int32_t* y) {
  HWND reference = owner ? owner : GetActiveWindow();
  RECT r;
  if (!reference || !GetWindowRect(reference, &r)) return;
  *x = r.left + (r.right - r.left - width) / 2;
  *y = r.top + (r.bottom - r.top - height) / 2;
  if (*x < 0) *x = 0;
  if (*y < 0) *y = 0;
}

void FillAccelerators(WindowRecord* record) {
  auto* entries = (ACCEL*)RuntimeAlloc(2 * sizeof(ACCEL));
  if (!entries) return;
  entries[0] = ACCEL{FVIRTKEY | FNOINVERT, VK_TAB, CMD_FOCUS_NEXT};
  entries[1] = ACCEL{FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_FOCUS_PREVIOUS};
  record->acceleratorCount = 2;
  record->accelerators = entries;
  record->acceleratorTable = CreateAcceleratorTableA(entries, 2);
}

intptr_t OpenWindowOwned(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                         uint32_t flags, HWND owner) {
  ClearRuntimeError();
  if (!gWindows.windows) return ReportFailure("window: the window library is not started (InitWindowLibrary)");
  auto* record = (WindowRecord*)RegistryAllocate(gWindows.windows, number);
  if (!record) return ReportNumberRefused("window", "a window", number);
  bool dynamic = number == AnyID;
  if (dynamic) number = (ObjectNumber)record;

  char className[48];
  FormatWindowClass(className, sizeof className, number);
  if (!title) title = "";
  RegisterWindowClass(className);

  DWORD style = WindowStyleFromFlags(flags);
  bool hidden = (flags & kWindowHidden) != 0;
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, style, FALSE);
  width = outer.right - outer.left;
  height = outer.bottom - outer.top;

  bool centreScreen = (flags & kWindowCentreOnScreen) != 0;
  bool centreOwner = (flags & kWindowCentreOnOwner) != 0;
  if ((x == kWindowDefaultPosition || y == kWindowDefaultPosition) && !centreScreen && !centreOwner) {
    x = y = CW_USEDEFAULT;
  }
  if (centreScreen) {
    CentreOnScreen(&x, &width, GetSystemMetrics(SM_CXSCREEN));
    CentreOnScreen(&y, &height, GetSystemMetrics(SM_CYSCREEN));
  } else if (centreOwner) {
    CentreOnReference(owner, width, height, &x, &y);
  }

  HWND window = CreateWindowExA(0, className, title, style, x, y, width, height, owner, nullptr, Instance(), nullptr);
  if (!window) {
    DWORD error = GetLastError();
    UnregisterClassA(className, Instance());
    RegistryFree(gWindows.windows, number);
    return ReportFailure("window: OpenWindow: Windows could not make the window (Windows error %lu)",
                         (unsigned long)error);
  }
  // Creating the window ran callbacks, which may have opened windows and moved the registry's slots;
  // one that opened this very number took it, and this open gives way.
  record = (WindowRecord*)RegistryRecord(gWindows.windows, number);
  if (!record || record->window) {
    DestroyWindow(window);
    return ReportFailure("window: OpenWindow: number %lld was opened again while its window was made",
                         (long long)number);
  }
  record->window = window;
  SetPropA(window, kWindowIdProperty, (HANDLE)(number + 1));
  FillAccelerators(record);
  record->mdiClient = nullptr;
  // Showing runs callbacks too: the record is not touched after it.
  if (!hidden) {
    int show = (flags & kWindowMaximised)   ? SW_SHOWMAXIMIZED
               : (flags & kWindowMinimised) ? SW_SHOWMINIMIZED
                                            : SW_SHOWNORMAL;
    ShowWindow(window, show);
  }
  return dynamic ? number : (intptr_t)window;
}
}  // namespace

// The whole pointer-sized number goes into the name, so a dynamic number's class is named by the
// number in decimal on 64-bit builds too.
void FormatWindowClass(char* name, size_t size, ObjectNumber number) {
  snprintf(name, size, "WindowClass_%lld", (long long)number);
}

DWORD WindowStyleFromFlags(uint32_t flags) {
  if ((flags & ~kRuntimeBits) == 0) flags |= WS_CAPTION;
  return flags & ~kRuntimeBits;
}

intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                    uint32_t flags) {
  return OpenWindowOwned(number, x, y, width, height, title, flags, nullptr);
}

intptr_t OpenWindow(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height, const char* title) {
  return OpenWindowOwned(number, x, y, width, height, title, kWindowDefaultFlags, nullptr);
}

void CloseWindowObject(ObjectNumber number) {
  auto* record = (WindowRecord*)RegistryLookup(gWindows.windows, number);
  if (!record) return;
  HWND window = record->window;
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner && !record->mdiClient) {
    SetActiveWindow(owner);
    // Activation runs callbacks, which may have moved the registry's slots or closed this window.
    record = (WindowRecord*)RegistryLookup(gWindows.windows, number);
    if (!record || record->window != window) return;
  }
  // The number is freed before the window is destroyed, whose callbacks may open windows and move
  // the slots: what the record holds is released from this copy.
  WindowRecord closing = *record;
  RegistryFree(gWindows.windows, number);
  RemovePropA(window, kWindowIdProperty);
  if (RemovePropA(window, kDropAcceptProperty)) RevokeDragDrop(window);
  if (closing.mdiClient) {
    SendMessageA(closing.mdiClient, WM_MDIDESTROY, (WPARAM)window, 0);
  } else {
    DestroyWindow(window);
    char className[48];
    FormatWindowClass(className, sizeof className, number);
    UnregisterClassA(className, Instance());
  }
  if (closing.accelerators) {
    RuntimeFree(closing.accelerators);
    DestroyAcceleratorTable(closing.acceleratorTable);
  }
  if (closing.background) DeleteObject(closing.background);
}

HWND WindowHandle(ObjectNumber number) {
  auto* record = (WindowRecord*)RegistryLookup(gWindows.windows, number);
  return record ? record->window : nullptr;
}

intptr_t WindowExists(ObjectNumber number) { return RegistryCheck(gWindows.windows, number); }

namespace {
// The cursor in client coordinates, or false when it lies outside the client area (its right and
// bottom edges count as inside).
bool ClientCursor(ObjectNumber number, POINT* point) {
  HWND window = WindowHandle(number);
  if (!window || !GetCursorPos(point) || !ScreenToClient(window, point)) return false;
  if (point->x < 0 || point->y < 0) return false;
  RECT client;
  GetClientRect(window, &client);
  return point->x <= client.right && point->y <= client.bottom;
}
}  // namespace

int32_t WindowCursorX(ObjectNumber number) {
  POINT point;
  return ClientCursor(number, &point) ? point.x : -1;
}

int32_t WindowCursorY(ObjectNumber number) {
  POINT point;
  return ClientCursor(number, &point) ? point.y : -1;
}

// A repeated start keeps the open windows, the queued events and the sizing state it has.
void InitWindowLibrary() {
  if (!gWindows.windows) gWindows.windows = RegistryCreate(sizeof(WindowRecord), 16, CloseWindowObject);
  if (!gWindows.events) gWindows.events = (EventState*)CreateLibraryState(sizeof(EventState), nullptr, nullptr);
  gWindows.icon = LoadIconA(Instance(), MAKEINTRESOURCEA(1));
  gWindows.arrow = LoadCursorA(nullptr, IDC_ARROW);
  if (!gWindows.sizing) gWindows.sizing = (SizingState*)CreateLibraryState(sizeof(SizingState), nullptr, nullptr);
}

void EndWindowLibrary() {
  ObjectNumber number;
  RegistryEnumStart(gWindows.windows);
  while (RegistryEnumNext(gWindows.windows, &number)) CloseWindowObject(number);
  FreeDropRecord();
  FreeIssuedDropRecords();
}
