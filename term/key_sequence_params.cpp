#include "term/key_sequence_params.h"

namespace vistamere::term {
namespace {
// Numbers saturate here; no key or report uses anything near it.
constexpr int kLargestValue = 10'000'000;
}  // namespace

SequenceParams SequenceParams::Parse(std::span<const std::uint8_t> bytes) {
  SequenceParams params;
  if (bytes.empty()) return params;
  int index = 0;
  int sub = 0;
  for (const std::uint8_t byte : bytes) {
    if (byte == ';') {
      ++index;
      sub = 0;
    } else if (byte == ':') {
      ++sub;
    } else if (byte >= '0' && byte <= '9' && index < kMaxParams && sub < kMaxSubParams) {
      int& value = params.values_[index][sub];
      value = value >= kLargestValue ? kLargestValue : value * 10 + (byte - '0');
    }
  }
  params.count_ = index + 1 < kMaxParams ? index + 1 : kMaxParams;
  return params;
}

int SequenceParams::Get(int index, int sub) const {
  if (index < 0 || index >= count_ || sub < 0 || sub >= kMaxSubParams) return 0;
  return values_[index][sub];
}

}  // namespace vistamere::term
