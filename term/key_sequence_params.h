// The parameters of a control sequence: numbers separated by ';', each with
// optional sub-parameters after ':' (CSI 97:65;2:3 u). Missing numbers read as 0.
#pragma once

#include <cstdint>
#include <span>

namespace vistamere::term {

class SequenceParams {
 public:
  static constexpr int kMaxParams = 8;
  static constexpr int kMaxSubParams = 4;

  // Parses the parameter bytes (0x30-0x3F) after any private marker. Bytes
  // other than digits and separators, and parameters beyond the limits, are ignored.
  [[nodiscard]] static SequenceParams Parse(std::span<const std::uint8_t> bytes);

  int count() const { return count_; }
  [[nodiscard]] int Get(int index, int sub = 0) const;

 private:
  int values_[kMaxParams][kMaxSubParams] = {};
  int count_ = 0;
};

}  // namespace vistamere::term
