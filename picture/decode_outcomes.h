// The outcomes and reasons every decoder reports the same way.
#pragma once

#include <cstdint>
#include <string>

#include "picture/decode.h"

namespace vistamere::picture {

// "picture too large (W x H)"
std::string TooLargeReason(std::uint64_t width, std::uint64_t height);
[[nodiscard]] DecodeOutcome TooLargeOutcome(std::uint64_t width, std::uint64_t height);

// "too large to decode (N MiB)": the picture's size is allowed, but decoding
// it this way would take more than `limit_bytes` of memory.
[[nodiscard]] DecodeOutcome TooLargeToDecodeOutcome(std::uint64_t limit_bytes);

// Data that ended early reads "truncated FORMAT data", anything else
// "corrupt FORMAT data"; a picture that delivered some pixels is truncated,
// one that delivered none has failed.
[[nodiscard]] DecodeOutcome DamagedOutcome(const char* format, bool data_ended,
                                           bool anything_delivered);

}  // namespace vistamere::picture
