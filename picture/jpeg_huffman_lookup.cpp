#include "picture/jpeg_huffman_lookup.h"

namespace vistamere::picture {

bool HuffmanLookup::Build(const HuffmanCodes& codes) {
  short_.fill(0);
  max_code_.fill(-1);
  first_index_.fill(0);
  symbols_ = codes.symbols;
  std::int32_t code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    const int count = codes.counts[static_cast<std::size_t>(length)];
    if (index + count > 256) return false;
    first_index_[static_cast<std::size_t>(length)] = index - code;
    for (int i = 0; i < count; ++i, ++code, ++index) {
      if (code >= (std::int32_t{1} << length)) return false;
      if (length <= kLookaheadBits) {
        const int spread = kLookaheadBits - length;
        const auto entry = static_cast<std::uint16_t>(
            (length << 8) | codes.symbols[static_cast<std::size_t>(index)]);
        const auto first = static_cast<std::size_t>(code) << spread;
        for (std::size_t j = 0; j < (std::size_t{1} << spread); ++j) short_[first + j] = entry;
      }
    }
    if (count > 0) max_code_[static_cast<std::size_t>(length)] = code - 1;
    code <<= 1;
  }
  return true;
}

int HuffmanLookup::Long(std::uint32_t next16, std::uint8_t& symbol) const {
  for (int length = 1; length <= 16; ++length) {
    const auto code = static_cast<std::int32_t>(next16 >> (16 - length));
    if (code <= max_code_[static_cast<std::size_t>(length)]) {
      // Canonical codes: a code of this length is at least its first one.
      const std::int32_t index = first_index_[static_cast<std::size_t>(length)] + code;
      symbol = symbols_[static_cast<std::size_t>(index)];
      return length;
    }
  }
  return 0;
}

std::uint16_t AcSkipLookup::StepOf(int code_length, std::uint8_t symbol) {
  const int run = symbol >> 4;
  const int size = symbol & 15;
  if (size == 0) {
    const int advance = run == 15 ? 16 : kEndOfBlock;
    return static_cast<std::uint16_t>((advance << 8) | code_length);
  }
  return static_cast<std::uint16_t>(((run + 1) << 8) | (code_length + size));
}

bool AcSkipLookup::Build(const HuffmanCodes& codes) {
  if (!codes_.Build(codes)) return false;
  constexpr std::uint32_t kMask = (1U << kLookaheadBits) - 1;
  for (std::size_t bits = 0; bits < short_.size(); ++bits) {
    const std::uint16_t entry = codes_.Short(static_cast<std::uint32_t>(bits));
    short_[bits] = entry == 0 ? 0 : StepOf(entry >> 8, static_cast<std::uint8_t>(entry & 0xFF));
  }
  for (std::size_t bits = 0; bits < pair_.size(); ++bits) {
    const std::uint16_t first = short_[bits];
    pair_[bits] = first;
    const int first_bits = first & 0xFF;
    if (first == 0 || (first >> 8) == kEndOfBlock || first_bits >= kLookaheadBits) continue;
    // The second code, if it lies whole within the bits left.
    const auto rest = static_cast<std::uint32_t>((bits << first_bits) & kMask);
    const std::uint16_t code = codes_.Short(rest);
    const int code_length = code >> 8;
    if (code == 0 || code_length > kLookaheadBits - first_bits) continue;
    const std::uint16_t second = StepOf(code_length, static_cast<std::uint8_t>(code & 0xFF));
    pair_[bits] = static_cast<std::uint16_t>((((first >> 8) + (second >> 8)) << 8) |
                                             (first_bits + (second & 0xFF)));
  }
  return true;
}

std::uint16_t AcSkipLookup::Long(std::uint32_t next16) const {
  std::uint8_t symbol = 0;
  const int length = codes_.Long(next16, symbol);
  return length == 0 ? 0 : StepOf(length, symbol);
}

}  // namespace vistamere::picture
