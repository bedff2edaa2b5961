// A composed frame's cells as the Windows console shows them: a UTF-16
// glyph and an attribute byte (foreground in the low four bits, background
// in the high four, console colour order).
#pragma once

#include <cstdint>

#include "term/frame.h"
#include "win32/block_picture.h"

namespace vistamere::win32 {

struct ConsoleCell {
  wchar_t glyph = L' ';
  std::uint16_t attribute = 0x07;

  friend bool operator==(const ConsoleCell&, const ConsoleCell&) = default;
};

// The terminal's default pair is the console's 0x07; ANSI colours are the
// console's 16; palette and RGB colours become the nearest of `palette`.
[[nodiscard]] ConsoleCell ConsoleCellOf(const term::TermCell& cell, const ConsolePalette& palette);

}  // namespace vistamere::win32
