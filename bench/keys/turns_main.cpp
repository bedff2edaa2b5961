// vistamere-turns [--keys N] [--colours truecolor|256] COMMAND [ARG...]
//
// Runs COMMAND (the program, or a profiler with the program and its
// arguments: valgrind, strace) in a 102 x 40 pseudo-terminal, takes the
// built-in picture at the file prompt, presses N viewpoint keys one after
// another, each once its frame has come (the same keys as vistamere-keys),
// and quits with Q and q. Nothing is measured here: two runs with different
// N, under callgrind or strace, give what one turn costs by their
// difference (turn_profile.sh). Waits are long enough for a program under
// valgrind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "bench/keys/key_sequence.h"
#include "bench/keys/pty_session.h"

namespace vistamere::bench {
namespace {

constexpr char kSyncEnd[] = "\x1b[?2026l";
constexpr int kStartTimeoutMs = 60000;
constexpr int kFrameTimeoutMs = 20000;

int Run(int keys, bool truecolor, const std::vector<std::string>& command) {
  const std::vector<std::string> env = {"TERM=xterm-256color",
                                        truecolor ? "COLORTERM=truecolor" : "COLORTERM="};
  PtySession pty(command, env, 102, 40);
  std::string out;
  if (!pty.ReadUntil("Enter file name", kStartTimeoutMs, out)) {
    std::fprintf(stderr, "vistamere-turns: no file prompt came\n");
    return 1;
  }
  pty.ReadUntilQuiet(50, 1000);
  pty.Write("\r");
  out.clear();
  if (!pty.ReadUntil(kSyncEnd, kStartTimeoutMs, out)) {
    std::fprintf(stderr, "vistamere-turns: no first frame came\n");
    return 1;
  }
  pty.ReadUntilQuiet(20, 1000);
  int frames = 0;
  for (const char key : KeySequence(keys)) {
    pty.Write(std::string(1, key));
    out.clear();
    if (pty.ReadUntil(kSyncEnd, kFrameTimeoutMs, out)) ++frames;
    out += pty.ReadUntilQuiet(5, 1000);
  }
  pty.Write("Q");
  out.clear();
  pty.ReadUntil("Enter N", kFrameTimeoutMs, out);
  pty.Write("q");
  long max_rss_kib = 0;
  double cpu_seconds = 0;
  const int status = pty.Wait(kStartTimeoutMs, max_rss_kib, cpu_seconds);
  std::fprintf(stderr, "vistamere-turns: %d keys, %d frames, exit %d\n", keys, frames, status);
  return status == 0 && frames == keys ? 0 : 1;
}

}  // namespace
}  // namespace vistamere::bench

int main(int argc, char** argv) {
  int keys = 200;
  bool truecolor = true;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (std::strcmp(argv[i], "--keys") == 0 && i + 1 < argc) {
      keys = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--colours") == 0 && i + 1 < argc) {
      truecolor = std::strcmp(argv[++i], "256") != 0;
    } else {
      i = argc;
    }
  }
  if (i >= argc || keys < 0) {
    std::fputs("usage: vistamere-turns [--keys N] [--colours truecolor|256] COMMAND [ARG...]\n",
               stderr);
    return 2;
  }
  try {
    return vistamere::bench::Run(keys, truecolor, std::vector<std::string>(argv + i, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vistamere-turns: %s\n", e.what());
    return 1;
  }
}
