// Colours as a terminal knows them: its own default, one of the 16 ANSI
// colours the user's theme defines, an entry of the 256-colour palette, or
// 24-bit RGB.
#pragma once

#include <cstdint>
#include <string>

namespace vistamere::term {

enum class ColourMode { kTrueColor, kIndexed256 };

// The colour mode the terminal offers, from the COLORTERM environment
// variable (may be null): "truecolor" or "24bit" mean 24-bit colour.
ColourMode DetectColourMode(const char* colorterm_env);

struct Colour {
  enum class Kind : std::uint8_t { kDefault, kAnsi, kIndexed, kRgb };

  Kind kind = Kind::kDefault;
  std::uint32_t value = 0;  // ANSI 0-15, palette 0-255, or 0xRRGGBB

  static constexpr Colour Default() { return {}; }
  static constexpr Colour Ansi(int index) {
    return {Kind::kAnsi, static_cast<std::uint32_t>(index & 0x0F)};
  }
  static constexpr Colour Indexed(int index) {
    return {Kind::kIndexed, static_cast<std::uint32_t>(index & 0xFF)};
  }
  static constexpr Colour Rgb(std::uint32_t rgb) { return {Kind::kRgb, rgb & 0xFFFFFF}; }

  friend bool operator==(const Colour&, const Colour&) = default;
};

}  // namespace vistamere::term
