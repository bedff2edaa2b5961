#include "term/colour.h"

#include <cstring>

namespace vistamere::term {

ColourMode DetectColourMode(const char* colorterm_env) {
  if (colorterm_env != nullptr &&
      (std::strcmp(colorterm_env, "truecolor") == 0 || std::strcmp(colorterm_env, "24bit") == 0)) {
    return ColourMode::kTrueColor;
  }
  return ColourMode::kIndexed256;
}

}  // namespace vistamere::term
