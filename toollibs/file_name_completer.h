// Tab at the file prompt: completes the name typed so far from the names in
// its folder, as far as all the names that could be meant agree.
#pragma once

#include <string>

#include "console/typed_line.h"

namespace vistamere {

class FileNameCompleter final : public LineCompleter {
 public:
  // `home` (may be null) is what a leading "~/" stands for.
  explicit FileNameCompleter(const char* home) : home_(home != nullptr ? home : "") {}

  // The characters that all names in the typed folder starting with the
  // typed last part share beyond it; "/" after a folder that is the only
  // such name. Names starting with '.' only when the typed part does.
  [[nodiscard]] std::u32string Complete(const std::u32string& typed) override;

 private:
  std::string home_;
};

}  // namespace vistamere
