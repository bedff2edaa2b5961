#include "driver/status_panel.h"

#include <gtest/gtest.h>

#include "support/scripted_console.h"

namespace vistamere {
namespace {

TEST(StatusPanel, BlanksOnlyFourColumnsSoALongerOldNumberMayLeaveADigit) {
  const struct {
    std::int32_t before, after;
    const char* row_one;  // columns 60 to 71
  } cases[] = {
      {1000, 10, "ObsX: 10 0  "},  // the old column 69 held a digit
      {-100, 5, "ObsX: 5     "},   // the old column 69 held the trailing space
      {-80, -81, "ObsX:-81    "}, {12345, 7, "ObsX: 7  45 "}, {-2147483647 - 1, 0, "ObsX: 0  748"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    testing::ScriptedConsole screen;
    DrawStatusPanel(screen.console, Viewpoint{c.before, 0, 50, -10, 0});
    DrawStatusPanel(screen.console, Viewpoint{c.after, 0, 50, -10, 0});
    EXPECT_EQ(screen.Text(1, 60, 71), c.row_one);
    EXPECT_EQ(screen.Text(2, 60, 67), "ObsY: 0 ");
  }
}

TEST(StatusPanel, HelpLinesFillRowsOneToFiveFromWhereTheCursorStands) {
  testing::ScriptedConsole screen;
  PrintHelpLines(screen.console);
  EXPECT_EQ(screen.Text(2, 1, 37), "Y -> Increment y    y -> Decrement y ");
  EXPECT_EQ(screen.Text(3, 1, 36), "Z -> Increment z    z -> Decrement z");
  EXPECT_EQ(screen.buffer.cursor_row(), 5);
  EXPECT_EQ(screen.buffer.cursor_column(), 0);
}

}  // namespace
}  // namespace vistamere
