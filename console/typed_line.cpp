#include "console/typed_line.h"

#include "console/utf8.h"

namespace vistamere {

void TypedLine::Remember(const Text& line, std::u32string typed) {
  line_ = line;
  typed_ = std::move(typed);
}

std::optional<std::string> TypedLine::AsTyped(std::string_view text) const {
  if (text.size() > line_.size() || typed_.size() != line_.size() ||
      std::string_view(line_).substr(0, text.size()) != text ||
      line_.find_first_not_of(' ', text.size()) != Text::npos) {
    return std::nullopt;
  }
  return Utf8Of(std::u32string_view(typed_).substr(0, text.size()));
}

}  // namespace vistamere
