#include "term/colour.h"

#include <string_view>

namespace vistamere::term {

std::optional<ColourMode> SettledColourMode(const ColourSettings& settings) {
  if (settings.chosen) return settings.chosen;
  const std::string_view term = settings.term;
  if (settings.colorterm == "truecolor" || settings.colorterm == "24bit" ||
      term.ends_with("-direct")) {
    return ColourMode::kTrueColor;
  }
  if (term == "linux") return ColourMode::kIndexed16;
  return std::nullopt;
}

}  // namespace vistamere::term
