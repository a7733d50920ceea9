#pragma once
// Rounding to nearest with ties to the even neighbour (never std::round, which rounds ties away
// from zero). Works under the default floating-point rounding mode, which the program never
// changes.
#include <cmath>
#include <cstdint>

inline long double RoundHalfEven(long double v) {
    return std::nearbyintl(v);
}

inline std::int32_t RoundToInt(long double v) {
    return static_cast<std::int32_t>(std::nearbyintl(v));
}

inline std::int64_t RoundToInt64(long double v) {
    return static_cast<std::int64_t>(std::nearbyintl(v));
}
