// A Windows program started by a test as a process of its own: started in a working folder, its
// window looked for among the windows of that process alone, its exit code waited for, and ended
// at the latest when the test is done with it.
#pragma once
#include <windows.h>

#include <string>

#include "support/foreground.h"

class ProgramProcess {
 public:
  ProgramProcess() = default;
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // Starts the program (its Windows path) with the arguments in the working folder (the program's
  // own folder when empty).
  bool Start(const std::string& program, const std::string& arguments = "", const std::string& workingDir = "") {
    std::string line = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::string dir = workingDir.empty() ? program.substr(0, program.find_last_of("\\/")) : workingDir;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &process_))
      return false;
    CloseHandle(process_.hThread);
    process_.hThread = nullptr;
    return true;
  }

  ~ProgramProcess() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      // Gone with its windows before the next test looks for one; a busy machine takes its time.
      WaitForSingleObject(process_.hProcess, 30000);
    }
    CloseHandle(process_.hProcess);
  }

  bool Exited() const { return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

  // The exit code once the program ended within the timeout, else -1.
  long WaitForExit(DWORD timeoutMs) const {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  // The program's top-level window of that class and title once it is shown; nullptr when none was
  // within the timeout or the program ended first.
  HWND WaitForWindow(const char* className, const std::string& title, DWORD timeoutMs = 30000) const {
    HWND window = nullptr;
    WaitUntil(
        [&] {
          window = OwnWindow(className, title);
          return (window && IsWindowVisible(window)) || Exited();
        },
        timeoutMs);
    return window && IsWindowVisible(window) && !Exited() ? window : nullptr;
  }

 private:
  // A window of this process: one of an earlier test's program may still be on its way out.
  HWND OwnWindow(const char* className, const std::string& title) const {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, title.c_str()));) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == process_.dwProcessId) return window;
    }
    return nullptr;
  }

  PROCESS_INFORMATION process_{};
};
