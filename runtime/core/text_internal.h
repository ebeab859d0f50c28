// Steps of the text module's own file: where a text lies in the StringTemp, and the copy every
// producer ends with.
#pragma once
#include <cstdint>

#include "runtime/core/text.h"

int32_t TempOffsetOf(const char* pointer);  // 1-based offset inside the held text, 0 when outside
// Copies n bytes and terminates the destination at n.
void CopyTextRun(char* destination, const char* source, int32_t n);
