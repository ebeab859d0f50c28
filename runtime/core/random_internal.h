// The random generator's state and its raw step, for the generator's own file and its tests.
#pragma once
#include <cstdint>

#include "runtime/core/random.h"

struct RandomState {
  uint32_t buffer[17][2];  // pair k: words 2k (first) and 2k + 1 (second)
  int p1;                  // pair the next step replaces
  int p2;                  // lagged pair the next step adds
  uint8_t seeded;
};
extern RandomState gRandom;

// One step of the generator: the pair it wrote as one 64-bit word, its second word high.
uint64_t RandomStep();
