#include "win32/console_cells.h"

#include <limits>

namespace vistamere::win32 {
namespace {

constexpr int kDefaultForeground = 7;
constexpr int kDefaultBackground = 0;

// ANSI order (red, green, blue) to console order (blue, green, red); the
// same swap both ways.
int SwapRedBlue(int index) {
  return ((index & 1) << 2) | (index & 2) | ((index & 4) >> 2) | (index & 8);
}

// The 256-colour palette's colour cube and grey ramp (16-255) as RGB.
std::uint32_t RgbOfPaletteIndex(int index) {
  if (index >= 232) {
    const auto level = static_cast<std::uint32_t>(8 + 10 * (index - 232));
    return (level << 16) | (level << 8) | level;
  }
  const int cube = index - 16;
  const auto step = [](int v) { return static_cast<std::uint32_t>(v == 0 ? 0 : 55 + 40 * v); };
  return (step(cube / 36) << 16) | (step((cube / 6) % 6) << 8) | step(cube % 6);
}

int NearestConsoleColour(std::uint32_t rgb, const ConsolePalette& palette) {
  int nearest = 0;
  long least = std::numeric_limits<long>::max();
  for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
    const std::uint32_t p = palette[static_cast<std::size_t>(i)];
    long distance = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const long d =
          static_cast<long>((rgb >> shift) & 0xFF) - static_cast<long>((p >> shift) & 0xFF);
      distance += d * d;
    }
    if (distance < least) {
      least = distance;
      nearest = i;
    }
  }
  return nearest;
}

int ConsoleColourOf(const term::Colour& colour, int default_colour, const ConsolePalette& palette) {
  switch (colour.kind) {
    case term::Colour::Kind::kDefault:
      return default_colour;
    case term::Colour::Kind::kAnsi:
      return SwapRedBlue(static_cast<int>(colour.value));
    case term::Colour::Kind::kIndexed:
      if (colour.value < 16) return SwapRedBlue(static_cast<int>(colour.value));
      return NearestConsoleColour(RgbOfPaletteIndex(static_cast<int>(colour.value)), palette);
    case term::Colour::Kind::kRgb:
      return NearestConsoleColour(colour.value, palette);
  }
  return default_colour;
}

}  // namespace

ConsoleCell ConsoleCellOf(const term::TermCell& cell, const ConsolePalette& palette) {
  const int fg = ConsoleColourOf(cell.fg, kDefaultForeground, palette);
  const int bg = ConsoleColourOf(cell.bg, kDefaultBackground, palette);
  // The console's cells hold one UTF-16 unit; every glyph shown is a code
  // page 437 character, all of them in the basic plane.
  const wchar_t glyph = cell.glyph <= 0xFFFF ? static_cast<wchar_t>(cell.glyph) : L'?';
  return {glyph, static_cast<std::uint16_t>((bg << 4) | fg)};
}

}  // namespace vistamere::win32
