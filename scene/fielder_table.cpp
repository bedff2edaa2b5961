#include "scene/fielder_table.h"

namespace vistamere {

namespace {

struct FielderRow {
  const char* label;
  std::int32_t x;
  std::int32_t y;
  std::int32_t z;
};

// In index order, starting at index 1.
constexpr std::array<FielderRow, kFielderCount> kFielderRows{{
    {"pitcher", 58, -10, 0},
    {"catcher", -3, -3, 0},
    {"1stbase", 73, 53, 0},
    {"2ndbase", 128, 32, 0},
    {"3rdbase", 73, -63, 0},
    {"shortst", 128, -38, 0},
    {"leftfld", 250, -150, 0},
    {"center", 350, -10, 0},
    {"right", 250, 150, 0},
}};

}  // namespace

void FillFielderTable(FielderTable& table) {
  table = FielderTable{};
  for (int index = 1; index <= kFielderCount; ++index) {
    const FielderRow& row = kFielderRows[static_cast<std::size_t>(index - 1)];
    const auto slot = static_cast<std::size_t>(index);
    table.x[slot] = row.x;
    table.y[slot] = row.y;
    table.z[slot] = row.z;
  }
}

const Text& FielderLabel(int index) {
  static const std::array<Text, kFielderCount + 2> labels = [] {
    std::array<Text, kFielderCount + 2> filled{};
    for (std::size_t slot = 1; slot <= kFielderCount; ++slot) {
      filled[slot] = kFielderRows[slot - 1].label;
    }
    return filled;
  }();
  static const Text empty;
  if (index < 1 || index > kFielderCount) return empty;
  return labels[static_cast<std::size_t>(index)];
}

}  // namespace vistamere
