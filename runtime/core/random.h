/// \file
/// Random numbers, the millisecond tick count, and sleeping. The generator is of the RANROT type W
/// and seeds itself from the tick count on first use; a given seed repeats its sequence.
#pragma once
#include <cstdint>

/// A random number from 0 to `max`, both included, evenly spread; the generator seeds itself from
/// the tick count on its first use.
/// \return the number, or INT32_MIN for a negative max (the generator still takes a step).
int32_t RandomUpTo(int32_t max);
/// Seeds the generator, so that the numbers that follow repeat for the same seed.
void SeedRandom(uint32_t seed);
/// Seeds the generator from the tick count (ElapsedTicks).
void SeedRandomFromTicks();

/// \return milliseconds since the system started, wrapping after about 49.7 days; to the
///   millisecond while the tick clock is started (StartTickClock), otherwise in the system's
///   coarser steps.
uint32_t ElapsedTicks();
/// Holds the system's 1 ms timer period (timeBeginPeriod), which gives ElapsedTicks and DelayMs
/// their single milliseconds, until EndTickClock. Every start needs its own end.
void StartTickClock();
/// Gives back one hold of the 1 ms timer period that StartTickClock took.
void EndTickClock();
/// Sleeps for `milliseconds` (Win32's Sleep, to the resolution of the timer period): the thread does
/// nothing meanwhile, window messages included.
void DelayMs(uint32_t milliseconds);
