// TERM, HUP and QUIT from outside while the program waits in the file
// prompt, waits for a key, or loads a large picture: it ends at once, with
// no core dump, and the shell gets back a cooked terminal with the cursor
// shown.
#include <gtest/gtest.h>
#include <signal.h>

#include <ostream>
#include <string>

#include "big_picture.h"
#include "program_process.h"
#include "tmux_session.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

enum class Moment { kFilePrompt, kKeyWait, kLoading };

struct SignalCase {
  const char* label;
  int signal_number;
  Moment moment;
};

void PrintTo(const SignalCase& test, std::ostream* out) {
  *out << test.label;
}

// Cores would land in the current folder; the report line shows how the
// program ended and the terminal's line discipline after it.
std::string ProgramThenReport() {
  return "ulimit -c unlimited; clear; " + ShellQuote(kBinary) +
         "; echo \"EXIT=$? $(stty -a | grep -o -- '-\\?icanon') $(stty -a | grep -o -- "
         "'-\\?echo ')END\"";
}

// Brings the program to `moment`; false if it never got there.
bool Reach(TmuxSession& tmux, Moment moment) {
  if (!tmux.WaitForText("Enter file name: ")) return false;
  switch (moment) {
    case Moment::kFilePrompt:
      tmux.Type("half typed");
      return tmux.WaitForText("Enter file name: half typed");
    case Moment::kKeyWait:
      tmux.Press("Enter");
      return tmux.WaitForTextAt(1, 60, "ObsX:-80 ");
    case Moment::kLoading:
      tmux.Type(BigPicture());
      tmux.Press("Enter");
      return tmux.WaitForText("Loading ", 20.0);
  }
  return false;
}

const SignalCase kCases[] = {
    {"term_in_file_prompt", SIGTERM, Moment::kFilePrompt},
    {"hup_in_file_prompt", SIGHUP, Moment::kFilePrompt},
    {"quit_in_file_prompt", SIGQUIT, Moment::kFilePrompt},
    {"term_in_key_wait", SIGTERM, Moment::kKeyWait},
    {"hup_in_key_wait", SIGHUP, Moment::kKeyWait},
    {"quit_in_key_wait", SIGQUIT, Moment::kKeyWait},
    {"term_while_loading", SIGTERM, Moment::kLoading},
    {"hup_while_loading", SIGHUP, Moment::kLoading},
    {"quit_while_loading", SIGQUIT, Moment::kLoading},
};

class Signals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(Signals, EndTheProgramAndGiveTheTerminalBack) {
  const SignalCase& test = GetParam();
  BigPicture();  // made before the clock of any wait starts
  TmuxSession tmux(102, 40);
  tmux.RunCommand("cd " + ShellQuote(VISTAMERE_FAULTS_SCRATCH) + "; " + ProgramThenReport());
  ASSERT_TRUE(Reach(tmux, test.moment));
  const int pid = ProgramPid(tmux, kBinary);
  ASSERT_GT(pid, 0);

  ASSERT_EQ(::kill(pid, test.signal_number), 0);
  EXPECT_TRUE(ProcessGone(pid, 5.0));
  const std::string report =
      "EXIT=" + std::to_string(128 + test.signal_number) + " icanon echo END";
  EXPECT_TRUE(tmux.WaitForText(report, 5.0)) << "expected: " << report;
  for (const std::string& row : tmux.Screen()) {
    EXPECT_EQ(row.find("core dumped"), std::string::npos) << row;
  }
  EXPECT_EQ(tmux.Format("#{cursor_flag}"), "1");
}

INSTANTIATE_TEST_SUITE_P(Moments, Signals, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::testing
