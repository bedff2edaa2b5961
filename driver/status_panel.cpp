#include "driver/status_panel.h"

#include <array>
#include <cstdint>

namespace vistamere {
namespace {

constexpr std::array<const char*, 5> kHelpLines = {
    "X -> Increment x    x -> Decrement x",  "Y -> Increment y    y -> Decrement y",
    "Z -> Increment z    z -> Decrement z",  "1 -> Increment Tz   2 -> Decrement Tz",
    "3 -> Increment Ty   4 -> Decrement Ty",
};

struct PanelRow {
  const char* label;
  std::int32_t Viewpoint::*field;
};

constexpr std::array<PanelRow, 5> kPanelRows = {{
    {"ObsX:", &Viewpoint::ObsX},
    {"ObsY:", &Viewpoint::ObsY},
    {"ObsZ:", &Viewpoint::ObsZ},
    {"TilZ:", &Viewpoint::TilZ},
    {"TilY:", &Viewpoint::TilY},
}};

constexpr std::int32_t kLabelColumn = 60;
constexpr std::int32_t kValueColumn = 65;

}  // namespace

void PrintHelpLines(TextConsole& console) {
  for (const char* line : kHelpLines) {
    console.PrintText(line);
    console.PrintNewline();
  }
}

void DrawStatusPanel(TextConsole& console, const Viewpoint& viewpoint) {
  // Only columns 65 to 68 are blanked: a longer old number may leave a digit
  // beyond them.
  for (std::int32_t row = 1; row <= 5; ++row) {
    console.Locate(row, kValueColumn);
    console.PrintText("    ");
  }
  std::int32_t row = 1;
  for (const PanelRow& panel_row : kPanelRows) {
    console.Locate(row++, kLabelColumn);
    console.PrintText(panel_row.label);
    console.PrintNumber(viewpoint.*panel_row.field);
  }
}

}  // namespace vistamere
