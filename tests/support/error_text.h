// Checks on the reason the runtime gives for a failed command.
#pragma once
#include <string>

#include "runtime/core/runtime.h"

// True when RuntimeErrorText() holds the given part.
inline bool ReasonHas(const char* part) { return std::string(RuntimeErrorText()).find(part) != std::string::npos; }
