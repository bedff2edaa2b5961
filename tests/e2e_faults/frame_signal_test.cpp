// TERM, HUP, INT and QUIT while the program is in the middle of writing a
// large frame (the terminal is not read, so the write blocks part way, most
// likely inside an escape sequence): the program ends as the signal asks,
// and the terminal is usable again. Cooked mode, the cursor shown, default
// colours, and the shell's next line starts clean in column 1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "bench/keys/pty_session.h"
#include "tests/support/terminal_screen.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

// Whether the process's main thread waits inside write(2).
bool BlockedInWrite(pid_t pid) {
  std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
  long number = -1;
  return static_cast<bool>(syscall >> number) && number == SYS_write;
}

struct SignalCase {
  const char* name;
  int signal_number;
};

class SignalDuringAFrame : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalDuringAFrame, LeavesAUsableTerminal) {
  const SignalCase& test = GetParam();
  bench::PtySession pty({kBinary}, {"COLORTERM=truecolor"}, 102, 40);
  std::string out;
  ASSERT_TRUE(pty.ReadUntil("Enter file name: ", 10000, out));
  // The built-in picture in 24-bit colour: tens of kilobytes, more than the
  // terminal holds unread.
  pty.Write("\r");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!BlockedInWrite(pty.pid()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(BlockedInWrite(pty.pid()));

  ASSERT_EQ(::kill(pty.pid(), test.signal_number), 0);
  out += pty.ReadUntilQuiet(500, 10000);
  int status = 0;
  ASSERT_EQ(::waitpid(pty.pid(), &status, 0), pty.pid());
  if (test.signal_number == SIGQUIT) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGQUIT) << status;
  } else {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == test.signal_number) << status;
  }

  termios modes{};
  ASSERT_EQ(::tcgetattr(pty.master(), &modes), 0);
  EXPECT_NE(modes.c_lflag & ICANON, 0u);
  EXPECT_NE(modes.c_lflag & ECHO, 0u);

  term::testing::TerminalScreen screen(102, 40);
  screen.Feed(out);
  screen.Feed("$ prompt");
  const int row = screen.cursor_row();
  EXPECT_TRUE(screen.RowText(row).starts_with("$ prompt ")) << screen.RowText(row);
  EXPECT_TRUE(screen.ForegroundIs(0, row, term::Colour::Default()));
  EXPECT_TRUE(screen.BackgroundIs(0, row, term::Colour::Default()));
  EXPECT_TRUE(screen.cursor_visible());
}

// Nobody reads the terminal at all: the program still ends at once, with the
// terminal's modes given back.
TEST(SignalWithOutputBlocked, EndsWithinASecondWithTheModesGivenBack) {
  bench::PtySession pty({kBinary}, {"COLORTERM=truecolor"}, 102, 40);
  std::string out;
  ASSERT_TRUE(pty.ReadUntil("Enter file name: ", 10000, out));
  pty.Write("\r");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!BlockedInWrite(pty.pid()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(BlockedInWrite(pty.pid()));

  ASSERT_EQ(::kill(pty.pid(), SIGTERM), 0);
  const auto signalled = std::chrono::steady_clock::now();
  int status = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(pty.pid(), &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(1)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(ended, pty.pid()) << "still running a second after TERM";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  termios modes{};
  ASSERT_EQ(::tcgetattr(pty.master(), &modes), 0);
  EXPECT_NE(modes.c_lflag & ICANON, 0u);
  EXPECT_NE(modes.c_lflag & ECHO, 0u);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringAFrame,
                         ::testing::Values(SignalCase{"TERM", SIGTERM}, SignalCase{"HUP", SIGHUP},
                                           SignalCase{"INT", SIGINT}, SignalCase{"QUIT", SIGQUIT}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace vistamere::testing
