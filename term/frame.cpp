#include "term/frame.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace vistamere::term {

std::uint64_t Frame::NewId() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

Frame::Frame(const Frame& other)
    : cursor(other.cursor),
      columns_(other.columns_),
      rows_(other.rows_),
      cells_(other.cells_),
      known_(other.known_),
      id_(NewId()),
      version_(other.version_),
      row_versions_(other.row_versions_) {}

Frame& Frame::operator=(const Frame& other) {
  if (this == &other) return *this;
  cursor = other.cursor;
  columns_ = other.columns_;
  rows_ = other.rows_;
  cells_ = other.cells_;
  known_ = other.known_;
  id_ = NewId();
  version_ = other.version_;
  row_versions_ = other.row_versions_;
  return *this;
}

Frame::Frame(Frame&& other) noexcept
    : cursor(other.cursor),
      columns_(other.columns_),
      rows_(other.rows_),
      cells_(std::move(other.cells_)),
      known_(std::move(other.known_)),
      id_(NewId()),
      version_(other.version_),
      row_versions_(std::move(other.row_versions_)) {
  other.Resize(0, 0);
}

Frame& Frame::operator=(Frame&& other) noexcept {
  if (this == &other) return *this;
  cursor = other.cursor;
  columns_ = other.columns_;
  rows_ = other.rows_;
  cells_ = std::move(other.cells_);
  known_ = std::move(other.known_);
  id_ = NewId();
  version_ = other.version_;
  row_versions_ = std::move(other.row_versions_);
  other.Resize(0, 0);
  return *this;
}

void Frame::Resize(int columns, int rows) {
  columns_ = std::max(columns, 0);
  rows_ = std::max(rows, 0);
  const std::size_t count = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  cells_.assign(count, TermCell{});
  known_.assign(count, 0);
  row_versions_.assign(static_cast<std::size_t>(rows_), ++version_);
  cursor = FrameCursor{};
}

bool Frame::AllKnown() const {
  return std::all_of(known_.begin(), known_.end(), [](unsigned char known) { return known != 0; });
}

}  // namespace vistamere::term
