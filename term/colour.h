// Colours as a terminal knows them: its own default, one of the 16 ANSI
// colours the user's theme defines, an entry of the 256-colour palette, or
// 24-bit RGB. And how the picture's colours are chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vistamere::term {

// The colours the picture is drawn in.
enum class ColourMode { kTrueColor, kIndexed256, kIndexed16 };

// What is known of the terminal's colours before it is asked.
struct ColourSettings {
  std::optional<ColourMode> chosen;  // the user's choice (--colors): nothing is asked
  std::string colorterm;             // the COLORTERM environment variable; empty when unset
  std::string term;                  // TERM; empty when unset
};

// The mode the settings decide without asking the terminal: the user's
// choice; 24-bit colour when COLORTERM is "truecolor" or "24bit" or TERM
// ends in "-direct"; 16 colours on the Linux console (TERM "linux"), which
// would show a query it does not know as text. Nothing: ask the terminal.
std::optional<ColourMode> SettledColourMode(const ColourSettings& settings);

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
