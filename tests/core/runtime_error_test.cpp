// The error text: set by a failing command, one line, cut to its room, and cleared again.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/runtime.h"
#include "runtime/core/runtime_internal.h"

TEST(RuntimeError, AFailureLeavesOneLineUntilCleared) {
  ClearRuntimeError();
  EXPECT_STREQ(RuntimeErrorText(), "");
  EXPECT_EQ(ReportFailure("sound: \"%s\" cannot be opened: %s", "a\r\nb.wav", "no such file"), 0);
  EXPECT_STREQ(RuntimeErrorText(), "sound: \"a  b.wav\" cannot be opened: no such file");
  SetRuntimeError("window: error %d", 5);
  EXPECT_STREQ(RuntimeErrorText(), "window: error 5");
  ClearRuntimeError();
  EXPECT_STREQ(RuntimeErrorText(), "");
}

TEST(RuntimeError, AReasonPassedOnKeepsItsTextAndALongOneIsCut) {
  SetRuntimeError("screen: %s", "no DirectDraw");
  SetRuntimeError("runtime: %s", RuntimeErrorText());  // the text itself as an argument
  EXPECT_STREQ(RuntimeErrorText(), "runtime: screen: no DirectDraw");
  std::string name(3 * kRuntimeErrorCapacity, 'x');
  SetRuntimeError("sprites: \"%s\" is empty", name.c_str());
  std::string text = RuntimeErrorText();
  EXPECT_EQ(text.size(), kRuntimeErrorCapacity - 1);
  EXPECT_EQ(text.rfind("sprites: \"xxx", 0), 0u);
  ClearRuntimeError();
}
