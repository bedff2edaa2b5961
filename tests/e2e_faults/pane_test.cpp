// The pane itself changing under the program: killed outright, or made
// smaller than the screen and large again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "program_process.h"
#include "tmux_session.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;

TEST(Pane, KilledPaneEndsTheProgramWithoutACore) {
  const std::filesystem::path folder =
      std::filesystem::path(VISTAMERE_FAULTS_SCRATCH) / ("kill-pane-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  TmuxSession tmux(102, 40);
  tmux.RunCommand("cd " + ShellQuote(folder.string()) + "; ulimit -c unlimited; " +
                  ShellQuote(kBinary));
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
  const int pid = ProgramPid(tmux, kBinary);
  ASSERT_GT(pid, 0);

  tmux.Tmux("kill-pane -t main");
  EXPECT_TRUE(ProcessGone(pid, 5.0));
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    ADD_FAILURE() << "left behind: " << entry.path().filename();
  }
  std::filesystem::remove_all(folder);
}

TEST(Pane, TooSmallShowsTheNoticeAndFullSizeTheSameScreenAgain) {
  TmuxSession tmux(102, 40);
  tmux.RunCommand("clear; " + ShellQuote(kBinary) + "; echo \"EXIT=$?END\"");
  ASSERT_TRUE(tmux.WaitForText("Enter file name: "));
  tmux.Press("Enter");
  ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-80 "));
  tmux.Type("xxZ3");
  ASSERT_TRUE(tmux.WaitForTextAt(5, 60, "TilY: 1 "));
  const std::vector<std::string> before = tmux.Screen();

  tmux.Resize(90, 30);
  EXPECT_TRUE(tmux.WaitForText("needs a terminal of at least 102 x 40"));
  EXPECT_TRUE(tmux.WaitForText("this one is 90 x 30"));
  tmux.Resize(101, 40);  // one column short is still too small
  EXPECT_TRUE(tmux.WaitForText("this one is 101 x 40"));

  tmux.Resize(102, 40);
  ASSERT_TRUE(tmux.WaitForTextAt(1, 60, "ObsX:-82 "));
  EXPECT_TRUE(tmux.WaitForTextAt(3, 60, "ObsZ: 51 "));
  EXPECT_TRUE(tmux.WaitForTextAt(5, 60, "TilY: 1 "));
  EXPECT_EQ(tmux.Screen(), before);

  tmux.Type("Qk");
  EXPECT_TRUE(tmux.WaitForText("EXIT=0END"));
}

}  // namespace
}  // namespace vistamere::testing
