#include "overlay/label_holes.h"

#include "overlay/hole_state.h"
#include "scene/screen_size.h"

namespace vistamere {

std::array<std::int32_t, kHoleStateSize> HoleState{};

namespace {

// Where a failed hole call is reported.
constexpr std::int32_t kHoleMessageRow = 2;
constexpr std::int32_t kHoleMessageColumn = 50;

bool InsideGraphicsArea(std::int32_t top, std::int32_t left, std::int32_t bottom,
                        std::int32_t right) {
  return left >= 1 && left <= ScreenCols && right >= 1 && right <= ScreenCols &&
         top >= kGraphicsAreaTop && top <= ScreenRows - 1 && bottom >= kGraphicsAreaTop &&
         bottom <= ScreenRows - 1;
}

// A hole number outside the table is never open and is never recorded.
bool KnownHole(std::int32_t hole) {
  return hole >= 0 && hole < kHoleStateSize;
}

// Reports a failed hole call and waits for any key.
void ReportHoleFailure(OverlayTools& tools, const char* what, std::int32_t hole) {
  tools.console.Locate(kHoleMessageRow, kHoleMessageColumn);
  tools.console.PrintText(Concat(Concat(what, NumberToText(hole)), " "));
  tools.console.PrintNewline();
  tools.console.WaitKey();
}

}  // namespace

void OpenLabelHole(OverlayTools& tools, const std::int32_t& hole, const std::int32_t& top,
                   const std::int32_t& left, const std::int32_t& bottom, std::int32_t& right) {
  if (!KnownHole(hole) || HoleState[static_cast<std::size_t>(hole)] == kHoleOpen) return;
  if (!InsideGraphicsArea(top, left, bottom, right)) {
    const bool cut_at_right_edge =
        left < ScreenCols && right > ScreenCols && bottom <= ScreenRows - 1;
    if (!cut_at_right_edge) return;
    right = ScreenCols;
  }
  if (tools.console_tools.GfxTextHole(hole, left, top, right, bottom) == 0) {
    HoleState[static_cast<std::size_t>(hole)] = kHoleOpen;
  } else {
    ReportHoleFailure(tools, " Bad Hole:", hole);
  }
}

void CloseLabelHole(OverlayTools& tools, const std::int32_t& hole) {
  if (!KnownHole(hole) || HoleState[static_cast<std::size_t>(hole)] == kHoleClosed) return;
  if (tools.graphics_tools.FillHole(hole) == 0) {
    HoleState[static_cast<std::size_t>(hole)] = kHoleClosed;
  } else {
    ReportHoleFailure(tools, " Bad fill:", hole);
  }
}

}  // namespace vistamere
