// RANROT type W: 17 pairs, lag 10, rotations 19 and 27; results scaled by a 96-bit product.
#include "runtime/core/platform.h"
#include "runtime/core/random_internal.h"

RandomState gRandom;

namespace {
uint32_t RotateLeft(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
}  // namespace

uint64_t RandomStep() {
  RandomState& r = gRandom;
  uint32_t a = r.buffer[r.p1][0], b = r.buffer[r.p1][1];
  uint32_t z = RotateLeft(a, 19) + r.buffer[r.p2][0];
  uint32_t y = RotateLeft(b, 27) + r.buffer[r.p2][1];
  r.buffer[r.p1][0] = y;  // stored crosswise
  r.buffer[r.p1][1] = z;
  r.p1 = r.p1 == 0 ? 16 : r.p1 - 1;
  r.p2 = r.p2 == 0 ? 16 : r.p2 - 1;
  return ((uint64_t)z << 32) | y;
}

void SeedRandom(uint32_t seed) {
  RandomState& r = gRandom;
  r.seeded = 1;
  uint32_t s = seed;
  for (auto& pair : r.buffer) {
    for (uint32_t& word : pair) {
      s = s * 2891336453u + 1u;
      word = s;
    }
  }
  r.p1 = 0;
  r.p2 = 10;
  for (int i = 0; i < 31; ++i) RandomStep();
}

void SeedRandomFromTicks() {
  gRandom.seeded = 1;
  SeedRandom(PlatformTickCount());
}

int32_t RandomUpTo(int32_t max) {
  if (!gRandom.seeded) SeedRandomFromTicks();
  uint64_t z = RandomStep();
  if (max < 0) return INT32_MIN;
  uint64_t n = (uint64_t)(uint32_t)max + 1u;  // up to 2^31
  // High 32 bits of the 96-bit product z * n, without a 128-bit type.
  uint64_t low = (z & 0xFFFFFFFFu) * n;
  uint64_t high = (z >> 32) * n + (low >> 32);
  return (int32_t)(uint32_t)(high >> 32);
}

uint32_t ElapsedTicks() { return PlatformTickCount(); }
void StartTickClock() { PlatformFineTimer(true); }
void EndTickClock() { PlatformFineTimer(false); }

void DelayMs(uint32_t milliseconds) { PlatformSleep(milliseconds); }
