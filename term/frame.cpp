#include "term/frame.h"

#include <algorithm>

namespace vistamere::term {

void Frame::Resize(int columns, int rows) {
  columns_ = std::max(columns, 0);
  rows_ = std::max(rows, 0);
  const std::size_t count = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  cells_.assign(count, TermCell{});
  known_.assign(count, 0);
  cursor = FrameCursor{};
}

bool Frame::AllKnown() const {
  return std::all_of(known_.begin(), known_.end(), [](unsigned char known) { return known != 0; });
}

}  // namespace vistamere::term
