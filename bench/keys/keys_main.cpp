// vistamere-keys PROGRAM [--keys N] [--idle-seconds S] [--starts N]
//                        [--colours truecolor|256] [--sixel | --kitty]
//                        [--picture FILE]
//
// With --sixel the pseudo-terminal answers as xterm -ti vt340 does (sixel
// graphics among its device attributes, 9 x 19 pixel cells), with --kitty
// as kitty does (its graphics query answered OK), so the picture goes out
// in pixels. --picture opens FILE at the prompt instead of the built-in
// picture.
// Runs the program in a 102 x 40 pseudo-terminal, takes the built-in
// picture at the file prompt, presses N viewpoint keys one after another
// (each once its frame has come) and prints what it measured: time to the
// prompt (median of several starts), bytes per key, CPU per turn, idle CPU, bytes for a key that
// changes nothing, how long bursts of keys take (a 100 KB paste at the
// prompt, 10,000 keys at once in the viewer), and whether each goal is met.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "bench/keys/key_sequence.h"
#include "bench/keys/key_stats.h"
#include "bench/keys/process_cpu.h"
#include "bench/keys/pty_session.h"
#include "tests/support/terminal_screen.h"

namespace vistamere::bench {
namespace {

constexpr char kSyncEnd[] = "\x1b[?2026l";

struct Options {
  std::string program;
  int keys = 200;
  double idle_seconds = 10;
  bool truecolor = true;
  int starts = 10;
  bool sixel = false;
  bool kitty = false;
  std::string picture;  // empty: the built-in one
};

// xterm -ti vt340's answer to the device attributes query, and its size in
// pixels at 102 x 40 cells of 9 x 19.
constexpr char kVt340Attributes[] = "\x1b[?63;1;2;4;6;9;15;16;22;28c";
constexpr int kVt340Width = 102 * 9;
constexpr int kVt340Height = 40 * 19;
// kitty's answers: its graphics query taken, then its device attributes.
constexpr char kKittyAttributes[] = "\x1b_Gi=31;OK\x1b\\\x1b[?62;c";

double MillisecondsSince(PtySession::Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(PtySession::Clock::now() - start).count();
}

// The frame a key brings: up to the end of the synchronized update, then
// whatever follows it at once (the cursor).
std::string ReadFrame(PtySession& pty) {
  std::string out;
  pty.ReadUntil(kSyncEnd, 2000, out);
  out += pty.ReadUntilQuiet(3, 200);
  return out;
}

void Goal(const char* what, bool met, const std::string& detail) {
  std::printf("  %-50s %-8s %s\n", what, met ? "met" : "NOT MET", detail.c_str());
}

std::string Format(const char* format, double a, double b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

struct StartTimes {
  double queries_ms = 0;  // the program's first bytes: its terminal queries
  double prompt_ms = 0;   // the file prompt on the screen
};

// Starts the program, answers its queries and waits for the file prompt.
StartTimes TimeStart(const std::string& program, const std::vector<std::string>& env) {
  PtySession pty({program}, env, 102, 40);
  std::string out;
  StartTimes times;
  pty.ReadUntil("\x1b[c", 3000, out);
  times.queries_ms = MillisecondsSince(pty.started());
  pty.ReadUntil("Enter file name", 3000, out);
  times.prompt_ms = MillisecondsSince(pty.started());
  return times;
}

// The same for a program that prints the prompt at once: what starting any
// process on a pseudo-terminal costs on this machine.
double TimeBaselineStart() {
  PtySession pty({"/bin/echo", "Enter file name"}, {}, 102, 40);
  std::string out;
  pty.ReadUntil("Enter file name", 3000, out);
  return MillisecondsSince(pty.started());
}

// A burst of keys, as a paste or a held key sends them: the milliseconds
// until the screen (as a terminal shows it) has `text` at the start of the
// status panel's first row, or -1.
double TimeBurst(PtySession& pty, term::testing::TerminalScreen& screen, const std::string& keys,
                 const std::string& text) {
  constexpr int kPanelColumn = 59;  // 0-based
  const auto start = PtySession::Clock::now();
  // Written in pieces, the screen read meanwhile, so that neither side waits
  // for the other.
  constexpr std::size_t kPiece = 1024;
  for (std::size_t at = 0; at < keys.size(); at += kPiece) {
    pty.Write(keys.substr(at, kPiece));
    screen.Feed(pty.Read(0));
  }
  const auto deadline = start + std::chrono::seconds(120);
  while (PtySession::Clock::now() < deadline) {
    if (screen.RowText(0).substr(kPanelColumn).starts_with(text)) return MillisecondsSince(start);
    screen.Feed(pty.Read(50));
  }
  return -1;
}

struct BurstTimes {
  double paste_ms = -1;  // 100 KB pasted at the file prompt, to the viewer's panel
  double keys_ms = -1;   // 10,000 viewpoint keys, to the panel's last value
};

BurstTimes TimeBursts(const std::string& program, const std::vector<std::string>& env) {
  BurstTimes times;
  PtySession pty({program}, env, 102, 40);
  term::testing::TerminalScreen screen(102, 40);
  std::string out;
  if (!pty.ReadUntil("Enter file name", 3000, out)) return times;
  screen.Feed(out);
  // A name longer than the line holds: the rest is neither stored nor shown.
  times.paste_ms = TimeBurst(pty, screen, std::string(100 * 1024, 'a') + "\r", "ObsX:-80 ");
  // Every key counts: ObsX goes from -80 up by one per key.
  times.keys_ms = TimeBurst(pty, screen, std::string(10000, 'X'), "ObsX: 9920 ");
  pty.Write("Qq");
  return times;
}

int Run(const Options& options) {
  std::vector<std::string> env = {"TERM=xterm-256color",
                                  options.truecolor ? "COLORTERM=truecolor" : "COLORTERM="};
  std::vector<double> queries_ms;
  std::vector<double> prompts_ms;
  std::vector<double> baseline_ms;
  for (int i = 0; i < options.starts; ++i) {
    const StartTimes times = TimeStart(options.program, env);
    queries_ms.push_back(times.queries_ms);
    prompts_ms.push_back(times.prompt_ms);
    baseline_ms.push_back(TimeBaselineStart());
  }
  const double prompt_ms = Median(prompts_ms);

  const char* attributes =
      options.sixel ? kVt340Attributes : (options.kitty ? kKittyAttributes : "\x1b[?62;c");
  const bool pixels = options.sixel || options.kitty;
  PtySession pty({options.program}, env, 102, 40, pixels ? kVt340Width : 0,
                 pixels ? kVt340Height : 0, attributes);

  std::string start_output;
  if (!pty.ReadUntil("Enter file name", 3000, start_output)) {
    std::fprintf(stderr, "vistamere-keys: no file prompt came\n");
    return 1;
  }
  const bool precise = ProcessCpuIsPrecise(pty.pid());
  start_output += pty.ReadUntilQuiet(5, 200);

  const auto enter_time = PtySession::Clock::now();
  pty.Write(options.picture + "\r");
  const std::string first_frame = ReadFrame(pty);
  const double first_frame_ms = MillisecondsSince(enter_time);
  const double first_frame_bytes = static_cast<double>(first_frame.size());

  std::vector<double> bytes;
  std::vector<double> cpu_ms;
  std::vector<double> wall_ms;
  std::vector<double> sleeps;
  std::vector<double> cpu_without_sleeps_ms;
  const double sleep_cpu_ms = SleepCpuSeconds(300) * 1000;
  const double cpu_before = ProcessCpuSeconds(pty.pid());
  for (const char key : KeySequence(options.keys)) {
    const double cpu0 = ProcessCpuSeconds(pty.pid());
    const long switches0 = VoluntarySwitches(pty.pid());
    const auto t0 = PtySession::Clock::now();
    pty.Write(std::string(1, key));
    const std::string frame = ReadFrame(pty);
    wall_ms.push_back(MillisecondsSince(t0));
    const double cpu = (ProcessCpuSeconds(pty.pid()) - cpu0) * 1000;
    // Every switch but the one of the wait for the next key is a sleep.
    const double turn_sleeps =
        std::max(0.0, static_cast<double>(VoluntarySwitches(pty.pid()) - switches0 - 1));
    cpu_ms.push_back(cpu);
    sleeps.push_back(turn_sleeps);
    cpu_without_sleeps_ms.push_back(std::max(0.0, cpu - turn_sleeps * sleep_cpu_ms));
    bytes.push_back(static_cast<double>(frame.size()));
  }
  const double cpu_per_turn_ms =
      (ProcessCpuSeconds(pty.pid()) - cpu_before) * 1000 / static_cast<double>(options.keys);

  // A key that changes nothing: wait well past its turn (the turn sleeps a
  // few milliseconds) for anything at all.
  double nothing_bytes = 0;
  for (int i = 0; i < 10; ++i) {
    pty.Write("a");
    nothing_bytes =
        std::max(nothing_bytes, static_cast<double>(pty.ReadUntilQuiet(100, 300).size()));
  }

  const double idle_cpu0 = ProcessCpuSeconds(pty.pid());
  std::this_thread::sleep_for(std::chrono::duration<double>(options.idle_seconds));
  const double idle_ms_per_s =
      (ProcessCpuSeconds(pty.pid()) - idle_cpu0) * 1000 / options.idle_seconds;

  const BurstTimes bursts = TimeBursts(options.program, env);

  pty.Write("Q");
  std::string quit_output;
  pty.ReadUntil("Enter N", 2000, quit_output);
  pty.Write("q");
  long max_rss_kib = 0;
  double total_cpu_s = 0;
  const int status = pty.Wait(3000, max_rss_kib, total_cpu_s);

  const double median_bytes = Median(bytes);
  std::printf("vistamere-keys: %s, %d keys, colours %s, %s, %s, CPU clock %s\n",
              options.program.c_str(), options.keys, options.truecolor ? "24-bit" : "256",
              options.sixel ? "sixel pixels" : (options.kitty ? "kitty pixels" : "cells"),
              options.picture.empty() ? "built-in picture" : options.picture.c_str(),
              precise ? "schedstat (ns)" : "stat (10 ms ticks)");
  std::printf(
      "  start to file prompt          median %.2f ms, min %.2f ms of %d starts (queries at "
      "%.2f ms; /bin/echo: %.2f ms)\n",
      prompt_ms, Minimum(prompts_ms), options.starts, Median(queries_ms), Median(baseline_ms));
  std::printf("  first frame (full repaint)    %8.0f bytes, %.1f ms after Enter\n",
              first_frame_bytes, first_frame_ms);
  std::printf("  bytes per viewpoint key       median %.0f, max %.0f, min %.0f\n", median_bytes,
              Maximum(bytes), Minimum(bytes));
  std::printf("  full repaint / median key     %8.1f\n",
              median_bytes > 0 ? first_frame_bytes / median_bytes : 0.0);
  std::printf("  CPU per turn, all             median %.3f ms, max %.3f ms, mean %.3f ms\n",
              Median(cpu_ms), Maximum(cpu_ms), cpu_per_turn_ms);
  std::printf(
      "  sleeps per turn               median %.0f, max %.0f; one 1 ms sleep costs %.3f ms CPU\n",
      Median(sleeps), Maximum(sleeps), sleep_cpu_ms);
  std::printf("  CPU per turn without sleeps   median %.3f ms, max %.3f ms\n",
              Median(cpu_without_sleeps_ms), Maximum(cpu_without_sleeps_ms));
  std::printf("  wall per key (with sleeps)    median %.2f ms, max %.2f ms\n", Median(wall_ms),
              Maximum(wall_ms));
  std::printf("  key that changes nothing      %8.0f bytes (max of 10)\n", nothing_bytes);
  std::printf("  idle CPU                      %8.4f ms per s over %.0f s\n", idle_ms_per_s,
              options.idle_seconds);
  std::printf("  100 KB pasted at the prompt   %8.0f ms to the viewer's panel\n", bursts.paste_ms);
  std::printf("  10,000 keys at once           %8.0f ms to the last key's panel\n", bursts.keys_ms);
  std::printf("  whole run                     %.3f s CPU, peak RSS %ld KiB, exit %d\n",
              total_cpu_s, max_rss_kib, status);
  std::printf("goals:\n");
  if (options.kitty) {
    Goal("bytes per viewpoint key in kitty pixels (median <= 2 KB)", median_bytes <= 2048,
         Format("%.0f bytes, 1/%.0f of the full repaint", median_bytes,
                median_bytes > 0 ? first_frame_bytes / median_bytes : 0.0));
  } else if (options.sixel) {
    Goal("bytes per viewpoint key in sixel pixels (median <= 20 KB)", median_bytes <= 20480,
         Format("%.0f bytes, 1/%.0f of the full repaint", median_bytes,
                median_bytes > 0 ? first_frame_bytes / median_bytes : 0.0));
  } else if (options.truecolor) {
    Goal("bytes per viewpoint key (median <= 2400)", median_bytes <= 2400,
         Format("%.0f bytes, 1/%.0f of the full repaint", median_bytes,
                median_bytes > 0 ? first_frame_bytes / median_bytes : 0.0));
  }
  Goal("key that changes nothing writes nothing", nothing_bytes == 0,
       Format("%.0f bytes", nothing_bytes));
  Goal("CPU per turn without sleeps (median <= 0.3 ms)", Median(cpu_without_sleeps_ms) <= 0.3,
       Format("%.3f ms (%.3f ms with the sleeps' own CPU)", Median(cpu_without_sleeps_ms),
              Median(cpu_ms)));
  Goal("idle CPU (< 1 ms per s)", idle_ms_per_s < 1, Format("%.4f ms/s", idle_ms_per_s));
  Goal("start to file prompt (< 10 ms)", prompt_ms < 10, Format("%.2f ms", prompt_ms));
  Goal("100 KB paste at the prompt (< 1 s)", bursts.paste_ms >= 0 && bursts.paste_ms < 1000,
       Format("%.0f ms", bursts.paste_ms));
  Goal("10,000 viewpoint keys at once, all applied (< 1 s)",
       bursts.keys_ms >= 0 && bursts.keys_ms < 1000, Format("%.0f ms", bursts.keys_ms));
  return status == 0 ? 0 : 1;
}

}  // namespace
}  // namespace vistamere::bench

int main(int argc, char** argv) {
  vistamere::bench::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--keys" && i + 1 < argc) {
      options.keys = std::atoi(argv[++i]);
    } else if (arg == "--idle-seconds" && i + 1 < argc) {
      options.idle_seconds = std::atof(argv[++i]);
    } else if (arg == "--starts" && i + 1 < argc) {
      options.starts = std::atoi(argv[++i]);
    } else if (arg == "--colours" && i + 1 < argc) {
      options.truecolor = std::strcmp(argv[++i], "256") != 0;
    } else if (arg == "--sixel") {
      options.sixel = true;
    } else if (arg == "--kitty") {
      options.kitty = true;
    } else if (arg == "--picture" && i + 1 < argc) {
      options.picture = argv[++i];
    } else if (options.program.empty() && arg[0] != '-') {
      options.program = arg;
    } else {
      options.program.clear();
      break;
    }
  }
  if (options.program.empty() || options.keys < 1 || options.starts < 1 ||
      options.idle_seconds <= 0) {
    std::fputs(
        "usage: vistamere-keys PROGRAM [--keys N] [--idle-seconds S] [--starts N]\n"
        "                      [--colours truecolor|256] [--sixel | --kitty] [--picture FILE]\n",
        stderr);
    return 2;
  }
  try {
    return vistamere::bench::Run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vistamere-keys: %s\n", e.what());
    return 1;
  }
}
