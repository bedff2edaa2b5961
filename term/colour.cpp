#include "term/colour.h"

#include <cstring>

namespace vistamere::term {

void AppendDecimal(std::uint32_t number, std::string& out) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (count > 0) out.push_back(digits[--count]);
}

ColourMode DetectColourMode(const char* colorterm_env) {
  if (colorterm_env != nullptr &&
      (std::strcmp(colorterm_env, "truecolor") == 0 || std::strcmp(colorterm_env, "24bit") == 0)) {
    return ColourMode::kTrueColor;
  }
  return ColourMode::kIndexed256;
}

void AppendSgrParameters(Colour colour, bool foreground, std::string& out) {
  switch (colour.kind) {
    case Colour::Kind::kDefault:
      out += foreground ? "39" : "49";
      return;
    case Colour::Kind::kAnsi: {
      // 30-37 / 40-47 for the normal eight, 90-97 / 100-107 for the bright.
      const std::uint32_t base = colour.value < 8 ? (foreground ? 30 : 40) : (foreground ? 82 : 92);
      AppendDecimal(base + colour.value, out);
      return;
    }
    case Colour::Kind::kIndexed:
      out += foreground ? "38;5;" : "48;5;";
      AppendDecimal(colour.value, out);
      return;
    case Colour::Kind::kRgb:
      out += foreground ? "38;2;" : "48;2;";
      AppendDecimal((colour.value >> 16) & 0xFF, out);
      out.push_back(';');
      AppendDecimal((colour.value >> 8) & 0xFF, out);
      out.push_back(';');
      AppendDecimal(colour.value & 0xFF, out);
      return;
  }
}

}  // namespace vistamere::term
