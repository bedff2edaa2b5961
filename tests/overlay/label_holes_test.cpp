#include "overlay/label_holes.h"

#include <gtest/gtest.h>

#include "overlay/hole_state.h"
#include "scene/screen_size.h"
#include "support/recording_tools.h"
#include "support/scripted_console.h"

namespace vistamere {
namespace {

using testing::RecordingTools;
using testing::ScriptedConsole;

class LabelHolesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScreenRows = 40;
    ScreenCols = 102;
    HoleState.fill(kHoleClosed);
  }
  ScriptedConsole screen;
  RecordingTools library;
  OverlayTools tools{screen.console, library, library};
};

struct OpenCase {
  const char* name;
  std::int32_t top, left, bottom, right;
  const char* expected_call;  // nullptr: the library is not called
  std::int32_t right_after;
};

TEST_F(LabelHolesTest, OpensOnlyInsideTheAreaOrCutAtTheRightEdge) {
  const OpenCase cases[] = {
      {"inside", 28, 46, 28, 52, "GfxTextHole(1,46,28,52,28)", 52},
      {"corners", 6, 1, 39, 102, "GfxTextHole(1,1,6,102,39)", 102},
      {"cut at 102", 20, 97, 20, 103, "GfxTextHole(1,97,20,102,20)", 102},
      {"cut from 101", 20, 101, 20, 107, "GfxTextHole(1,101,20,102,20)", 102},
      {"starts at 102", 20, 102, 20, 108, nullptr, 108},
      {"row 5", 5, 10, 5, 16, nullptr, 16},
      {"row 40", 40, 10, 40, 16, nullptr, 16},
      {"column 0", 20, 0, 20, 6, nullptr, 6},
      {"cut but row 40", 40, 97, 40, 103, nullptr, 103},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    HoleState.fill(kHoleClosed);
    library.calls.clear();
    std::int32_t right = c.right;
    OpenLabelHole(tools, 1, c.top, c.left, c.bottom, right);
    if (c.expected_call != nullptr) {
      ASSERT_EQ(library.calls, std::vector<std::string>{c.expected_call});
      EXPECT_EQ(HoleState[1], kHoleOpen);
    } else {
      EXPECT_TRUE(library.calls.empty());
      EXPECT_EQ(HoleState[1], kHoleClosed);
    }
    EXPECT_EQ(right, c.right_after);
    EXPECT_EQ(screen.Text(2, 50, 62), std::string(13, ' '));  // never a message
  }
}

TEST_F(LabelHolesTest, OpenTwiceAndCloseUnopenedCallTheLibraryOnlyWhenNeeded) {
  std::int32_t right = 52;
  OpenLabelHole(tools, 4, 28, 46, 28, right);
  OpenLabelHole(tools, 4, 30, 46, 30, right);
  CloseLabelHole(tools, 5);
  CloseLabelHole(tools, 4);
  CloseLabelHole(tools, 4);
  EXPECT_EQ(library.calls, (std::vector<std::string>{"GfxTextHole(4,46,28,52,28)", "FillHole(4)"}));
  EXPECT_EQ(HoleState[4], kHoleClosed);
}

TEST_F(LabelHolesTest, FailedOpenReportsOnRowTwoAndWaitsForAKey) {
  library.failing_opens = {3};
  screen.Type("k");
  std::int32_t right = 80;
  OpenLabelHole(tools, 3, 26, 74, 26, right);
  EXPECT_EQ(screen.Text(2, 50, 62), " Bad Hole: 3 ");
  EXPECT_EQ(screen.buffer.cursor_row(), 2);  // row 3, 0-based
  EXPECT_EQ(screen.buffer.cursor_column(), 0);
  EXPECT_EQ(screen.buffer.pending_input(), 0u);  // the key was taken
  EXPECT_EQ(HoleState[3], kHoleClosed);
}

TEST_F(LabelHolesTest, FailedFillReportsAndKeepsTheHoleOpenForTheNextTry) {
  std::int32_t right = 80;
  OpenLabelHole(tools, 7, 26, 74, 26, right);
  library.failing_fills = {7};
  screen.Type("k");
  CloseLabelHole(tools, 7);
  EXPECT_EQ(screen.Text(2, 50, 62), " Bad fill: 7 ");
  EXPECT_EQ(HoleState[7], kHoleOpen);
  library.failing_fills.clear();
  CloseLabelHole(tools, 7);
  EXPECT_EQ(HoleState[7], kHoleClosed);
  EXPECT_EQ(library.CallsStartingWith("FillHole").size(), 2u);
}

TEST_F(LabelHolesTest, FailureWaitsEvenWhenNoKeyIsThere) {
  library.failing_opens = {2};
  std::int32_t right = 54;
  EXPECT_THROW(OpenLabelHole(tools, 2, 36, 48, 36, right), testing::ScriptExhausted);
}

}  // namespace
}  // namespace vistamere
