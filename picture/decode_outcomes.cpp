#include "picture/decode_outcomes.h"

namespace vistamere::picture {

std::string TooLargeReason(std::uint64_t width, std::uint64_t height) {
  return "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

DecodeOutcome TooLargeOutcome(std::uint64_t width, std::uint64_t height) {
  DecodeOutcome outcome;
  outcome.status = DecodeStatus::kFailed;
  outcome.reason = TooLargeReason(width, height);
  return outcome;
}

DecodeOutcome TooLargeToDecodeOutcome(std::uint64_t limit_bytes) {
  DecodeOutcome outcome;
  outcome.status = DecodeStatus::kFailed;
  outcome.reason = "too large to decode (" + std::to_string(limit_bytes >> 20) + " MiB)";
  return outcome;
}

DecodeOutcome DamagedOutcome(const char* format, bool data_ended, bool anything_delivered) {
  DecodeOutcome outcome;
  outcome.status = anything_delivered ? DecodeStatus::kTruncated : DecodeStatus::kFailed;
  outcome.reason = std::string(data_ended ? "truncated " : "corrupt ") + format + " data";
  return outcome;
}

}  // namespace vistamere::picture
