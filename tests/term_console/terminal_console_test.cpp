// The terminal console device with a scripted terminal and clock: key
// timing, load progress, resizes, redraw requests, start-up answers mixed
// with keys, and a terminal that goes away.
#include "term/terminal_console.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "console/text_console.h"
#include "driver/win_main.h"
#include "fake_terminal.h"
#include "toollibs/tool_libraries_impl.h"

namespace vistamere::term::testing {
namespace {

using std::chrono::milliseconds;

constexpr int kColumns = 102;
constexpr int kRows = 40;
const ColourSettings kTrueColour{ColourMode::kTrueColor, "", ""};

// The device and a text console over it, on a terminal of the screen's size.
struct DeviceOnTerminal {
  FakeTerminal terminal{kColumns, kRows};
  GraphicsWindow window;
  TerminalConsole device{terminal, window, kTrueColour};
  TextConsole console{device};

  // Every key string until the script runs out.
  std::vector<Text> Keys() {
    std::vector<Text> keys;
    try {
      for (;;) keys.push_back(console.WaitKey());
    } catch (const ScriptEnded&) {
    }
    return keys;
  }
};

// Runs the whole program on the device until the terminal's script runs
// out; returns what the terminal shows then.
std::string RunProgram(FakeTerminal& terminal) {
  GraphicsWindow window;
  TerminalConsole device(terminal, window, kTrueColour);
  device.Start();
  ToolLibraries tools(window, &device);
  TextConsole console(device);
  ProgramServices services{console, tools, tools};
  EXPECT_THROW(vistamere::RunProgram(services, 0), ScriptEnded);
  return terminal.screen().Snapshot();
}

// The rows (and the cursor line) where two snapshots differ, shortened.
std::string Differences(const std::string& shown, const std::string& expected) {
  std::istringstream shown_lines(shown);
  std::istringstream expected_lines(expected);
  std::string report;
  std::string a;
  std::string b;
  for (int row = 0; std::getline(shown_lines, a) && std::getline(expected_lines, b); ++row) {
    if (a != b) {
      std::size_t at = 0;
      while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
      report += "row " + std::to_string(row) + " from cell text " + std::to_string(at) +
                ": shown " + a.substr(at, 80) + " / expected " + b.substr(at, 80) + "\n";
    }
  }
  return report;
}

std::string Trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

TEST(TerminalConsoleTest, KeysAsTheyArrive) {
  const Text up = {'\0', 0x48};
  const struct {
    const char* name;
    std::vector<std::pair<int, std::string>> bytes;  // at milliseconds
    std::vector<Text> keys;
  } kCases[] = {
      {"sequence at once", {{10, "\x1b[A"}}, {up}},
      {"sequence split, rest 39 ms later", {{10, "\x1b"}, {49, "[A"}}, {up}},
      {"sequence split, rest 40 ms later", {{10, "\x1b"}, {50, "[A"}}, {"\x1b", "[", "A"}},
      {"Esc alone", {{10, "\x1b"}}, {"\x1b"}},
      {"Ctrl+L is a key too", {{10, "\x0c"}}, {"\x0c"}},
      {"answers among keys", {{10, "a\x1b[?62;22c\x1b[12;5Rb"}}, {"a", "b"}},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    DeviceOnTerminal run;
    for (const auto& [at, bytes] : test.bytes) run.terminal.SendAt(milliseconds(at), bytes);
    EXPECT_EQ(run.Keys(), test.keys);
  }
}

TEST(TerminalConsoleTest, TheProgramsPausesComeBeforeTheScreenAndKeysEndThem) {
  // Text printed, the cursor moved up three times (1 ms twice each) and a
  // key awaited (1 ms): the screen shows the text once 7 ms have passed.
  const struct {
    const char* name;
    int key_at;
    bool shown;  // the screen came before the key
  } kCases[] = {
      {"key after the pauses", 50, true},
      {"key during the pauses", 4, false},
      {"key there from the start", 0, false},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    DeviceOnTerminal run;
    run.terminal.SendAt(milliseconds(test.key_at), "k");
    run.console.Locate(20, 1);
    run.console.PrintText("labels");
    for (const int row : {10, 5, 1}) run.console.Locate(row, 1);

    EXPECT_EQ(run.console.WaitKey(), "k");
    EXPECT_EQ(run.terminal.elapsed(), milliseconds(test.key_at));
    EXPECT_EQ(run.terminal.screen().RowText(19).starts_with("labels"), test.shown);
    if (test.shown) {
      EXPECT_EQ(run.terminal.last_write_at(), milliseconds(7));
    }
  }
}

TEST(TerminalConsoleTest, LoadProgressShowsOnlyAfterItsDelayAndGoesAway) {
  for (const int later : {149, 150}) {
    SCOPED_TRACE(later);
    DeviceOnTerminal run;
    run.console.PrintText("Enter file name: big.png");
    run.console.PrintNewline();

    run.device.ShowLoadProgress("big.png", 0);
    run.terminal.Advance(milliseconds(later));
    run.device.ShowLoadProgress("big.png", 42);
    const bool shown = run.terminal.screen().RowText(1).starts_with(" Loading big.png ... 42% ");
    EXPECT_EQ(shown, later >= TerminalConsole::kProgressDelay.count());

    run.device.ShowLoadProgress("big.png", -1);
    run.terminal.SendAt(run.terminal.elapsed() + milliseconds(5), "x");
    EXPECT_EQ(run.Keys(), std::vector<Text>{"x"});
    EXPECT_EQ(Trimmed(run.terminal.screen().RowText(0)), "Enter file name: big.png");
    EXPECT_EQ(Trimmed(run.terminal.screen().RowText(1)), "");
  }
}

TEST(TerminalConsoleTest, EscOrCtrlCStopsALoadThatShowsItsProgressAndOtherKeysWait) {
  const struct {
    const char* keys;  // typed 200 ms into the load
    bool stops;
    std::vector<Text> queued;
  } kCases[] = {
      {"a\x1b", true, {"a"}},  // Esc, told from a sequence once its time is up
      {"\x03"
       "b",
       true,
       {"b"}},  // Ctrl+C
      {"ab", false, {"a", "b"}},
      {"\x1b[A", false, {{'\0', 0x48}}},  // the up key is no Esc
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.keys);
    DeviceOnTerminal run;
    run.terminal.SendAt(milliseconds(200), test.keys);
    bool went_on = true;
    for (int percent = 0; percent <= 100 && went_on; ++percent) {
      went_on = run.device.ShowLoadProgress("big.png", percent);
      run.terminal.Advance(milliseconds(10));
    }
    EXPECT_EQ(went_on, !test.stops);
    EXPECT_TRUE(run.device.ShowLoadProgress("big.png", -1));
    EXPECT_EQ(run.Keys(), test.queued);
  }
}

// Keys typed at the start, in each of the program's waits.
const struct Moment {
  const char* name;
  const char* keys;
} kMoments[] = {
    {"file prompt", "ab"},
    {"viewer", "\rX"},
    {"quit prompt", "\rXQ"},
};

TEST(TerminalConsoleTest, TooSmallAndLargeEnoughAgainShowsTheSameScreen) {
  for (const Moment& moment : kMoments) {
    SCOPED_TRACE(moment.name);
    FakeTerminal reference(kColumns, kRows);
    reference.SendAt(milliseconds(10), moment.keys);
    const std::string expected = RunProgram(reference);

    FakeTerminal terminal(kColumns, kRows);
    terminal.SendAt(milliseconds(10), moment.keys);
    terminal.ResizeAt(milliseconds(1000), 80, 24);
    terminal.ResizeAt(milliseconds(2000), kColumns + 3, kRows);
    terminal.ResizeAt(milliseconds(2000), kColumns, kRows);
    const std::string shown = RunProgram(terminal);

    EXPECT_NE(terminal.written().find("Vistamere needs a terminal"), std::string::npos);
    EXPECT_EQ(shown.find("enlarge"), std::string::npos);
    EXPECT_EQ(Differences(shown, expected), "");
  }
}

TEST(TerminalConsoleTest, RedrawRequestsCleanForeignOutput) {
  const struct {
    const char* name;
    void (*request)(FakeTerminal&);
  } kRequests[] = {
      {"Ctrl+L", [](FakeTerminal& t) { t.SendAt(milliseconds(2000), "\x0c"); }},
      {"continued after Ctrl+Z", [](FakeTerminal& t) { t.ContinueAt(milliseconds(2000), true); }},
      {"continued after a stop", [](FakeTerminal& t) { t.ContinueAt(milliseconds(2000), false); }},
  };
  for (const Moment& moment : kMoments) {
    FakeTerminal reference(kColumns, kRows);
    reference.SendAt(milliseconds(10), moment.keys);
    const std::string expected = RunProgram(reference);
    for (const auto& request : kRequests) {
      // At the quit prompt Ctrl+L is a key like any other: it ends the program.
      if (std::string_view(moment.name) == "quit prompt" && request.name == kRequests[0].name) {
        continue;
      }
      SCOPED_TRACE(std::string(moment.name) + ", " + request.name);
      FakeTerminal terminal(kColumns, kRows);
      terminal.SendAt(milliseconds(10), moment.keys);
      terminal.ForeignOutputAt(milliseconds(1000),
                               "\x1b[0m\x1b[20;30Hsomebody else\r\n\x1b[31mwrote");
      request.request(terminal);
      EXPECT_EQ(Differences(RunProgram(terminal), expected), "");
    }
  }
}

TEST(TerminalConsoleTest, StartUpAnswersMixedWithKeysKeepTheKeys) {
  DeviceOnTerminal run;
  run.terminal.AnswerQueries(false);
  // The user types while the terminal answers: cursor on row 5, the kitty
  // keyboard protocol, then the device attributes that end the wait.
  run.terminal.SendAt(milliseconds(5), "a\x1b[5;1R\x1b[?0ub\x1b[?62;22c");
  run.terminal.SendAt(milliseconds(400), "c\x1b[?62;22cd\r");
  run.device.Start();

  run.console.PrintText("Enter file name: ");
  EXPECT_EQ(run.console.LineInput(), "abcd");
  // The screen was last shown while the line waited for "cd".
  EXPECT_TRUE(run.terminal.screen().RowText(4).starts_with("Enter file name: ab "));
  // The keyboard protocol was switched on, and is switched off on the way out.
  EXPECT_NE(run.terminal.written().find("\x1b[>15u"), std::string::npos);
  EXPECT_NE(run.terminal.restore_bytes().find("\x1b[<u"), std::string::npos);
}

// How the terminal holds the background of a cell: "rgb", "palette" (an
// entry of 16-255) or "ansi" (one of the 16 themed colours).
std::string ColourKind(const TerminalScreen& screen, int column, int row) {
  const std::string cell = screen.DescribeCell(column, row);
  const std::string background = cell.substr(cell.find(" on ") + 4);
  if (background.starts_with("#")) return "rgb";
  if (background.starts_with("index ")) {
    return std::stoi(background.substr(6)) >= 16 ? "palette" : "ansi";
  }
  return background;
}

TEST(TerminalConsoleTest, PictureColoursFollowTheSettingsOrWhatTheTerminalAnswers) {
  const std::string xterm_attributes = "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c";
  const std::string probe_back = "\x1bP1$r0;38:2::18:52:86m\x1b\\";
  const struct {
    const char* name;
    ColourSettings settings;
    std::optional<std::string> answers;  // none: libvterm answers for itself
    const char* picture;                 // ColourKind of the picture's cells
    bool asks;                           // the colour queries go out
  } kCases[] = {
      {"xterm sets the colour", {}, probe_back + xterm_attributes, "rgb", true},
      {"xterm without direct colour rounds it to the palette",
       {},
       "\x1bP1$r0;38:5:233m\x1b\\" + xterm_attributes,
       "palette",
       true},
      {"the colour the terminal reports outweighs its capabilities",
       {},
       "\x1bP1$r0;38:5:233m\x1b\\\x1bP1+r524742=38\x1b\\" + xterm_attributes,
       "palette",
       true},
      {"a terminal that names Tc only",
       {},
       "\x1bP0$r\x1b\\\x1bP0+r\x1b\\\x1bP1+r5463\x1b\\\x1b[?62c",
       "rgb",
       true},
      {"tmux answers neither", {}, "\x1b[?1;2c", "palette", true},
      {"no answer at all", {}, "", "palette", true},
      {"libvterm", {}, std::nullopt, "rgb", true},
      {"COLORTERM=truecolor",
       {std::nullopt, "truecolor", "tmux-256color"},
       "\x1b[?1;2c",
       "rgb",
       false},
      {"TERM=xterm-direct", {std::nullopt, "", "xterm-direct"}, "\x1b[?1;2c", "rgb", false},
      {"the Linux console", {std::nullopt, "", "linux"}, "\x1b[?6c", "ansi", false},
      {"--colors=16 with COLORTERM=truecolor",
       {ColourMode::kIndexed16, "truecolor", "xterm"},
       std::nullopt,
       "ansi",
       false},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    FakeTerminal terminal(kColumns, kRows);
    if (test.answers) {
      terminal.AnswerQueries(false);
      if (!test.answers->empty()) terminal.SendAt(milliseconds(5), *test.answers);
    }
    terminal.SendAt(milliseconds(10), "\r");  // the built-in ballpark
    GraphicsWindow window;
    TerminalConsole device(terminal, window, test.settings);
    device.Start();
    EXPECT_EQ(terminal.written().find("\x1bP") != std::string::npos, test.asks);
    // The queries leave the pen as they found it: text comes in the default colours.
    const int column = terminal.screen().cursor_column();
    const int row = terminal.screen().cursor_row();
    terminal.screen().Feed("x");
    EXPECT_TRUE(terminal.screen().ForegroundIs(column, row, Colour::Default()) &&
                terminal.screen().BackgroundIs(column, row, Colour::Default()))
        << terminal.screen().DescribeCell(column, row);

    ToolLibraries tools(window, &device);
    TextConsole console(device);
    ProgramServices services{console, tools, tools};
    EXPECT_THROW(vistamere::RunProgram(services, 0), ScriptEnded);
    EXPECT_EQ(ColourKind(terminal.screen(), 2, kRows - 3), test.picture);
  }
}

// How the picture is drawn, decided from what terminals answered when
// asked (recorded), and then drawn that way through a whole run.
TEST(TerminalConsoleTest, PicturesInPixelsWhereTheTerminalsAnswersSaySo) {
  using Kind = GraphicsDecision::Kind;
  struct Case {
    const char* name;
    std::string answers;
    bool multiplexer;
    Kind expected;
  };
  const Case kCases[] = {
      {"xterm -ti vt340", "\x1b[1;1R\x1b[?63;1;2;4;6;9;15;16;22;28c", false, Kind::kSixel},
      {"mlterm 3.9", "\x1b[1;1R\x1b[?63;1;2;3;4;7;29c", false, Kind::kSixel},
      {"foot 1.13", "\x1b[1;1R\x1b[?0u\x1b[?62;4;22c", false, Kind::kSixel},
      {"kitty 0.26", "\x1b[1;1R\x1b[?0u\x1b_Gi=31;OK\x1b\\\x1b[?62;c", false, Kind::kKitty},
      {"xterm without VT340", "\x1b[1;1R\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c", false,
       Kind::kCells},
      {"tmux 3.3a", "\x1b[1;1R\x1b[?1;2c", true, Kind::kCells},
      {"a terminal that never answers", "", false, Kind::kCells},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    FakeTerminal terminal(kColumns, kRows);
    terminal.SetPixelSize(kColumns * 9, kRows * 19);
    terminal.AnswerQueries(false);
    if (!test.answers.empty()) terminal.SendAt(milliseconds(5), test.answers);
    terminal.SendAt(milliseconds(400), "\r");  // the built-in ballpark
    GraphicsWindow window;
    TerminalConsole device(terminal, window, kTrueColour,
                           {GraphicsChoice::kAuto, test.multiplexer});
    device.Start();
    EXPECT_EQ(device.Graphics(kColumns, kRows - 6).kind, test.expected);

    ToolLibraries tools(window, &device);
    TextConsole console(device);
    ProgramServices services{console, tools, tools};
    EXPECT_THROW(vistamere::RunProgram(services, 0), ScriptEnded);
    const std::string& written = terminal.written();
    EXPECT_EQ(written.find("\x1bP0;1;0q") != std::string::npos, test.expected == Kind::kSixel);
    EXPECT_EQ(written.find("\x1b_Ga=t") != std::string::npos, test.expected == Kind::kKitty);
    // The status panel is there whichever way the picture came.
    EXPECT_NE(terminal.screen().RowText(0).find("ObsX:-80"), std::string::npos);
  }
}

TEST(TerminalConsoleTest, ATerminalThatGoesAwayEndsTheRun) {
  DeviceOnTerminal run;
  run.terminal.SendAt(milliseconds(5), "a");
  run.terminal.HangUpAt(milliseconds(10));
  EXPECT_EQ(run.console.WaitKey(), "a");
  EXPECT_THROW(run.console.WaitKey(), TerminalLost);

  FakeTerminal terminal(kColumns, kRows);
  terminal.SendAt(milliseconds(5), "half typed");
  terminal.HangUpAt(milliseconds(10));
  GraphicsWindow window;
  TerminalConsole device(terminal, window, kTrueColour);
  ToolLibraries tools(window, &device);
  TextConsole console(device);
  ProgramServices services{console, tools, tools};
  EXPECT_THROW(vistamere::RunProgram(services, 0), TerminalLost);
}

}  // namespace
}  // namespace vistamere::term::testing
