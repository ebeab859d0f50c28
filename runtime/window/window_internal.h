// What the window library's files share: the records of windows and controls, the library's state
// records, the private messages and the routines the window procedure calls into.
#pragma once
#include <windows.h>

#include <cstdint>

#include "runtime/core/registry_internal.h"
#include "runtime/window/window.h"

// Results of a window procedure step: not handled (Win32's default runs), or, from a window
// callback, "let the runtime carry on".
constexpr LRESULT UNHANDLED = 0xD0D0D0D1;
constexpr LRESULT CONTINUE_RUNTIME = 0xE0E0E0E1;

// Messages the runtime posts or expects.
constexpr UINT MSG_TRAY_CALLBACK = 12501;
constexpr UINT MSG_TRAY_EVENT = 12502;
constexpr UINT MSG_CONTROL_EVENT = 13103;
constexpr UINT MSG_DROP_WINDOW = 13105;
constexpr UINT MSG_DROP_CONTROL = 13106;
constexpr UINT MSG_CONTROL_ROUTE = 13120;

// Accelerator commands of every window's table: Tab and Shift+Tab.
constexpr WORD CMD_FOCUS_NEXT = 1212;
constexpr WORD CMD_FOCUS_PREVIOUS = 1213;
// A control with this window identifier reports its commands as menu events.
constexpr LONG_PTR kMenuControlId = -10000;

constexpr char kWindowIdProperty[] = "TQ_WindowID";
constexpr char kDropAcceptProperty[] = "TQ_DropAccept";
constexpr char kControlIdProperty[] = "TQ_ID";

using WindowCallback = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using EraseRoutine = LRESULT (*)(HDC dc, HWND window);

struct WindowRecord {
  HWND window;  // non-zero while the window exists
  int32_t acceleratorCount;
  ACCEL* accelerators;
  HACCEL acceleratorTable;
  WindowCallback callback;
  HBRUSH background;
  HWND mdiClient;  // set for an MDI child
  EraseRoutine erase;
};

struct EventNode {
  EventNode* next;
  int32_t event;
  ObjectNumber window;
};

// The data of a drop, in the RuntimeHeap: its sixth word is null or a RuntimeHeap buffer the record
// owns. Words are pointer-sized so the buffer's address fits on 64-bit builds. Any process can post
// the drop messages with any lParam, so the window procedure takes only records NewDropRecord made.
struct DropRecord {
  intptr_t words[5];
  void* buffer;
  DropRecord* nextIssued;  // on EventState's issued list until its message arrives
};

// The window events state. Numbers and data are pointer-sized since window numbers are.
struct EventState {
  intptr_t data;
  ObjectNumber window;
  int32_t type;
  int32_t immediate;
  ObjectNumber immediateWindow;  // the window the immediate event belongs to
  WPARAM lastWParam;
  LPARAM lastLParam;
  EventNode* head;
  EventNode* tail;
  WindowCallback globalCallback;
  void* dropRecord;         // the DropRecord the last read handed out, freed at the next read
  DropRecord* pendingDrop;  // arrived with its message, handed out by the read that returns its event
  DropRecord* issued;       // drop records made by NewDropRecord whose message has not come yet
};

// The window sizing state: one for all windows, since sizing holds the mouse capture.
struct SizingState {
  int32_t active;
  int32_t restoreCursor;
  POINT savedCursor;
  RECT rect;  // screen coordinates
  RECT start;
  int32_t edge;  // WM_SIZING edge code, 0 while none is chosen
  MINMAXINFO limits;
};

struct WindowLibrary {
  ObjectRegistry* windows;  // WindowRecord
  EventState* events;
  SizingState* sizing;
  HICON icon;
  HCURSOR arrow;
};
extern WindowLibrary gWindows;

// Controls: the record's first field is the control's window, the second its class descriptor,
// whose message handler (third entry) receives the messages routed to the control.
struct ControlRecord;
using ControlHandler = LRESULT (*)(ControlRecord* control, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
struct ControlClass {
  const char* name;
  void* create;
  ControlHandler handler;
};
struct ControlRecord {
  HWND window;
  const ControlClass* controlClass;
  intptr_t reserved[6];
};
struct ControlState {
  int32_t count;
  int32_t* words;
  HFONT font;
};
struct ControlLibrary {
  CRITICAL_SECTION lock;
  int32_t lockReady;
  HFONT defaultFont;
  ObjectRegistry* controls;  // ControlRecord
  ControlState* state;
};
extern ControlLibrary gControls;

struct MessageBoxLibrary {
  ObjectNode* disabledWindows;  // DisabledWindowNode records, newest first
};
extern MessageBoxLibrary gMessageBoxes;

struct DisabledWindowNode {
  DWORD thread;
  HWND window;
};

// Window procedure and events.
LRESULT CALLBACK RuntimeClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT RuntimeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void QueueEvent(int32_t event, ObjectNumber window);
LRESULT RouteControlMessage(HWND control, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void FreeDropRecord();
// A zeroed drop record for the sender of a MSG_DROP_WINDOW or MSG_DROP_CONTROL message, listed as
// issued; null when memory runs out. It is freed by the read after the one that returns its event,
// or by the library end when its message never arrives.
DropRecord* NewDropRecord();
// Takes a drop message's lParam off the issued list and keeps it for the read that returns its
// event (a record kept earlier whose event was never read is freed); false (nothing read through
// it) when the program did not issue it or it was delivered already.
bool ClaimDropRecord(LPARAM candidate);
// Frees the issued records whose message never came and the one whose event was never read.
void FreeIssuedDropRecords();
// The runtime window a message's window belongs to: itself or its nearest ancestor carrying the
// window property. -1 and a null record when there is none.
ObjectNumber FindRuntimeWindow(HWND window, WindowRecord** record);
// The class name a window number is registered under.
void FormatWindowClass(char* name, size_t size, ObjectNumber number);
// Default-style rule and removal of the runtime's own bits: the style given to Win32.
DWORD WindowStyleFromFlags(uint32_t flags);

// Focus navigation and message boxes.
HACCEL ChooseAccelerators(HWND active);
void CycleFocus(int32_t backward);
void SuspendThreadWindows(int32_t disable);
HWND ProcessForegroundWindow();

// Window sizing.
LRESULT TrackSizing(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ClampSizingRect(int32_t x, int32_t y);
void ApplySizingRect(HWND window, RECT rect);
void PlaceSizingCursor(int32_t cursorId, int32_t x, int32_t y);

// The rectangle arithmetic of sizing, free of Win32 calls.
// Moves the edges named by the edge code to the cursor point, keeping the size within the limits.
void ClampSizingEdges(RECT* rect, int32_t edge, int32_t x, int32_t y, POINT minTrack, POINT maxTrack);
// What an arrow key does while sizing: either it picks an edge (new edge, cursor shape and the point
// the cursor goes to), or it takes a 10-pixel step of the cursor from p.
struct SizingArrow {
  int32_t picksEdge;
  int32_t edge;
  int32_t cursorId;  // standard cursor identifier (IDC_SIZE*) when an edge is picked
  POINT point;
};
SizingArrow SizingArrowKey(UINT key, int32_t edge, const RECT& rect, POINT p);
