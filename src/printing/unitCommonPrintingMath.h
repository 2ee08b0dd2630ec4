// Integer results of the engine's geometry: exact wide arithmetic, clamped to 32 bits at the end
// so that no coordinate, however hostile, overflows.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/core/Error.h"

namespace tavo {

inline int32_t ClampToInt32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Nearest integer, an exact half going to the even neighbour; clamped to 32 bits.
inline int32_t RoundHalfEvenToInt32(long double value) {
  if (std::isnan(value)) throw Error("Invalid floating point operation");
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  // The default rounding mode rounds to nearest, ties to even.
  return static_cast<int32_t>(std::nearbyint(value));
}

// d / 2 rounded half to even, for d >= 0.
inline int64_t HalfRoundedToEven(int64_t d) {
  const int64_t half = d / 2;
  if (d % 2 == 0) return half;
  return half % 2 == 0 ? half : half + 1;
}

}  // namespace tavo
