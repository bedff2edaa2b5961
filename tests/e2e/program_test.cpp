// The real binary in tmux at 102x40: prompt, turns, quit prompt, restart,
// exit code and the terminal given back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tmux_session.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

// Runs the program in the pane, then reports how it ended and the
// terminal's line discipline.
std::string ProgramThenReport(const std::string& arguments = "") {
  return "clear; " + ShellQuote(kBinary) + arguments +
         "; echo \"EXIT=$? $(stty -a | grep -o -- '-\\?icanon') $(stty -a | grep -o -- "
         "'-\\?echo ')END\"";
}

struct Label {
  const char* text;
  int row, column;
};

constexpr Label kInitialLabels[] = {
    {"pitcher", 28, 46}, {"catcher", 36, 48}, {"1stbase", 26, 74},
    {"2ndbase", 24, 62}, {"3rdbase", 26, 25}, {"shortst", 24, 39},
    {"leftfld", 21, 22}, {"center", 20, 49},  {"right", 21, 80},
};

TEST(EndToEnd, PromptTurnsRestartAndQuitLeaveTheTerminalUsable) {
  TmuxSession tmux(102, 40);
  tmux.RunCommand(ProgramThenReport());
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));

  tmux.Type("abcd");
  tmux.Press("BSpace");
  tmux.Type("e");
  ASSERT_TRUE(tmux.WaitForText("Enter file name: abce"));
  tmux.Press("BSpace");
  tmux.Press("BSpace");
  tmux.Press("BSpace");
  tmux.Press("BSpace");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 1, "Enter file name:     "));
  tmux.Press("Enter");  // no name: the built-in ballpark

  ASSERT_TRUE(tmux.WaitForTextAt(1, 1, "X -> Increment x    x -> Decrement x"));
  EXPECT_EQ(tmux.Text(5, 1, 37), "3 -> Increment Ty   4 -> Decrement Ty");
  EXPECT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
  EXPECT_EQ(tmux.Text(2, 60, 66), "ObsY: 0");
  EXPECT_EQ(tmux.Text(4, 60, 67), "TilZ:-10");
  for (const Label& label : kInitialLabels) {
    EXPECT_EQ(tmux.Text(label.row, label.column,
                        label.column + static_cast<int>(std::string(label.text).size()) - 1),
              label.text);
  }

  tmux.Type("xxX");
  EXPECT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-81 "));
  tmux.Type("3");
  EXPECT_TRUE(tmux.WaitForTextAt(5, 60, "TilY: 1 "));

  tmux.Type("q");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 1, "Enter N for new coordinates, any other quit"));
  tmux.Type("n");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 1, "X -> Increment x    x -> Decrement x       "));
  EXPECT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
  EXPECT_TRUE(tmux.WaitForTextAt(5, 60, "TilY: 0 "));

  tmux.Type("Q");
  ASSERT_TRUE(tmux.WaitForText("Enter N for new coordinates"));
  tmux.Type("k");
  ASSERT_TRUE(tmux.WaitForText("END"));
  EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
  EXPECT_EQ(tmux.Format("#{cursor_flag}"), "1");
}

// Reads a label's cells off the pane.
std::string LabelAt(TmuxSession& tmux, const Label& label, int row, int column) {
  return tmux.Text(row, column, column + static_cast<int>(std::string(label.text).size()) - 1);
}

TEST(EndToEnd, LabelsFollowTheViewpointAndOnlyLabelsShowThroughThePicture) {
  TmuxSession tmux(102, 40);
  tmux.RunCommand(ProgramThenReport());
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForTextAt(28, 46, "pitcher"));

  // The observer down on the ground: every label on the row of the tilt alone.
  tmux.Type(std::string(50, 'z'));
  ASSERT_TRUE(tmux.WaitForTextAt(3, 60, "ObsZ: 0 "));
  const struct {
    int index;
    int column;
  } at_height_zero[] = {{3, 62}, {5, 39}, {6, 22}, {7, 49}, {8, 80}};  // the later labels, on top
  for (const auto& c : at_height_zero) {
    const Label& label = kInitialLabels[c.index];
    EXPECT_EQ(LabelAt(tmux, label, 16, c.column), label.text);
  }
  // Last turn's labels are under the picture again: none of their text shows.
  for (const Label& label : kInitialLabels) {
    EXPECT_NE(LabelAt(tmux, label, label.row, label.column), label.text) << label.text;
  }
  const auto screen = tmux.Screen();
  for (int row = 6; row <= 39; ++row) {
    EXPECT_EQ(screen[static_cast<std::size_t>(row - 1)].find("->"), std::string::npos) << row;
  }

  // A restart puts the viewpoint back and opens the holes at the first cells.
  tmux.Type("qn");
  ASSERT_TRUE(tmux.WaitForTextAt(3, 60, "ObsZ: 50 "));
  for (const Label& label : kInitialLabels) {
    EXPECT_TRUE(tmux.WaitForTextAt(label.row, label.column, label.text)) << label.text;
  }
  tmux.Type("Qx");
  EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
}

TEST(EndToEnd, CtrlLCleansWhatAnotherProgramWroteOverTheScreen) {
  TmuxSession tmux(102, 40);
  tmux.RunCommand(ProgramThenReport());
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForTextAt(28, 46, "pitcher"));
  const std::vector<std::string> before = tmux.Screen();

  // Another program writes straight to the terminal, over the picture.
  const std::string tty = tmux.Format("#{pane_tty}");
  ASSERT_EQ(std::system(("printf '\\033[20;30Hsomebody else wrote here\\n' >" + tty).c_str()), 0);
  ASSERT_TRUE(tmux.WaitForText("somebody else wrote here"));

  tmux.Press("C-l");
  ASSERT_TRUE(tmux.WaitForTextAt(28, 46, "pitcher"));
  for (int tries = 0; tries < 100 && tmux.Screen() != before; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(tmux.Screen(), before);
  EXPECT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 ")) << "Ctrl+L moves nothing";
  tmux.Type("Qx");
  EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
}

TEST(EndToEnd, KeysComeFromTheTerminalEvenWithStandardInputRedirected) {
  TmuxSession tmux(102, 40);
  tmux.RunCommand(ProgramThenReport(" </dev/null"));
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
  tmux.Type("Z");
  EXPECT_TRUE(tmux.WaitForTextAt(3, 60, "ObsZ: 51 "));
  tmux.Type("Qx");
  EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
}

TEST(EndToEnd, WithoutATerminalItSaysSoAndExitsOne) {
  const std::string command =
      "setsid -w " + ShellQuote(kBinary) + " </dev/null >/dev/null 2>&1; echo $?";
  FILE* pipe = ::popen(("setsid -w sh -c " + ShellQuote(command) + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[256] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  ::pclose(pipe);
  EXPECT_EQ(std::string(buffer, n), "1\n");
}

TEST(EndToEnd, CommandLinesAreAnsweredBeforeTouchingTheTerminal) {
  const struct {
    const char* arguments;
    int status;
    const char* text;
  } cases[] = {
      {"--help", 0, "Usage: vistamere"},
      {"--version", 0, "Vistamere 1.0"},
      {"--foo", 2, "unknown option '--foo'"},
      {"--colors=12", 2, "--colors takes truecolor, 256 or 16"},
      {"one.png two.png", 2, "only one picture"},
  };
  for (const auto& c : cases) {
    FILE* pipe = ::popen(
        (ShellQuote(kBinary) + " " + c.arguments + " </dev/null 2>&1; echo rc=$?").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    ::pclose(pipe);
    EXPECT_NE(output.find(c.text), std::string::npos) << c.arguments << ": " << output;
    EXPECT_NE(output.find("rc=" + std::to_string(c.status)), std::string::npos) << c.arguments;
  }
}

// A folder of pictures whose names the code page cannot show.
class PictureFolder {
 public:
  PictureFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("vistamere-e2e-names-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
    for (const char* name : {"\xe7\x8c\xab.png", "?uro.png"}) {
      std::filesystem::copy_file(std::filesystem::path(VISTAMERE_BMPSUITE) / "g" / "rgb24.bmp",
                                 path_ / name);
    }
  }
  ~PictureFolder() { std::filesystem::remove_all(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(EndToEnd, NamesOpenAsTypedCompletedOrGivenOnTheCommandLine) {
  const PictureFolder folder;
  const struct {
    const char* arguments;
    const char* keys;    // typed at the prompt, then Tab and Enter
    const char* notice;  // "" for the picture shown
  } cases[] = {
      {"\xe7\x8c\xab.png", "", ""},
      {"\xe2\x82\xacuro.png", "", "cannot show '?uro.png': no such file"},
      {"", "\xe7\x8c\xab", ""},  // Tab completes the name
      {"", "\xe2\x82\xacuro.png", "cannot show '?uro.png': no such file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.arguments) + c.keys);
    TmuxSession tmux(102, 40);
    tmux.RunCommand("cd " + ShellQuote(folder.path()) + "; " +
                    ProgramThenReport(*c.arguments ? " " + ShellQuote(c.arguments) : ""));
    if (*c.arguments == '\0') {
      ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
      tmux.Type(c.keys);
      tmux.Press("Tab");
      tmux.Press("Enter");
    }
    ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
    std::string screen;
    for (const std::string& row : tmux.Screen()) screen += row;
    if (*c.notice != '\0') {
      EXPECT_TRUE(tmux.WaitForText(c.notice));
    } else {
      EXPECT_EQ(screen.find("cannot show"), std::string::npos);
    }
    tmux.Type("Qx");
    EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
  }
}

TEST(EndToEnd, CtrlBackslashEndsTheProgramAtOnce) {
  for (const bool in_viewer : {false, true}) {
    SCOPED_TRACE(in_viewer ? "viewer" : "file prompt");
    TmuxSession tmux(102, 40);
    tmux.RunCommand(ProgramThenReport());
    ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
    if (in_viewer) {
      tmux.Press("Enter");
      ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
    }
    tmux.Press(ShellQuote("C-\\"));
    EXPECT_TRUE(tmux.WaitForText("EXIT=0 icanon echo END"));
    EXPECT_EQ(tmux.Format("#{cursor_flag}"), "1");
  }
}

}  // namespace
}  // namespace vistamere::testing
