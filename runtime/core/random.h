// Random numbers (a RANROT type W generator that seeds itself from the tick count on first use),
// the millisecond tick count, and sleeping.
#pragma once
#include <cstdint>

int32_t RandomUpTo(int32_t max);  // 0..max inclusive; INT32_MIN for a negative max
void SeedRandom(uint32_t seed);
void SeedRandomFromTicks();

// Milliseconds since the system started, to the millisecond while the tick clock is started
// (wraps after about 49.7 days).
uint32_t ElapsedTicks();
// The tick clock's millisecond resolution, held from StartTickClock to EndTickClock; every start
// needs its own end.
void StartTickClock();
void EndTickClock();
void DelayMs(uint32_t milliseconds);
