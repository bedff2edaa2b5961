// The pieces terminal bytes are made of. Only the terminal writer uses them:
// nothing else in the program builds an escape sequence.
#pragma once

#include <cstdint>
#include <string>

#include "term/colour.h"

namespace vistamere::term::escape {

inline constexpr char kBeginSynchronized[] = "\x1b[?2026h";
inline constexpr char kEndSynchronized[] = "\x1b[?2026l";
inline constexpr char kHideCursor[] = "\x1b[?25l";
inline constexpr char kShowCursor[] = "\x1b[?25h";
inline constexpr char kResetColours[] = "\x1b[0m";
inline constexpr char kEraseDisplay[] = "\x1b[2J";
// CAN: ends any sequence or string the terminal is in the middle of.
inline constexpr char kCancel[] = "\x18";

// The decimal digits of a number, as escape sequences carry them.
void AppendDecimal(std::uint32_t number, std::string& out);

// Appends the SGR parameters selecting `colour` as foreground or background,
// without the introducer or final byte: "31", "97", "38;5;208",
// "48;2;255;0;0", "39" ...
void AppendSgrParameters(Colour colour, bool foreground, std::string& out);

// CUP to a 0-based cell: ESC [ row ; column H, the column left out when it
// is the first.
void AppendCursorPosition(int column, int row, std::string& out);

}  // namespace vistamere::term::escape
