// What a hostile file may do to a load, and the check of a guarded load
// against it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "guarded_load.h"

namespace vistamere::picture::testing {

enum class Expect {
  kClean,     // anything but a crash, hang or runaway allocation
  kNotShown,  // clean failure: nothing shown, for the reason expected
  kPart,      // clean, shown in part, for the reason expected
  kShown,     // loads fully
};

// `reason`: the reason a load that is not fully shown gives, or a phrase of
// it ("picture too large ("); every kNotShown and kPart case names one.
inline void CheckLoad(const GuardedLoad& load, Expect expect, const std::string& reason = {}) {
  ASSERT_TRUE(load.ended_cleanly) << Describe(load);
  if (load.status != DecodeStatus::kOk) {
    EXPECT_FALSE(load.reason.empty()) << Describe(load);
    for (const char c : load.reason) {
      EXPECT_GE(static_cast<unsigned char>(c), 0x20) << Describe(load);
    }
  }
  switch (expect) {
    case Expect::kClean:
      return;
    case Expect::kNotShown:
      EXPECT_EQ(load.status, DecodeStatus::kFailed) << Describe(load);
      break;
    case Expect::kPart:
      EXPECT_EQ(load.status, DecodeStatus::kTruncated) << Describe(load);
      break;
    case Expect::kShown:
      EXPECT_EQ(load.status, DecodeStatus::kOk) << Describe(load);
      return;
  }
  ASSERT_FALSE(reason.empty()) << "the case names no reason";
  EXPECT_NE(load.reason.find(reason), std::string::npos)
      << Describe(load) << "; expected '" << reason << "'";
}

}  // namespace vistamere::picture::testing
