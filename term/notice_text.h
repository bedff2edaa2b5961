// Text the platform shows itself (notices in the graphics area, the
// too-small notice): decoded from UTF-8 into characters that each take one
// cell, and wrapped into lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "term/colour.h"

namespace vistamere::term {

// Notices are light grey on dark grey from the palette's grey ramp, which
// themes leave alone, whatever the picture's colour mode.
inline constexpr Colour kNoticeForeground = Colour::Indexed(253);
inline constexpr Colour kNoticeBackground = Colour::Indexed(236);

// Decodes UTF-8 text for display. Every character shown is one a console
// font has (a code page 437 glyph) and so one cell wide; anything else,
// control codes and malformed bytes included, becomes '?'. Line feeds stay
// (they break lines); tabs and carriage returns become spaces.
std::u32string DisplayableText(std::string_view utf8);

// Breaks text into lines of at most `width` characters, at spaces where it
// can, inside a word where the word is longer than a line, and at line feeds.
std::vector<std::u32string> WrapText(std::u32string_view text, int width);

}  // namespace vistamere::term
