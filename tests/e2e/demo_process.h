// The demonstration as a user meets it: hurz.exe started as its own process, its window found,
// its client area captured from the X display, and the pointer and keys driven with xdotool.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/client_capture.h"
#include "support/unix_command.h"

class DemoProcess {
 public:
  // Starts hurz.exe from programDir (the build's bin folder when empty) in the given working
  // folder (the program's folder when empty).
  bool Start(const std::string& workingDir = "", const std::string& programDir = "") {
    std::string bin = programDir.empty() ? HURZ_TEST_BIN_DIR : programDir;
    std::string line = "\"" + bin + "\\hurz.exe\"";
    std::string dir = workingDir.empty() ? bin : workingDir;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &process_))
      return false;
    CloseHandle(process_.hThread);
    process_.hThread = nullptr;
    return true;
  }

  ~DemoProcess() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
  }

  // The demo's window 0, once it shows its frames.
  HWND WaitForWindow(DWORD timeoutMs = 20000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
      HWND window = FindWindowA("WindowClass_0", "hurz");
      if (window && IsWindowVisible(window)) {
        window_ = window;
        Sleep(500);  // a few frames
        return window;
      }
      if (Exited()) return nullptr;
      Sleep(50);
    }
    return nullptr;
  }

  bool Exited() { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

  // The exit code once the program ended within the timeout, else -1.
  long WaitForExit(DWORD timeoutMs = 10000) {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  HWND window() const { return window_; }

  // Screen position of a point of the client area.
  POINT ScreenPoint(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(window_, &p);
    return p;
  }

  bool MovePointer(int clientX, int clientY) const {
    POINT p = ScreenPoint(clientX, clientY);
    return RunUnixCommand("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y)) == 0;
  }

  ClientPicture Capture() const { return CaptureClientArea(window_); }

  // Presses and releases Escape with the pointer over the window.
  bool PressEscape() const {
    if (!MovePointer(400, 300)) return false;
    Sleep(150);
    bool pressed = RunUnixCommand("xdotool keydown Escape") == 0;
    Sleep(300);
    RunUnixCommand("xdotool keyup Escape");
    return pressed;
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};
