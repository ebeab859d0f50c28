// Frame pacing arithmetic on the performance counter.
#include "runtime/screen/screen_pacing.h"

int32_t FramePeriodTicks(int64_t frequency, int32_t rate) {
  return static_cast<int32_t>(static_cast<uint32_t>(frequency / (static_cast<int64_t>(rate) + 1)));
}

bool FrameWaitStep(int32_t t, int32_t* lastTick, int32_t ticksPerFrame) {
  if ((t < 0 && *lastTick >= 0) || (t > 0 && *lastTick <= 0)) *lastTick = t;
  if (static_cast<int64_t>(t) - *lastTick > ticksPerFrame) {
    *lastTick = t;
    return true;
  }
  return false;
}
