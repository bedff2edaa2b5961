#include "bench/keys/process_cpu.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vistamere::bench {
namespace {

// First field of /proc/PID/schedstat: time spent on the CPU, in nanoseconds.
double SchedstatSeconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/schedstat");
  unsigned long long nanoseconds = 0;
  if (!(file >> nanoseconds)) return -1;
  return static_cast<double>(nanoseconds) / 1e9;
}

// utime and stime, fields 14 and 15 of /proc/PID/stat, in clock ticks.
double StatSeconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(file, line)) return -1;
  const std::size_t after_name = line.rfind(')');
  if (after_name == std::string::npos) return -1;
  std::istringstream fields(line.substr(after_name + 2));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  // Fields from the third (state) on; utime is the 14th overall.
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index == 14) utime = std::stoull(field);
    if (index == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

double ProcessCpuSeconds(pid_t pid) {
  const double precise = SchedstatSeconds(pid);
  return precise >= 0 ? precise : StatSeconds(pid);
}

bool ProcessCpuIsPrecise(pid_t pid) {
  return SchedstatSeconds(pid) >= 0;
}

long VoluntarySwitches(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  const std::string key = "voluntary_ctxt_switches:";
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
  }
  return -1;
}

double SleepCpuSeconds(int samples) {
  const auto thread_cpu = [] {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  };
  const double before = thread_cpu();
  for (int i = 0; i < samples; ++i) {
    timespec one_ms{0, 1000000};
    ::nanosleep(&one_ms, nullptr);
  }
  return (thread_cpu() - before) / samples;
}

}  // namespace vistamere::bench
