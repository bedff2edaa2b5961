#include "term/escape_sequences.h"

namespace vistamere::term::escape {

void AppendDecimal(std::uint32_t number, std::string& out) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (count > 0) out.push_back(digits[--count]);
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

void AppendCursorPosition(int column, int row, std::string& out) {
  out += "\x1b[";
  AppendDecimal(static_cast<std::uint32_t>(row + 1), out);
  if (column > 0) {
    out += ';';
    AppendDecimal(static_cast<std::uint32_t>(column + 1), out);
  }
  out += 'H';
}

}  // namespace vistamere::term::escape
