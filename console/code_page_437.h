// Code page 437: the glyph of every byte, control range included, and the
// way back from a typed character.
#pragma once

#include <cstdint>

namespace vistamere {

// The Unicode code point a terminal shows for a screen byte. 0x00 shows as a
// blank, 0x01-0x1F and 0x7F as the console's glyphs (smiley, heart ... house).
char32_t Cp437ToUnicode(std::uint8_t byte);

// The printable byte (0x20-0xFF) for a typed code point; '?' when code page
// 437 has no such character.
std::uint8_t UnicodeToCp437(char32_t code_point);

// Appends the UTF-8 encoding of a code point to `out`; returns bytes written (1-4).
int AppendUtf8(char32_t code_point, char* out);

}  // namespace vistamere
