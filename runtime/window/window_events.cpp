// The event reader and its FIFO queue: an immediate event a nested loop left comes first, then
// queued events, otherwise one message is read, run through the active window's accelerators and
// dispatched; the window procedure may set an immediate event, and without one the message number
// itself is the event.

#include <windows.h>

#include "runtime/core/heaps_internal.h"
#include "runtime/window/window_internal.h"

namespace {
EventState* Events() { return gWindows.events; }

int32_t TakeQueuedEvent(EventState* events) {
  EventNode* node = events->head;
  events->head = node->next;
  if (!events->head) events->tail = nullptr;
  events->window = node->window;
  int32_t event = node->event;
  RuntimeFree(node);
  return event;
}

// One message from the thread's queue, waiting as the timeout says; false when none came.
bool TakeMessage(int32_t timeout, MSG* message) {
  if (timeout == -1) return GetMessageA(message, nullptr, 0, 0) != -1;
  if (PeekMessageA(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return true;
  if (timeout == 0) return false;
  if (MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)timeout, QS_ALLINPUT) == WAIT_TIMEOUT) return false;
  return PeekMessageA(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != 0;
}

// The event a window procedure set (a command, tray or drop message), with the drop record it
// brought: the program's record stays valid until its next read, even when a drop message reaches
// a window procedure meanwhile (in a message box's loop), so that record waits for its own read.
int32_t TakeImmediate(EventState* events) {
  int32_t immediate = events->immediate;
  events->immediate = 0;
  events->window = events->immediateWindow;
  if (immediate == EVENT_DROP_WINDOW || immediate == EVENT_DROP_CONTROL) {
    events->dropRecord = events->pendingDrop;
    events->pendingDrop = nullptr;
  }
  return immediate;
}

void ReleaseDropRecord(DropRecord* record) {
  if (record->buffer) RuntimeFree(record->buffer);
  RuntimeFree(record);
}
}  // namespace

void FreeDropRecord() {
  EventState* events = Events();
  if (!events || !events->dropRecord) return;
  ReleaseDropRecord((DropRecord*)events->dropRecord);
  events->dropRecord = nullptr;
}

DropRecord* NewDropRecord() {
  EventState* events = Events();
  auto* record = events ? (DropRecord*)RuntimeAlloc(sizeof(DropRecord)) : nullptr;
  if (!record) return nullptr;
  record->nextIssued = events->issued;
  events->issued = record;
  return record;
}

// The candidate is only compared with the issued records, never read, until it is found among them.
bool ClaimDropRecord(LPARAM candidate) {
  EventState* events = Events();
  if (!events) return false;
  for (DropRecord** link = &events->issued; *link; link = &(*link)->nextIssued) {
    if ((LPARAM)*link != candidate) continue;
    DropRecord* record = *link;
    *link = record->nextIssued;
    // Two drops before a read: the first one's event is overwritten, so its record would be lost.
    if (events->pendingDrop) ReleaseDropRecord(events->pendingDrop);
    events->pendingDrop = record;
    return true;
  }
  return false;
}

void FreeIssuedDropRecords() {
  EventState* events = Events();
  if (events && events->pendingDrop) {
    ReleaseDropRecord(events->pendingDrop);
    events->pendingDrop = nullptr;
  }
  while (events && events->issued) {
    DropRecord* record = events->issued;
    events->issued = record->nextIssued;
    ReleaseDropRecord(record);
  }
}

void QueueEvent(int32_t event, ObjectNumber window) {
  EventState* events = Events();
  if (!events) return;
  if (events->tail && events->tail->event == event && events->tail->window == window) return;
  auto* node = (EventNode*)RuntimeAlloc(sizeof(EventNode));
  if (!node) return;
  node->event = event;
  node->window = window;
  if (events->tail) {
    events->tail->next = node;
  } else {
    events->head = node;
  }
  events->tail = node;
}

int32_t ReadWindowEvent(int32_t timeout) {
  EventState* events = Events();
  if (!events) return 0;
  FreeDropRecord();
  // Set by a message a nested loop (a message box's) dispatched while the program was not reading:
  // handed out first, with the type and data its window procedure gave it.
  if (events->immediate) return TakeImmediate(events);
  events->type = -1;
  if (events->head) return TakeQueuedEvent(events);

  MSG message;
  if (!TakeMessage(timeout, &message)) return 0;
  HWND active = GetActiveWindow();
  HACCEL table = ChooseAccelerators(active);
  if (!table || !TranslateAcceleratorA(active, table, &message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (events->immediate) return TakeImmediate(events);
  // A drop message the window procedure refused is no event; its own number would read as a drop.
  if (message.message == MSG_DROP_WINDOW || message.message == MSG_DROP_CONTROL) return EVENT_NONE;
  // A message that queued its own number as an event (a posted close, move or size request, a
  // repaint) is read once, as that event, not as the message and then again from the queue.
  if (events->head && events->head->event == (int32_t)message.message) return TakeQueuedEvent(events);
  events->lastWParam = message.wParam;
  events->lastLParam = message.lParam;
  return (int32_t)message.message;
}

int32_t PollWindowEvent() { return ReadWindowEvent(0); }
int32_t AwaitWindowEvent() { return ReadWindowEvent(-1); }

ObjectNumber EventWindow() { return Events() ? Events()->window : -1; }
int32_t EventType() { return Events() ? Events()->type : -1; }
intptr_t EventData() { return Events() ? Events()->data : 0; }
WPARAM EventwParam() { return Events() ? Events()->lastWParam : 0; }
LPARAM EventlParam() { return Events() ? Events()->lastLParam : 0; }
void* EventDropRecord() { return Events() ? Events()->dropRecord : nullptr; }
