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
  int64_t low = (int64_t)value;
  if ((double)low > value) low -= 1;
  double fraction = value - (double)low;
  if (fraction > 0.5 || (fraction == 0.5 && (low & 1) != 0)) low += 1;
  return (int32_t)low;
}
