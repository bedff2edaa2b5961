// Every signal whose default action ends a process, sent from outside while
// the program waits in the file prompt, waits for a key, or loads a large
// picture: it ends at once with that signal's status (QUIT without a core
// dump), and the shell gets back a cooked terminal with the cursor shown.
#include <gtest/gtest.h>
#include <signal.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "big_picture.h"
#include "program_process.h"
#include "tmux_session.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

enum class Moment { kFilePrompt, kKeyWait, kLoading };

struct SignalCase {
  std::string label;
  int signal_number;
  Moment moment;
};
void PrintTo(const SignalCase& test, std::ostream* out) {
  *out << test.label;
}

// The report line shows how the program ended and the terminal's line
// discipline after it. A QUIT must not leave a core (it would land in the
// current folder); other signals whose default is a core may. The shell
// traps INT so that a program ended by INT does not cut its command line
// short before the report.
std::string ProgramThenReport(int signal_number) {
  const char* cores = signal_number == SIGQUIT ? "unlimited" : "0";
  return std::string("trap : INT; ulimit -c ") + cores + "; clear; " + ShellQuote(kBinary) +
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

struct NamedSignal {
  const char* name;
  int number;
};

// Sent with kill, so the faults among them arrive as any other signal.
const NamedSignal kEndingSignals[] = {
    {"term", SIGTERM}, {"hup", SIGHUP},       {"int", SIGINT},     {"quit", SIGQUIT},
    {"usr1", SIGUSR1}, {"usr2", SIGUSR2},     {"alrm", SIGALRM},   {"vtalrm", SIGVTALRM},
    {"prof", SIGPROF}, {"xcpu", SIGXCPU},     {"xfsz", SIGXFSZ},   {"pwr", SIGPWR},
    {"io", SIGIO},     {"stkflt", SIGSTKFLT}, {"sys", SIGSYS},     {"trap", SIGTRAP},
    {"abrt", SIGABRT}, {"segv", SIGSEGV},     {"bus", SIGBUS},     {"fpe", SIGFPE},
    {"ill", SIGILL},   {"rtmin", SIGRTMIN},   {"rtmax", SIGRTMAX},
};

std::vector<SignalCase> AllCases() {
  const std::pair<const char*, Moment> moments[] = {
      {"in_file_prompt", Moment::kFilePrompt},
      {"in_key_wait", Moment::kKeyWait},
      {"while_loading", Moment::kLoading},
  };
  std::vector<SignalCase> cases;
  for (const NamedSignal& named : kEndingSignals) {
    for (const auto& [moment_name, moment] : moments) {
      cases.push_back({std::string(named.name) + "_" + moment_name, named.number, moment});
    }
  }
  return cases;
}

class Signals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(Signals, EndTheProgramAndGiveTheTerminalBack) {
  const SignalCase& test = GetParam();
  BigPicture();  // made before the clock of any wait starts
  TmuxSession tmux(102, 40);
  tmux.RunCommand("cd " + ShellQuote(VISTAMERE_FAULTS_SCRATCH) + "; " +
                  ProgramThenReport(test.signal_number));
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

INSTANTIATE_TEST_SUITE_P(Moments, Signals, ::testing::ValuesIn(AllCases()),
                         [](const auto& test) { return test.param.label; });

}  // namespace
}  // namespace vistamere::testing
