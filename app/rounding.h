// Float-to-integer conversion of the demo: nearest integer, ties to even, independent of the
// floating-point rounding mode. Values beyond the 32-bit range saturate; NaN gives 0.
#pragma once
#include <cmath>
#include <cstdint>

inline int32_t RoundToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  // Inside the range truncation to 64 bits is exact, and the floor follows from it without a
  // library call (the grid rounds four values for every placement).
  // The steps are sums of comparisons rather than branches: positions round up or down at random.
  int64_t low = (int64_t)value;
  low -= (int64_t)((double)low > value);
  double fraction = value - (double)low;
  low += (int64_t)((fraction > 0.5) | ((fraction == 0.5) & ((low & 1) != 0)));
  return (int32_t)low;
}
