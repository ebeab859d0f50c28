// Runs tests of this test program again in a child process of their own, for tests that need a
// process in which nothing is started yet, or a machine without an audio device. The child is
// started through Wine from a Unix shell, so that it can be given another ALSA set-up: Wine reads
// the audio set-up from the Unix environment a process starts with, which CreateProcess alone
// would not change.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/unix_command.h"

// Whether this process is such a child.
inline bool IsTestChild() { return GetEnvironmentVariableA("HURZ_TEST_CHILD", nullptr, 0) != 0; }

// Runs the tests the gtest filter names in a child; without audio, its ALSA default device does
// not exist. The child's exit code (0: its tests passed), or -1.
inline int RunTestChild(const char* filter, bool withoutAudio = false) {
  std::string conf = RunTempPath("no-audio.conf");
  std::string winConf = "Z:" + conf;
  std::string alsa;
  if (withoutAudio) {
    FILE* file = fopen(winConf.c_str(), "w");
    if (!file) return -1;
    fputs("pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n", file);
    fclose(file);
    alsa = std::string("ALSA_CONFIG_PATH=") + conf + " ";
  }
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string unixProgram = program;
  if (unixProgram.rfind("Z:", 0) == 0) unixProgram.erase(0, 2);
  for (char& c : unixProgram)
    if (c == '\\') c = '/';
  int code = RunUnixCommand(alsa + "HURZ_TEST_CHILD=1 /usr/lib/wine/wine64 '" + unixProgram +
                                "' --gtest_filter=" + filter + " >/dev/null 2>&1",
                            60000);
  if (withoutAudio) DeleteFileA(winConf.c_str());
  return code;
}
