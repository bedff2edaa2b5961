// Reading one JPEG Huffman table's codes: the symbol of any code up to
// kLookaheadBits long comes straight from a table indexed by the next bits;
// longer codes go through the canonical code's per-length bounds.
#pragma once

#include <array>
#include <cstdint>

#include "picture/jpeg_dc_scan.h"

namespace vistamere::picture {

inline constexpr int kLookaheadBits = 11;

class HuffmanLookup {
 public:
  // False when the counts do not describe a prefix code.
  [[nodiscard]] bool Build(const HuffmanCodes& codes);

  // For the next kLookaheadBits bits: (code length << 8) | symbol, or 0
  // when the code there is longer (or no code).
  std::uint16_t Short(std::uint32_t next_bits) const { return short_[next_bits]; }

  // For the next 16 bits: the code's length (0 when no code matches) and
  // its symbol.
  int Long(std::uint32_t next16, std::uint8_t& symbol) const;

 private:
  std::array<std::uint16_t, std::size_t{1} << kLookaheadBits> short_{};
  std::array<std::int32_t, 17> max_code_{};     // largest code of each length; -1: none
  std::array<std::int32_t, 17> first_index_{};  // symbols_ index of code 0 of each length
  std::array<std::uint8_t, 256> symbols_{};
};

// The AC codes of a table read only for where they end: each entry says how
// many bits a coefficient takes (its code and its value bits) and how far it
// moves along the block. Runs and value sizes follow the JPEG meaning of AC
// symbols: zero run in the high nibble, value size in the low one; size 0
// with run 15 skips sixteen zeros, size 0 with any other run ends the block.
class AcSkipLookup {
 public:
  // The end of a block moves past every position: a block's walk stops
  // once it is past 63, and only a damaged block stops between 65 and 127.
  static constexpr std::uint8_t kEndOfBlock = 128;

  [[nodiscard]] bool Build(const HuffmanCodes& codes);

  // For the next kLookaheadBits bits: (advance << 8) | bits, or 0 when the
  // code there is longer (or no code).
  std::uint16_t Short(std::uint32_t next_bits) const { return short_[next_bits]; }

  // The same for up to two coefficients at once: the second is taken too
  // when its code lies within the same kLookaheadBits bits. Only for
  // positions up to kLastPairPosition, where the first cannot end the block
  // before the second.
  static constexpr int kLastPairPosition = 63 - 16;
  std::uint16_t Pair(std::uint32_t next_bits) const { return pair_[next_bits]; }

  // For the next 16 bits, the same as a Short() entry; 0 when no code matches.
  std::uint16_t Long(std::uint32_t next16) const;

  static std::uint16_t StepOf(int code_length, std::uint8_t symbol);

 private:
  HuffmanLookup codes_;
  std::array<std::uint16_t, std::size_t{1} << kLookaheadBits> short_{};
  std::array<std::uint16_t, std::size_t{1} << kLookaheadBits> pair_{};
};

}  // namespace vistamere::picture
