// Frame pacing arithmetic on the performance counter: the period of a frame limit and one step of
// the busy wait. Pure arithmetic, so the wait's rules can be checked with invented counter values.
#pragma once
#include <cstdint>

// Counter ticks per frame for a limit of rate frames per second: frequency / (rate + 1), low 32 bits.
int32_t FramePeriodTicks(int64_t frequency, int32_t rate);

// One counter reading t (the count's low 32 bits) during a frame wait. When t and the mark differ
// in sign (wrap-around, or the first wait after a new limit) the mark restarts at t. Returns true,
// and moves the mark to t, once more than a period has passed since the mark.
bool FrameWaitStep(int32_t t, int32_t* lastTick, int32_t ticksPerFrame);
