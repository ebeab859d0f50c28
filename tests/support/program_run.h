// Runs a Windows program as a separate process from a test, its standard output and error sent to
// one file that is read back once it ends.
#pragma once
#include <windows.h>

#include <string>

#include "support/file_bytes.h"
#include "support/unix_command.h"

struct ProgramRun {
  int exitCode = -1;   // -1 when it could not be started or did not end in time
  std::string output;  // what it printed on either stream
};

// commandLine as CreateProcess takes it: the program's path in quotes, then its arguments.
inline ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs = 20000) {
  static int counter = 0;
  std::string log = "Z:" + RunTempPath("program-run-" + std::to_string(++counter) + ".log");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE logFile =
      CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string line = commandLine;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = logFile;
  PROCESS_INFORMATION pi{};
  ProgramRun run;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    run.exitCode = (int)code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(logFile);
  run.output = ReadFileBytes(log);  // read and closed before the delete, which an open file refuses
  DeleteFileA(log.c_str());
  return run;
}
