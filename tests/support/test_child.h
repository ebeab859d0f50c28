// Runs a test of this test program again in a child process of its own, for tests that need a
// process in which nothing is started yet, or a machine without an audio device. The child is
// started through Wine from a Unix shell, so that it can be given another ALSA set-up.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "support/file_bytes.h"
#include "support/unix_command.h"
#include "support/wine_start.h"

// Whether this process is such a child.
inline bool IsTestChild() { return GetEnvironmentVariableA("HURZ_TEST_CHILD", nullptr, 0) != 0; }

// Runs the one test the gtest filter names in a child; without audio, its ALSA default device does
// not exist. Success only when that test ran and passed: a filter that names no test, or a test
// that skipped, ends with exit code 0 too, so the child's report is read.
inline ::testing::AssertionResult RunTestChild(const char* filter, bool withoutAudio = false) {
  std::string variables = "HURZ_TEST_CHILD=1";
  std::optional<NoAudioConfig> noAudio;
  if (withoutAudio) {
    noAudio.emplace();
    if (!noAudio->written()) return ::testing::AssertionFailure() << "the ALSA set-up could not be written";
    variables = noAudio->Variable() + " " + variables;
  }
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string log = RunTempPath("test-child.log");
  int code = RunUnixCommand(
      WineCommand(variables, program, std::string("--gtest_filter=") + filter) + " >" + log + " 2>&1", 60000);
  std::string output = ReadFileBytes("Z:" + log);
  DeleteFileA(("Z:" + log).c_str());
  if (code == 0 && output.find("[  PASSED  ] 1 test.") != std::string::npos &&
      output.find("[  SKIPPED ]") == std::string::npos)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the child running " << filter << " ended with " << code
                                       << " without passing exactly that test:\n"
                                       << output;
}
