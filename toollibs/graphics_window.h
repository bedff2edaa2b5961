// The graphics window laid over the console: the cell area it covers,
// whether it is shown, the picture drawn into it, and the text holes through
// which console cells show. Platforms render it; the tool libraries change it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "picture/canvas.h"

namespace vistamere {

// Inclusive rectangle of console cells, 1-based.
struct HoleRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  [[nodiscard]] bool Contains(int column, int row) const {
    return column >= left && column <= right && row >= top && row <= bottom;
  }
  friend bool operator==(const HoleRect&, const HoleRect&) = default;
};

inline constexpr int kMaxHoleNumber = 32;

struct GraphicsWindow {
  std::optional<HoleRect> area;  // set by ConsoleGfx
  bool shown = false;
  picture::Canvas canvas;  // the picture, stretched to the drawing size
  // Shown in the area when the picture could not be drawn. A warning (the
  // picture was drawn only in part) stands on the area's bottom rows, over
  // the picture; anything else in the middle of the area, instead of it.
  std::string notice;
  bool notice_is_warning = false;
  // The bytes of `notice` that name the file, [begin, end). A notice that
  // does not fit the area shows only the name's two ends, so that the rest
  // of it (why the picture is not shown) always shows whole.
  std::size_t notice_name_begin = 0;
  std::size_t notice_name_end = 0;
  std::uint64_t picture_version = 0;  // bumped whenever canvas or notice change
  std::map<int, HoleRect> holes;      // open text holes by number

  // Whether console cell (column, row) shows the picture rather than text.
  [[nodiscard]] bool Covers(int column, int row) const {
    if (!shown || !area || !area->Contains(column, row)) return false;
    for (const auto& [number, rect] : holes) {
      if (rect.Contains(column, row)) return false;
    }
    return true;
  }
};

}  // namespace vistamere
