// The user's control over a running program: stopped from outside
// (SIGTSTP) in each of its waits and brought back with the shell's fg (while
// stopped the terminal is the shell's: cooked, echo, cursor shown; back, the
// same screen), and a long load stopped with Esc.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "big_picture.h"
#include "program_process.h"
#include "tmux_session.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

// What stty says of a terminal device.
std::string TerminalModes(const std::string& device) {
  FILE* pipe = ::popen(("stty -a -F " + ShellQuote(device) + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "";
  std::string out;
  char buffer[512];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

struct Wait {
  const char* name;
  const char* keys_after_prompt;  // \r is Enter
  const char* shown;              // on the screen once there
  const char* keys_to_end;
};

const Wait kWaits[] = {
    {"file prompt", "half", "Enter file name: half", "\rQx"},
    {"viewer", "\rxxZ", "ObsZ: 51", "Qx"},
    {"quit prompt", "\rQ", "Enter N for new coordinates", "x"},
};

void Press(TmuxSession& tmux, const std::string& keys) {
  for (const char key : keys) {
    if (key == '\r') {
      tmux.Press("Enter");
    } else {
      tmux.Type(std::string(1, key));
    }
  }
}

TEST(JobControl, StopAndContinueInEachWait) {
  for (const Wait& wait : kWaits) {
    SCOPED_TRACE(wait.name);
    TmuxSession tmux(102, 40);
    // A shell without line editing leaves the terminal's modes as the
    // program gave them back.
    tmux.RunCommand("exec bash --norc --noprofile --noediting");
    tmux.RunCommand("clear; " + ShellQuote(kBinary));
    ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
    Press(tmux, wait.keys_after_prompt);
    ASSERT_TRUE(tmux.WaitForText(wait.shown));
    const std::vector<std::string> before = tmux.Screen();
    const int pid = ProgramPid(tmux, kBinary);
    ASSERT_GT(pid, 0);

    ASSERT_EQ(::kill(pid, SIGTSTP), 0);
    ASSERT_TRUE(tmux.WaitForText("Stopped"));
    const std::string modes = TerminalModes(tmux.Format("#{pane_tty}"));
    EXPECT_NE(modes.find(" icanon"), std::string::npos) << modes;
    EXPECT_NE(modes.find(" echo "), std::string::npos) << modes;
    EXPECT_EQ(tmux.Format("#{cursor_flag}"), "1");

    // The shell's fg brings it back and then says how it ended.
    tmux.RunCommand("fg; echo \"FG=$?END\"");
    for (int tries = 0; tries < 100 && tmux.Screen() != before; ++tries) {
      tmux.WaitForText(wait.shown, 0.05);
    }
    EXPECT_EQ(tmux.Screen(), before);
    Press(tmux, wait.keys_to_end);
    EXPECT_TRUE(tmux.WaitForText("FG=0END"));
  }
}

TEST(LoadCancel, EscStopsALongLoadAndTheProgramGoesOn) {
  const std::string picture = BigPicture();  // made before any wait starts
  TmuxSession tmux(102, 40);
  tmux.RunCommand("clear; " + ShellQuote(kBinary) + "; echo \"EXIT=$?END\"");
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Type(picture);
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForText("Loading ", 20.0));
  tmux.Type("X");  // waits for the viewer
  tmux.Press("Escape");
  EXPECT_TRUE(tmux.WaitForText("' cancelled", 5.0));
  EXPECT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-79"));
  tmux.Type("Qx");
  EXPECT_TRUE(tmux.WaitForText("EXIT=0END"));
}

}  // namespace
}  // namespace vistamere::testing
