#include "overlay/label_pass.h"

#include <gtest/gtest.h>

#include "overlay/hole_state.h"
#include "scene/project_fielder.h"
#include "scene/screen_size.h"
#include "support/recording_tools.h"
#include "support/scripted_console.h"

namespace vistamere {
namespace {

using testing::RecordingTools;
using testing::ScriptedConsole;

class LabelPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScreenRows = 40;
    ScreenCols = 102;
    HoleState.fill(kHoleClosed);
    FillFielderTable(fielders);
  }
  void Pass() { LabelPass(tools, fielders, kFielderCount, viewpoint, current); }

  ScriptedConsole screen;
  RecordingTools library;
  OverlayTools tools{screen.console, library, library};
  FielderTable fielders{};
  Viewpoint viewpoint = kInitialViewpoint;
  CellPos current;
};

struct PlacedLabel {
  int index;
  const char* label;
  int row, first_column, last_column;
};

constexpr PlacedLabel kInitialLabels[] = {
    {1, "pitcher", 28, 46, 52}, {2, "catcher", 36, 48, 54}, {3, "1stbase", 26, 74, 80},
    {4, "2ndbase", 24, 62, 68}, {5, "3rdbase", 26, 25, 31}, {6, "shortst", 24, 39, 45},
    {7, "leftfld", 21, 22, 28}, {8, "center", 20, 49, 54},  {9, "right", 21, 80, 84},
};

TEST_F(LabelPassTest, InitialViewpointPrintsEveryLabelInAHoleOfItsOwnSize) {
  Pass();
  std::vector<std::string> expected_holes;
  for (const PlacedLabel& p : kInitialLabels) {
    SCOPED_TRACE(p.label);
    EXPECT_EQ(screen.Text(p.row, p.first_column, p.last_column), p.label);
    expected_holes.push_back("GfxTextHole(" + std::to_string(p.index) + "," +
                             std::to_string(p.first_column) + "," + std::to_string(p.row) + "," +
                             std::to_string(p.last_column) + "," + std::to_string(p.row) + ")");
    EXPECT_EQ(HoleState[static_cast<std::size_t>(p.index)], kHoleOpen);
  }
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole"), expected_holes);
  EXPECT_EQ(library.calls.front(), "GfxRefresh(0)");  // nothing was open to close
  EXPECT_EQ(library.calls.back(), "GfxRefresh(0)");
}

TEST_F(LabelPassTest, EveryPassClosesAllHolesRefreshesAndOpensThemAgain) {
  Pass();
  library.calls.clear();
  Pass();  // the same viewpoint: a key that changes nothing
  std::vector<std::string> expected;
  for (int i = 1; i <= 9; ++i) expected.push_back("FillHole(" + std::to_string(i) + ")");
  expected.push_back("GfxRefresh(0)");
  ASSERT_GE(library.calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(library.calls.begin(), library.calls.begin() + 10), expected);
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole").size(), 9u);
  EXPECT_EQ(library.calls.back(), "GfxRefresh(0)");
}

TEST_F(LabelPassTest, FieldersOutsideTheAreaGetNoHoleAndNoText) {
  viewpoint.TilY = 30;  // third baseman, shortstop and left fielder leave on the left
  Pass();
  for (const int hidden : {5, 6, 7}) {
    EXPECT_EQ(HoleState[static_cast<std::size_t>(hidden)], kHoleClosed) << hidden;
  }
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole").size(), 6u);
  EXPECT_EQ(screen.Text(28, 4, 10), "pitcher");
}

TEST_F(LabelPassTest, LabelRunningPastTheRightEdgePrintsTheMarkerInACutHole) {
  // Find a horizontal tilt that puts the left fielder at column 97.
  bool found = false;
  for (std::int32_t tilt = -90; tilt <= 0 && !found; ++tilt) {
    std::int32_t row = 0, column = 0;
    const std::int32_t z = 0;
    ProjectFielder(fielders.x[7], fielders.y[7], z, viewpoint.ObsX, viewpoint.ObsY, viewpoint.ObsZ,
                   viewpoint.TilZ, tilt, row, column);
    if (column == 97 && row != 0) {
      viewpoint.TilY = tilt;
      found = true;
    }
  }
  ASSERT_TRUE(found);
  Pass();
  std::int32_t row = 0, column = 0;
  ProjectFielder(fielders.x[7], fielders.y[7], fielders.z[7], viewpoint.ObsX, viewpoint.ObsY,
                 viewpoint.ObsZ, viewpoint.TilZ, viewpoint.TilY, row, column);
  EXPECT_EQ(screen.Text(row, 97, 97), "O");
  const std::string hole =
      "GfxTextHole(7,97," + std::to_string(row) + ",102," + std::to_string(row) + ")";
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole(7"), std::vector<std::string>{hole});
}

TEST_F(LabelPassTest, AHoleThatWouldNotCloseKeepsItsOldCellsAndTheNewOneIsNotOpened) {
  Pass();
  library.failing_fills = {1};
  screen.Type("k");
  viewpoint.ObsZ = 0;  // every label moves to row 16
  Pass();
  EXPECT_EQ(screen.Text(2, 50, 62), " Bad fill: 1 ");
  EXPECT_EQ(HoleState[1], kHoleOpen);
  // No new hole for the pitcher: the old one still stands.
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole(1,").size(), 1u);
  EXPECT_EQ(library.CallsStartingWith("GfxTextHole").size(), 9u + 8u);
  // Printed all the same (hidden by the picture); "center" overwrites its tail.
  EXPECT_EQ(screen.Text(16, 46, 54), "piccenter");
}

}  // namespace
}  // namespace vistamere
