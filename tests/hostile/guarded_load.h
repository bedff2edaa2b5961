// LoadPictureFile in a forked child under a memory limit and an alarm: how
// the child ended tells a clean outcome from a crash, a hang or a runaway
// allocation.
#pragma once

#include <string>

#include "picture/decode.h"

namespace vistamere::picture::testing {

struct GuardedLoad {
  bool ended_cleanly = false;  // the child returned from the load and exited 0
  std::string how;             // otherwise: "killed by signal 6", "exit status 1", ...
  DecodeStatus status = DecodeStatus::kFailed;
  std::string reason;
  double seconds = 0;
};

// Address space the load may add to what the child already has.
inline constexpr long kLoadMemoryBudget = 256L << 20;
// Seconds before the alarm ends a load that hangs.
inline constexpr unsigned kLoadAlarmSeconds = 10;

GuardedLoad LoadGuarded(const std::string& path);

// A printable description of a status and reason, for failure messages.
std::string Describe(const GuardedLoad& load);

}  // namespace vistamere::picture::testing
