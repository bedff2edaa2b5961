// Texts: byte strings of code page 437 with an explicit length, and the few
// operations the program needs on them.
#pragma once

#include <cstdint>
#include <string>

namespace vistamere {

using Text = std::string;

[[nodiscard]] Text UpperCase(const Text& text);
[[nodiscard]] Text TrimRight(const Text& text);
[[nodiscard]] Text RightChars(const Text& text, std::int32_t count);
[[nodiscard]] std::int32_t TextLength(const Text& text);
[[nodiscard]] Text Concat(const Text& first, const Text& second);
[[nodiscard]] bool TextEquals(const Text& first, const Text& second);
// Sign character ("-" or a space) followed by the decimal digits.
[[nodiscard]] Text NumberToText(std::int64_t value);

}  // namespace vistamere
