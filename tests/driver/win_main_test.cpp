// The whole program, headless: scripted keys on the in-memory console, the
// tool library calls written down.
#include "driver/win_main.h"

#include <gtest/gtest.h>

#include "scene/screen_size.h"
#include "support/recording_tools.h"
#include "support/scripted_console.h"

namespace vistamere {
namespace {

using testing::ExtendedKeyPress;
using testing::KeyPress;
using testing::RecordingTools;
using testing::ScriptedConsole;

class ProgramTest : public ::testing::Test {
 protected:
  // Runs the program until it returns (the result) or the script runs out (-1).
  int Run() {
    ProgramServices services{screen.console, library, library};
    try {
      return RunProgram(services, 0x400000);
    } catch (const testing::ScriptExhausted&) {
      return -1;
    }
  }
  std::string Row(int row) const { return screen.buffer.RowText(row - 1); }
  std::string Panel(int row) const { return screen.Text(row, 60, 70); }

  ScriptedConsole screen;
  RecordingTools library;
};

TEST_F(ProgramTest, StartsUpInOrderAndAsksForTheFileWhereTheCursorStood) {
  screen.buffer.PlaceCursor(10, 3);
  screen.Type("park.jpg\r");
  EXPECT_EQ(Run(), -1);
  const std::vector<std::string> start(library.calls.begin(), library.calls.begin() + 12);
  EXPECT_EQ(start,
            (std::vector<std::string>{
                "InitConsoleTools(0,0,3,0,0)", "ConsoleTitle(Vistamere 1.0)", "ConsoleIcon(1)",
                "DeleteWindowMenuItem(-2)", "ConsoleToolBar(0,99)", "ConsoleWindow(5)",
                "ConsoleWindow(3)", "ConsoleGfx(1,6,102,39)", "GfxWindow(0)",
                "ImageParam('park.jpg',0)", "StretchImage('park.jpg',1024,512)", "GfxWindow(5)"}));
  EXPECT_EQ(ScreenRows, 40);
  EXPECT_EQ(ScreenCols, 102);
}

TEST_F(ProgramTest, PromptEchoesTheNameAtTheCursorBeforeTheScreenIsCleared) {
  screen.buffer.PlaceCursor(10, 3);
  screen.Type("ab");
  EXPECT_EQ(Run(), -1);  // still typing
  EXPECT_EQ(screen.Text(4, 11, 29), "Enter file name: ab");
  EXPECT_EQ(screen.buffer.cursor_column(), 29);
}

TEST_F(ProgramTest, FileNameKeepsLeadingSpacesAndLosesTrailingOnes) {
  const struct {
    const char* typed;
    const char* used;
  } cases[] = {{"  park.bmp   \r", "'  park.bmp'"},
               {"pic\x08\x08"
                "ark.gif \r",
                "'park.gif'"},
               {"   \r", "null"},
               {"\r", "null"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ScriptedConsole fresh;
    RecordingTools calls;
    ProgramServices services{fresh.console, calls, calls};
    fresh.Type(c.typed);
    EXPECT_THROW(RunProgram(services, 0), testing::ScriptExhausted);
    const auto stretch = calls.CallsStartingWith("Stretch");
    ASSERT_EQ(stretch.size(), 1u);
    EXPECT_NE(stretch[0].find(std::string("(") + c.used + ","), std::string::npos) << stretch[0];
  }
}

TEST_F(ProgramTest, FirstTurnShowsHelpLinesAndTheInitialViewpoint) {
  screen.Type("\r");
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Row(1).substr(0, 36), "X -> Increment x    x -> Decrement x");
  EXPECT_EQ(Row(4).substr(0, 37), "1 -> Increment Tz   2 -> Decrement Tz");
  EXPECT_EQ(Row(5).substr(0, 37), "3 -> Increment Ty   4 -> Decrement Ty");
  EXPECT_EQ(Panel(1), "ObsX:-80   ");
  EXPECT_EQ(Panel(2), "ObsY: 0    ");
  EXPECT_EQ(Panel(3), "ObsZ: 50   ");
  EXPECT_EQ(Panel(4), "TilZ:-10   ");
  EXPECT_EQ(Panel(5), "TilY: 0    ");
  EXPECT_EQ(screen.Text(28, 46, 52), "pitcher");
}

TEST_F(ProgramTest, ViewpointKeysMoveByOneAndOtherKeysChangeNothing) {
  screen.Type("\rxxX");
  screen.Press(ExtendedKeyPress(0x48));      // cursor up
  screen.Press(KeyPress(0x03, 0x2E, 0x08));  // Ctrl+C is an ordinary key
  screen.Type("a1233Zz");
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Panel(1), "ObsX:-81   ");
  EXPECT_EQ(Panel(4), "TilZ:-10   ");
  EXPECT_EQ(Panel(5), "TilY: 2    ");
  EXPECT_EQ(Panel(3), "ObsZ: 50   ");
}

TEST_F(ProgramTest, ShiftedAndCapsLockLettersArriveAsTheConsoleReportsThem) {
  screen.Type("\r");
  screen.Press(KeyPress('Y', 0x15, 0x0080));  // Caps Lock on, no Shift
  screen.Press(KeyPress('Y', 0x15, 0x0080));
  screen.Press(KeyPress('y', 0x15, 0x0090));  // Caps Lock and Shift
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Panel(2), "ObsY: 1    ");
}

TEST_F(ProgramTest, StatusPanelBlanksOnlyFourColumnsBeforeTheValue) {
  screen.Type("\r");
  screen.Type(std::string(1080, 'X'));  // -80 -> 1000
  screen.Type(std::string(1100, 'x'));  // 1000 -> -100
  screen.Type(std::string(105, 'X'));   // -100 -> 5
  EXPECT_EQ(Run(), -1);
  // From -100 to 5 nothing stays: the old column 69 held the trailing space.
  EXPECT_EQ(screen.Text(1, 60, 70), "ObsX: 5    ");
}

TEST_F(ProgramTest, LowerCaseQOpensTheQuitPromptOverTheFirstHelpLine) {
  screen.Type("\rXXXq");
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Row(1).substr(0, 43), "Enter N for new coordinates, any other quit");
  EXPECT_EQ(Panel(1), "ObsX:-77   ");
  EXPECT_EQ(screen.buffer.cursor_column(), 43);
}

TEST_F(ProgramTest, RestartResetsTheViewpointAndReopensTheHoles) {
  screen.Type("\rXXXqn");
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(Row(1).substr(0, 37), "X -> Increment x    x -> Decrement x ");
  EXPECT_EQ(Panel(1), "ObsX:-80   ");
  const auto windows = library.CallsStartingWith("GfxWindow");
  EXPECT_EQ(windows, (std::vector<std::string>{"GfxWindow(0)", "GfxWindow(5)", "GfxWindow(0)",
                                               "GfxWindow(5)"}));
  // The picture is loaded once per run.
  EXPECT_EQ(library.CallsStartingWith("Stretch").size(), 1u);
}

TEST_F(ProgramTest, EndsWithZeroWhicheverKeyLeavesTheQuitPrompt) {
  const InputRecord leaving_keys[] = {KeyPress('Q'), KeyPress('z'), ExtendedKeyPress(0x3B),
                                      KeyPress(0x03), KeyPress(0x0D)};
  for (const InputRecord& key : leaving_keys) {
    ScriptedConsole fresh;
    RecordingTools calls;
    ProgramServices services{fresh.console, calls, calls};
    fresh.Type("\rQ");
    fresh.Press(key);
    EXPECT_EQ(RunProgram(services, 0), 0);
    EXPECT_EQ(calls.calls.back(), "GfxWindow(0)");
  }
}

}  // namespace
}  // namespace vistamere
