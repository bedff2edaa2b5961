// Code page 437: the glyph of every byte, control range included, and the
// way back from a typed character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistamere {

// The Unicode code point a terminal shows for a screen byte. 0x00 shows as a
// blank, 0x01-0x1F and 0x7F as the console's glyphs (smiley, heart ... house).
[[nodiscard]] char32_t Cp437ToUnicode(std::uint8_t byte);

// The printable byte (0x20-0xFF) for a typed code point; '?' when code page
// 437 has no such character.
[[nodiscard]] std::uint8_t UnicodeToCp437(char32_t code_point);

// Appends the UTF-8 encoding of a code point to `out`; returns bytes written (1-4).
[[nodiscard]] int AppendUtf8(char32_t code_point, char* out);

// How a conversion to UTF-8 treats the bytes below 0x80.
enum class LowBytes {
  // Every byte as the glyph the console shows for it: 0x00 a blank, the
  // control bytes 0x01-0x1F and 0x7F their symbols, so that no byte of the
  // text can act on a terminal.
  kGlyphs,
  // As themselves: the bytes are ASCII and mean the same in UTF-8 (what a
  // file name needs to name the same file).
  kAscii,
};

// Code page 437 bytes as UTF-8; the bytes from 0x80 on always as their glyphs.
[[nodiscard]] std::string Cp437ToUtf8(std::string_view bytes, LowBytes low);

}  // namespace vistamere
