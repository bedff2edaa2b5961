#include "scene/convert_and_clip.h"

#include <cmath>
#include <limits>

#include "scene/screen_size.h"

namespace vistamere {

namespace {

constexpr std::int32_t kFirstGraphicsColumn = 1;

// Nearest integer, ties to even, without relying on the rounding mode.
long double RoundHalfEven(long double value) {
  const long double below = std::floor(value);
  const long double excess = value - below;  // exact: the fraction bits of value
  if (excess > 0.5L) return below + 1.0L;
  if (excess < 0.5L) return below;
  return std::fmod(below, 2.0L) == 0.0L ? below : below + 1.0L;
}

}  // namespace

std::int32_t ConvertToInt32(long double value) {
  constexpr auto kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr auto kHighest = std::numeric_limits<std::int32_t>::max();
  if (std::isnan(value)) return kLowest;
  const long double rounded = RoundHalfEven(value);
  if (rounded < static_cast<long double>(kLowest) || rounded > static_cast<long double>(kHighest)) {
    return kLowest;
  }
  return static_cast<std::int32_t>(rounded);
}

void ClipToGraphicsArea(std::int32_t& row, std::int32_t& column) {
  // 64-bit bounds so that no screen size can overflow them.
  if (column < kFirstGraphicsColumn) column = 0;
  if (static_cast<std::int64_t>(column) > ScreenCols) column = 0;
  if (row < kGraphicsAreaTop) row = 0;
  if (static_cast<std::int64_t>(row) > static_cast<std::int64_t>(ScreenRows) - 1) row = 0;
}

}  // namespace vistamere
