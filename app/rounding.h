// Float-to-integer conversion of the demo: nearest integer, ties to even, independent of the
// floating-point rounding mode. Values beyond the 32-bit range saturate; NaN gives 0.
#pragma once
#include <cmath>
#include <cstdint>

inline int32_t RoundToInt(double value) {
  // The negated test also takes NaN, which compares false both ways.
  if (!(value > -2147483648.0 && value < 2147483647.0))
    return std::isnan(value) ? 0 : value > 0 ? INT32_MAX : INT32_MIN;
  // Inside the range truncation is exact and ignores the rounding mode, and so is the fraction it
  // leaves (value and its truncation lie within a factor of two of each other, or the truncation
  // is 0). A fraction of a half rounds away from an odd whole only: beside an odd one the fraction
  // is compared with the double just below a half, which it passes exactly when it is at least a
  // half. Comparisons rather than branches, since positions round up or down at random.
  static constexpr double kHalfBeside[2] = {0.5, 0.49999999999999994};  // even, odd
  int32_t whole = (int32_t)value;
  double fraction = value - (double)whole;  // in (-1, 1), with the sign of value
  double half = kHalfBeside[whole & 1];
  return whole + (int32_t)(fraction > half) - (int32_t)(fraction < -half);
}
