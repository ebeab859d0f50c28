// The window procedure and the event reader on real windows and real messages.
#include <windows.h>
// (windows.h first: the headers below build on its types)

#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/core/heaps_internal.h"
#include "window/window_fixture.h"

namespace {
constexpr ObjectNumber kA = 10;
constexpr ObjectNumber kB = 11;

class WindowEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    a = HiddenWindow(kA);
    b = HiddenWindow(kB);
    ASSERT_TRUE(a && b);
    DrainEvents();
  }
  void Erase(HWND window) {
    HDC dc = GetDC(window);
    SendMessageA(window, WM_ERASEBKGND, (WPARAM)dc, 0);
    ReleaseDC(window, dc);
  }
  HWND a = nullptr;
  HWND b = nullptr;
};

// Posts a message with parameters 1 and 2 to the window from another thread after a delay.
HANDLE PostLater(HWND window, UINT message, DWORD delayMs) {
  struct Post {
    HWND window;
    UINT message;
    DWORD delayMs;
  };
  auto* post = new Post{window, message, delayMs};
  return CreateThread(
      nullptr, 0,
      [](void* user) -> DWORD {
        auto* post = (Post*)user;
        Sleep(post->delayMs);
        PostMessageA(post->window, post->message, 1, 2);
        delete post;
        return 0;
      },
      post, 0, nullptr);
}

// Awaits events until one of the two comes (at most ten reads).
int32_t AwaitUntil(int32_t wanted, int32_t stop) {
  int32_t event = 0;
  for (int i = 0; i < 10 && event != wanted && event != stop; ++i) event = AwaitWindowEvent();
  return event;
}

// Posts a message to the window from a process of its own, as any other program could.
bool PostFromAnotherProcess(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char line[512];
  snprintf(line, sizeof line, "\"%s\\post-message.exe\" %llu %u %llu %llu", HURZ_TEST_BIN_DIR,
           (unsigned long long)(uintptr_t)window, message, (unsigned long long)wParam, (unsigned long long)lParam);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  DWORD code = 1;
  if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code == 0;
}
}  // namespace

TEST_F(WindowEvents, PollOnNothingReturnsZeroAtOnce) {
  DWORD start = GetTickCount();
  EXPECT_EQ(PollWindowEvent(), 0);
  EXPECT_EQ(EventType(), -1);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(ReadWindowEvent(50), 0);
}

TEST_F(WindowEvents, SentCloseIsQueuedAndTheWindowStays) {
  EXPECT_EQ(SendMessageA(a, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(QueuedEvents(), 1);
  EXPECT_EQ(PollWindowEvent(), EVENT_CLOSE);
  EXPECT_EQ(EventWindow(), kA);
  EXPECT_TRUE(IsWindow(a));
  EXPECT_NE(WindowExists(kA), 0);
}

// A posted request whose message number is its event's value is read once, not as the message
// and then again as the event it queued.
TEST_F(WindowEvents, PostedCloseMoveAndSizeAreEachReadOnce) {
  PostMessageA(b, WM_CLOSE, 0, 0);
  EXPECT_EQ(PollWindowEvent(), EVENT_CLOSE);
  EXPECT_EQ(EventWindow(), kB);
  EXPECT_EQ(QueuedEvents(), 0);
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
  EXPECT_TRUE(IsWindow(b));
  PostMessageA(a, WM_MOVE, 0, 0);
  PostMessageA(b, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10));
  EXPECT_EQ(PollWindowEvent(), EVENT_MOVE);
  EXPECT_EQ(EventWindow(), kA);
  EXPECT_EQ(PollWindowEvent(), EVENT_RESIZE);
  EXPECT_EQ(EventWindow(), kB);
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
}

TEST_F(WindowEvents, OnlyConsecutiveRepeatsMerge) {
  Erase(a);
  Erase(a);
  EXPECT_EQ(QueuedEvents(), 1);
  DrainEvents();

  Erase(a);
  Erase(b);
  Erase(a);
  ASSERT_EQ(QueuedEvents(), 3);
  ObjectNumber expected[] = {kA, kB, kA};
  for (ObjectNumber window : expected) {
    EXPECT_EQ(PollWindowEvent(), EVENT_REPAINT);
    EXPECT_EQ(EventWindow(), window);
  }

  // One window, different events: each is kept.
  Erase(a);
  SendMessageA(a, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10));
  Erase(a);
  SendMessageA(a, WM_MOVE, 0, 0);
  SendMessageA(a, WM_MOVE, 0, 0);
  ASSERT_EQ(QueuedEvents(), 4);
  int32_t events[] = {EVENT_REPAINT, EVENT_RESIZE, EVENT_REPAINT, EVENT_MOVE};
  for (int32_t event : events) {
    EXPECT_EQ(PollWindowEvent(), event);
    EXPECT_EQ(EventWindow(), kA);
  }
}

TEST_F(WindowEvents, AwaitWaitsForAMessageButNotForAQueuedEvent) {
  SendMessageA(a, WM_CLOSE, 0, 0);
  EXPECT_EQ(AwaitWindowEvent(), EVENT_CLOSE);

  HANDLE poster = PostLater(a, WM_USER + 9, 200);
  DWORD start = GetTickCount();
  int32_t event = AwaitUntil(WM_USER + 9, WM_USER + 9);
  EXPECT_EQ(event, WM_USER + 9);
  EXPECT_GE(GetTickCount() - start, 150u);
  EXPECT_EQ(EventlParam(), 2);
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);

  // WM_QUIT is read like any other message (the later post only ends the wait if it is not).
  PostQuitMessage(0);
  poster = PostLater(a, WM_USER + 10, 500);
  EXPECT_EQ(AwaitUntil(WM_QUIT, WM_USER + 10), WM_QUIT);
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);
  DrainEvents();
}

TEST_F(WindowEvents, SizeQueuesResizeUnlessMinimised) {
  SendMessageA(a, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(10, 10));
  EXPECT_EQ(QueuedEvents(), 0);
  EXPECT_EQ(SendMessageA(a, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 0);
  EXPECT_EQ(QueuedEvents(), 1);
  EXPECT_EQ(PollWindowEvent(), EVENT_RESIZE);
  EXPECT_EQ(EventWindow(), kA);

  EXPECT_EQ(SendMessageA(a, WM_MOVE, 0, MAKELPARAM(5, 5)), 0);
  EXPECT_EQ(PollWindowEvent(), EVENT_MOVE);
}

TEST_F(WindowEvents, ActivationQueuesOnlyWhenActivated) {
  EXPECT_EQ(SendMessageA(a, WM_ACTIVATE, WA_INACTIVE, 0), 1);
  EXPECT_EQ(QueuedEvents(), 0);
  EXPECT_EQ(SendMessageA(a, WM_ACTIVATE, WA_ACTIVE, 0), 1);
  EXPECT_EQ(PollWindowEvent(), EVENT_ACTIVATE);
  EXPECT_EQ(SendMessageA(a, WM_ACTIVATE, WA_CLICKACTIVE, 0), 1);
  EXPECT_EQ(PollWindowEvent(), EVENT_ACTIVATE);
  EXPECT_EQ(EventWindow(), kA);
}

TEST_F(WindowEvents, CommandsGiveImmediateEvents) {
  PostMessageA(a, WM_COMMAND, 7, 0);  // a menu item
  EXPECT_EQ(PollWindowEvent(), EVENT_MENU);
  EXPECT_EQ(EventData(), 7);
  EXPECT_EQ(EventWindow(), kA);
  EXPECT_EQ(QueuedEvents(), 0);

  PostMessageA(b, WM_COMMAND, MAKEWPARAM(500, 1), 0);  // an accelerator other than the focus ones
  EXPECT_EQ(PollWindowEvent(), EVENT_MENU);
  EXPECT_EQ(EventData(), 500);
  EXPECT_EQ(EventWindow(), kB);

  HWND button = CreateWindowExA(0, "BUTTON", "b", WS_CHILD, 0, 0, 20, 20, a, (HMENU)42, nullptr, nullptr);
  HWND menuLike =
      CreateWindowExA(0, "BUTTON", "m", WS_CHILD, 0, 0, 20, 20, a, (HMENU)(intptr_t)-10000, nullptr, nullptr);
  ASSERT_TRUE(button && menuLike);
  PostMessageA(a, WM_COMMAND, MAKEWPARAM(42, BN_DOUBLECLICKED), (LPARAM)button);
  EXPECT_EQ(PollWindowEvent(), EVENT_CONTROL);
  EXPECT_EQ(EventData(), 42);
  EXPECT_EQ(EventType(), BN_DOUBLECLICKED);
  PostMessageA(a, WM_COMMAND, MAKEWPARAM(33, BN_CLICKED), (LPARAM)menuLike);
  EXPECT_EQ(PollWindowEvent(), EVENT_MENU);
  EXPECT_EQ(EventData(), 33);

  PostMessageA(a, MSG_CONTROL_EVENT, 5, 9);
  EXPECT_EQ(PollWindowEvent(), EVENT_CONTROL);
  EXPECT_EQ(EventData(), 5);
  EXPECT_EQ(EventType(), 9);
  DestroyWindow(button);
  DestroyWindow(menuLike);
}

TEST_F(WindowEvents, TrayMessages) {
  PostMessageA(a, MSG_TRAY_EVENT, 3, WM_RBUTTONUP);
  EXPECT_EQ(PollWindowEvent(), EVENT_TRAY);
  EXPECT_EQ(EventData(), 3);
  EXPECT_EQ(EventType(), 1);
  PostMessageA(a, MSG_TRAY_EVENT, 3, WM_MOUSEMOVE);
  EXPECT_EQ(PollWindowEvent(), (int32_t)MSG_TRAY_EVENT);
  EXPECT_EQ(EventType(), -1);
  EXPECT_EQ(EventlParam(), WM_MOUSEMOVE);
  PostMessageA(a, MSG_TRAY_CALLBACK, 4, WM_LBUTTONDBLCLK);
  EXPECT_EQ(PollWindowEvent(), (int32_t)MSG_TRAY_CALLBACK);
  EXPECT_EQ(PollWindowEvent(), EVENT_TRAY);
  EXPECT_EQ(EventData(), 4);
  EXPECT_EQ(EventType(), 2);
}

TEST_F(WindowEvents, DropRecordLivesUntilTheNextRead) {
  DropRecord* record = NewDropRecord();
  ASSERT_NE(record, nullptr);
  record->buffer = RuntimeAlloc(32);
  PostMessageA(a, MSG_DROP_CONTROL, 8, (LPARAM)record);
  EXPECT_EQ(PollWindowEvent(), EVENT_DROP_CONTROL);
  EXPECT_EQ(EventData(), 8);
  EXPECT_EQ(EventDropRecord(), record);
  PollWindowEvent();
  EXPECT_EQ(EventDropRecord(), nullptr);
}

// A drop message handled in a nested loop (a message box's) after a read returned a drop leaves
// the program's record alone until its next read; the second drop comes with its own record.
TEST_F(WindowEvents, DropRecordStaysValidWhileANestedLoopHandlesTheNextDrop) {
  DropRecord* first = NewDropRecord();
  DropRecord* second = NewDropRecord();
  ASSERT_TRUE(first && second);
  first->words[0] = 1111;
  PostMessageA(a, MSG_DROP_WINDOW, 0, (LPARAM)first);
  ASSERT_EQ(PollWindowEvent(), EVENT_DROP_WINDOW);
  ASSERT_EQ(EventDropRecord(), first);

  size_t blocks = PlatformHeapBlockCount(gCore.runtimeHeap);
  PostMessageA(b, MSG_DROP_WINDOW, 0, (LPARAM)second);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.runtimeHeap), blocks) << "a record was freed in the nested loop";
  EXPECT_EQ(EventDropRecord(), first);
  EXPECT_EQ(first->words[0], 1111);

  // The next read returns the nested loop's drop with its record, before a message waiting; that
  // message then comes as itself.
  PostMessageA(a, WM_USER + 3, 0, 0);
  EXPECT_EQ(PollWindowEvent(), EVENT_DROP_WINDOW);
  EXPECT_EQ(EventDropRecord(), second);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.runtimeHeap), blocks - 1) << "the first record is freed";
  EXPECT_EQ(PollWindowEvent(), WM_USER + 3);
  EXPECT_EQ(EventDropRecord(), nullptr);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.runtimeHeap), blocks - 2);
}

// An event a nested loop (a message box's) dispatched is read next, before an event queued after
// it, with its own window, data and type, though messages to another window followed it.
TEST_F(WindowEvents, AnEventANestedLoopDispatchedComesWithTheNextRead) {
  auto nestedLoop = [] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  };
  PostMessageA(a, MSG_TRAY_CALLBACK, 6, WM_RBUTTONUP);
  nestedLoop();
  PostMessageA(b, WM_USER + 3, 0, 0);
  nestedLoop();
  EXPECT_EQ(PollWindowEvent(), EVENT_TRAY);
  EXPECT_EQ(EventWindow(), kA);
  EXPECT_EQ(EventData(), 6);
  EXPECT_EQ(EventType(), 1);

  // A menu command has no type: the tray click's is not left over.
  PostMessageA(a, WM_COMMAND, 42, 0);
  nestedLoop();
  SendMessageA(b, WM_MOVE, 0, 0);  // queues b's move after it
  EXPECT_EQ(PollWindowEvent(), EVENT_MENU);
  EXPECT_EQ(EventWindow(), kA);
  EXPECT_EQ(EventData(), 42);
  EXPECT_EQ(EventType(), -1);
  EXPECT_EQ(PollWindowEvent(), EVENT_MOVE);
  EXPECT_EQ(EventWindow(), kB);
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
}

// Any program can post the drop messages to our windows, with any lParam.
TEST_F(WindowEvents, DropMessagesCarryingRecordsWeDidNotIssueAreRefused) {
  auto* block = (DropRecord*)RuntimeAlloc(sizeof(DropRecord));  // ours, but no drop record
  block->words[0] = 1234;
  ASSERT_TRUE(PostFromAnotherProcess(a, MSG_DROP_WINDOW, 0, (LPARAM)block));
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
  ASSERT_EQ(EventDropRecord(), nullptr);
  ASSERT_TRUE(PostFromAnotherProcess(b, MSG_DROP_CONTROL, 3, 0x12345678));
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
  ASSERT_EQ(EventDropRecord(), nullptr);
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
  EXPECT_EQ(block->words[0], 1234);
  RuntimeFree(block);

  // A record the program issued is taken once; posted again by anyone, it is refused.
  DropRecord* issued = NewDropRecord();
  ASSERT_NE(issued, nullptr);
  PostMessageA(a, MSG_DROP_WINDOW, 0, (LPARAM)issued);
  EXPECT_EQ(PollWindowEvent(), EVENT_DROP_WINDOW);
  EXPECT_EQ(EventDropRecord(), issued);
  ASSERT_TRUE(PostFromAnotherProcess(a, MSG_DROP_WINDOW, 0, (LPARAM)issued));
  EXPECT_EQ(PollWindowEvent(), EVENT_NONE);
  EXPECT_EQ(EventDropRecord(), nullptr);
}

TEST_F(WindowEvents, CallbacksComeFirst) {
  WindowRecord* record = RecordOf(kA);
  ASSERT_NE(record, nullptr);
  record->callback = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    return message == WM_USER + 5 ? 77 : CONTINUE_RUNTIME;
  };
  EXPECT_EQ(SendMessageA(a, WM_USER + 5, 0, 0), 77);
  SendMessageA(a, WM_CLOSE, 0, 0);  // carries on to the runtime
  EXPECT_EQ(QueuedEvents(), 1);
  record->callback = nullptr;
  DrainEvents();

  // A background brush paints the client area and the repaint is still queued.
  record->background = CreateSolidBrush(RGB(1, 2, 3));
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(SendMessageA(a, WM_ERASEBKGND, (WPARAM)dc, 0), 1);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(1, 2, 3));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  DeleteObject(record->background);
  record->background = nullptr;
  EXPECT_EQ(PollWindowEvent(), EVENT_REPAINT);
}
