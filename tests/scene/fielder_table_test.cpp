#include "scene/fielder_table.h"

#include <gtest/gtest.h>

namespace vistamere {
namespace {

struct FielderCase {
  int index;
  const char* label;
  std::int32_t x;
  std::int32_t y;
};

constexpr FielderCase kFielders[] = {
    {1, "pitcher", 58, -10},   {2, "catcher", -3, -3},  {3, "1stbase", 73, 53},
    {4, "2ndbase", 128, 32},   {5, "3rdbase", 73, -63}, {6, "shortst", 128, -38},
    {7, "leftfld", 250, -150}, {8, "center", 350, -10}, {9, "right", 250, 150},
};

TEST(FielderTable, HoldsTheNinePositionsOnTheGround) {
  FielderTable table;
  FillFielderTable(table);
  for (const FielderCase& want : kFielders) {
    SCOPED_TRACE(want.label);
    const auto slot = static_cast<std::size_t>(want.index);
    EXPECT_EQ(table.x[slot], want.x);
    EXPECT_EQ(table.y[slot], want.y);
    EXPECT_EQ(table.z[slot], 0);
    EXPECT_EQ(FielderLabel(want.index), want.label);
  }
}

TEST(FielderTable, UnusedRowsZeroAndWithoutLabel) {
  FielderTable table;
  table.x.fill(7);
  table.y.fill(-7);
  table.z.fill(9);
  FillFielderTable(table);
  for (const std::size_t unused : {std::size_t{0}, std::size_t{10}}) {
    SCOPED_TRACE(unused);
    EXPECT_EQ(table.x[unused], 0);
    EXPECT_EQ(table.y[unused], 0);
    EXPECT_EQ(table.z[unused], 0);
    EXPECT_TRUE(FielderLabel(static_cast<int>(unused)).empty());
  }
  EXPECT_TRUE(FielderLabel(-1).empty());
  EXPECT_TRUE(FielderLabel(11).empty());
}

}  // namespace
}  // namespace vistamere
