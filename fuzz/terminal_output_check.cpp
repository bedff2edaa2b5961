#include "terminal_output_check.h"

#include <cstddef>
#include <cstdint>

namespace vistamere::fuzz {
namespace {

// Length of the CSI sequence at `i` (which holds ESC), 0 when malformed.
std::size_t CsiLength(std::string_view bytes, std::size_t i) {
  std::size_t j = i + 1;
  if (j >= bytes.size() || bytes[j] != '[') return 0;
  ++j;
  while (j < bytes.size() && bytes[j] >= 0x30 && bytes[j] <= 0x3F) ++j;  // parameters
  while (j < bytes.size() && bytes[j] >= 0x20 && bytes[j] <= 0x2F) ++j;  // intermediates
  if (j >= bytes.size() || bytes[j] < 0x40 || bytes[j] > 0x7E) return 0;
  return j + 1 - i;
}

}  // namespace

const char* TerminalOutputFault(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b == 0x1B) {
      const std::size_t length = CsiLength(bytes, i);
      if (length == 0) return "ESC outside a well-formed CSI sequence";
      i += length;
      continue;
    }
    if (b < 0x20 || b == 0x7F) return "C0 control byte or DEL in the text";
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t code = 0;
    if ((b & 0xE0) == 0xC0) {
      length = 2;
      code = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3;
      code = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4;
      code = b & 0x07;
    } else {
      return "invalid UTF-8 lead byte";
    }
    if (i + length > bytes.size()) return "UTF-8 character cut short";
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<std::uint8_t>(bytes[i + k]);
      if ((c & 0xC0) != 0x80) return "invalid UTF-8 continuation byte";
      code = (code << 6) | (c & 0x3F);
    }
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return "overlong or invalid UTF-8 character";
    }
    if (code >= 0x80 && code <= 0x9F) return "C1 control character in the text";
    i += length;
  }
  return nullptr;
}

}  // namespace vistamere::fuzz
