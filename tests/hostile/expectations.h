// What a hostile file may do to a load, and the check of a guarded load
// against it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "guarded_load.h"

namespace vistamere::picture::testing {

enum class Expect {
  kClean,     // anything but a crash, hang or runaway allocation
  kNotShown,  // clean, and not fully shown: a reason is given
  kRefused,   // clean failure naming the size ("picture too large ...")
  kShown,     // loads fully
};

inline void CheckLoad(const GuardedLoad& load, Expect expect) {
  ASSERT_TRUE(load.ended_cleanly) << Describe(load);
  if (load.status != DecodeStatus::kOk) {
    EXPECT_FALSE(load.reason.empty()) << Describe(load);
    for (const char c : load.reason) {
      EXPECT_GE(static_cast<unsigned char>(c), 0x20) << Describe(load);
    }
  }
  switch (expect) {
    case Expect::kClean:
      break;
    case Expect::kNotShown:
      EXPECT_NE(load.status, DecodeStatus::kOk) << Describe(load);
      break;
    case Expect::kRefused:
      EXPECT_EQ(load.status, DecodeStatus::kFailed) << Describe(load);
      EXPECT_NE(load.reason.find("too large"), std::string::npos) << Describe(load);
      break;
    case Expect::kShown:
      EXPECT_EQ(load.status, DecodeStatus::kOk) << Describe(load);
      break;
  }
}

}  // namespace vistamere::picture::testing
