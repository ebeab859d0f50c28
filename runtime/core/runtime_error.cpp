// The reason behind the last failed command: one line of text in a fixed buffer, formatted by the
// failing command and cleared by the next one that succeeds. Formatting only, so it builds natively.
#include <cstdarg>
#include <cstdio>

#include "runtime/core/runtime.h"
#include "runtime/core/runtime_internal.h"

namespace {
char gErrorText[kRuntimeErrorCapacity];

void FormatError(const char* format, va_list args) {
  // The arguments may be the current text itself (a reason passed on), so it is formatted aside.
  char text[kRuntimeErrorCapacity];
  int written = vsnprintf(text, sizeof text, format, args);
  if (written < 0) text[0] = '\0';
  for (char* c = text; *c; ++c)
    if (*c == '\r' || *c == '\n') *c = ' ';
  snprintf(gErrorText, sizeof gErrorText, "%s", text);
}
}  // namespace

const char* RuntimeErrorText() { return gErrorText; }

void ClearRuntimeError() { gErrorText[0] = '\0'; }

void SetRuntimeError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatError(format, args);
  va_end(args);
}

int32_t ReportFailure(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatError(format, args);
  va_end(args);
  return 0;
}

int32_t ReportNumberRefused(const char* library, const char* thing, long long number) {
  return ReportFailure("%s: the number %lld cannot hold %s (not 0 up nor AnyID, or no memory)", library, number, thing);
}
