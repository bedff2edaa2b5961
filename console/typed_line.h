// A line read at the console as the user typed it. The console hands the
// program code page 437 bytes, in which a typed character the code page
// lacks became '?'; a file name must still name the file the user typed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "console/text.h"

namespace vistamere {

class TypedLine {
 public:
  // The line read (code page bytes) and what was typed for each byte.
  void Remember(const Text& line, std::u32string typed);

  // The UTF-8 text typed for `text` when it is the line read, or the line
  // with trailing spaces trimmed; nothing otherwise.
  [[nodiscard]] std::optional<std::string> AsTyped(std::string_view text) const;

 private:
  Text line_;
  std::u32string typed_;  // one character per byte of line_
};

// Completes the line typed so far (UTF-8): the characters to add, empty
// when there is nothing to add.
class LineCompleter {
 public:
  virtual ~LineCompleter() = default;
  [[nodiscard]] virtual std::u32string Complete(const std::u32string& typed) = 0;
};

}  // namespace vistamere
