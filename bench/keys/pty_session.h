// A child program on a pseudo-terminal of a given size: its output read with
// time limits, keys written to it, and the terminal queries it sends at
// start answered at once, as a fast terminal would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vistamere::bench {

class PtySession {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts `argv[0]` with `env` added to the environment; throws on failure.
  // The terminal says it is `pixel_width` x `pixel_height` pixels large (0:
  // it does not say) and answers the device attributes query with
  // `device_attributes`.
  PtySession(const std::vector<std::string>& argv, const std::vector<std::string>& env, int columns,
             int rows, int pixel_width = 0, int pixel_height = 0,
             std::string device_attributes = "\x1b[?62;c");
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  pid_t pid() const { return pid_; }
  // The terminal's controlling side; its settings are the program's terminal's.
  int master() const { return master_; }
  Clock::time_point started() const { return started_; }

  void Write(const std::string& bytes);
  // Reads what is there, waiting at most `timeout_ms` for the first byte;
  // answers queries; returns the bytes read (empty: none came in time).
  std::string Read(int timeout_ms);
  // Reads until `marker` has come (true) or `timeout_ms` has passed (false);
  // everything read is appended to `out`.
  bool ReadUntil(const std::string& marker, int timeout_ms, std::string& out);
  // Reads until nothing more comes for `quiet_ms`; returns what came.
  std::string ReadUntilQuiet(int quiet_ms, int limit_ms);

  // Waits for the child to end; its resource use goes into the arguments.
  // Returns the exit status or -1.
  int Wait(int timeout_ms, long& max_rss_kib, double& cpu_seconds);

 private:
  void AnswerQueries(const std::string& chunk);

  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  Clock::time_point started_;
  std::string device_attributes_;
  std::string query_tail_;  // the end of the last chunk, for queries split across reads
};

}  // namespace vistamere::bench
