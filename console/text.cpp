#include "console/text.h"

#include <array>

namespace vistamere {
namespace {

// Code page 437 letters that have an upper-case partner in the code page.
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 7> kUpperCasePairs = {{
    {0x84, 0x8E},  // a diaeresis
    {0x94, 0x99},  // o diaeresis
    {0x81, 0x9A},  // u diaeresis
    {0x82, 0x90},  // e acute
    {0xA4, 0xA5},  // n tilde
    {0x86, 0x8F},  // a ring
    {0x87, 0x80},  // c cedilla
}};

std::uint8_t UpperCaseByte(std::uint8_t byte) {
  if (byte >= 'a' && byte <= 'z') return static_cast<std::uint8_t>(byte - 0x20);
  for (const auto& [lower, upper] : kUpperCasePairs) {
    if (byte == lower) return upper;
  }
  return byte;
}

}  // namespace

Text UpperCase(const Text& text) {
  Text result = text;
  for (char& c : result) c = static_cast<char>(UpperCaseByte(static_cast<std::uint8_t>(c)));
  return result;
}

Text TrimRight(const Text& text) {
  const auto end = text.find_last_not_of(' ');
  return end == Text::npos ? Text() : text.substr(0, end + 1);
}

Text RightChars(const Text& text, std::int32_t count) {
  const auto n = static_cast<std::uint32_t>(count);
  if (n >= text.size()) return text;
  return text.substr(text.size() - n);
}

std::int32_t TextLength(const Text& text) {
  return static_cast<std::int32_t>(text.size());
}

Text Concat(const Text& first, const Text& second) {
  return first + second;
}

bool TextEquals(const Text& first, const Text& second) {
  return first == second;
}

Text NumberToText(std::int64_t value) {
  // The magnitude as unsigned, so that the most negative value needs no care.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return (value < 0 ? "-" : " ") + digits;
}

}  // namespace vistamere
