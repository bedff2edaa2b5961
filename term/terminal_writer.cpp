#include "term/terminal_writer.h"

#include <algorithm>

#include "term/cp437.h"
#include "term/escape_sequences.h"

namespace vistamere::term {
namespace {

using namespace escape;

// Gaps of unchanged cells longer than this are always skipped with a move.
constexpr int kLongestRewrittenGap = 8;

std::size_t DigitCount(int number) {
  std::size_t count = 1;
  while (number >= 10) {
    number /= 10;
    ++count;
  }
  return count;
}

// A code point that cannot reach the terminal as a control: C0, DEL, C1,
// surrogates and non-characters past Unicode become '?'.
char32_t SafeGlyph(char32_t glyph) {
  if (glyph == 0) return U' ';
  if (glyph < 0x20 || (glyph >= 0x7F && glyph <= 0x9F) || (glyph >= 0xD800 && glyph <= 0xDFFF) ||
      glyph > 0x10FFFF) {
    return U'?';
  }
  return glyph;
}

std::size_t Utf8Length(char32_t glyph) {
  char bytes[4];
  return static_cast<std::size_t>(AppendUtf8(SafeGlyph(glyph), bytes));
}

}  // namespace

void TerminalWriter::SetPixelPicture(const SixelPicture* picture, int left, int top) {
  if (picture == picture_ && left == picture_left_ && top == picture_top_) return;
  synced_frame_ = 0;
  picture_ = picture;
  picture_left_ = left;
  picture_top_ = top;
  picture_drawn_ = false;
}

void TerminalWriter::SetKittyPicture(const KittyPicture* picture, int left, int top) {
  if (picture == kitty_ && left == picture_left_ && top == picture_top_) return;
  synced_frame_ = 0;
  kitty_ = picture;
  picture_left_ = left;
  picture_top_ = top;
  kitty_placed_ = false;
}

void TerminalWriter::Invalidate() {
  in_step_ = false;
}

void TerminalWriter::Repaint() {
  in_step_ = false;
  must_clear_ = true;
}

void TerminalWriter::ForgetTerminalState() {
  cursor_position_known_ = false;
  cursor_visibility_ = CursorVisibility::kUnknown;
  pen_known_ = false;
}

bool TerminalWriter::CursorChanged(const FrameCursor& cursor) const {
  if (!cursor.visible) return cursor_visibility_ != CursorVisibility::kHidden;
  return cursor_visibility_ != CursorVisibility::kShown || !cursor_position_known_ ||
         cursor_column_ != cursor.column || cursor_row_ != cursor.row;
}

const std::string& TerminalWriter::Update(const Frame& next) {
  out_.clear();
  if (!in_step_ || shown_.columns() != next.columns() || shown_.rows() != next.rows()) {
    shown_.Resize(next.columns(), next.rows());
    synced_frame_ = 0;
    ForgetTerminalState();
    cleared_ = false;
    in_step_ = true;
  }
  const bool clear =
      next.size() > 0 && (must_clear_ || (!cleared_ && (shell_text_gone_ || next.AllKnown())));
  must_clear_ = false;

  out_ += kBeginSynchronized;
  if (clear) {
    HideCursor();
    ClearScreen();
  }
  // The picture first, then the text over it; in one pass the cells that
  // changed are written as they are found.
  const bool picture_changed = WritePicture(next) || PlaceKittyPicture(clear);
  const bool boxes_changed = kitty_ != nullptr && WriteKittyBoxes(next);
  const bool cells_changed =
      WriteCells(next, clear || picture_changed) || clear || picture_changed || boxes_changed;
  if (!cells_changed && !CursorChanged(next.cursor)) {
    out_.clear();
    return out_;
  }
  if (cells_changed) SetPen(Colour::Default(), Colour::Default());
  PlaceCursor(next.cursor);
  out_ += kEndSynchronized;
  return out_;
}

void TerminalWriter::HideCursor() {
  if (cursor_visibility_ != CursorVisibility::kHidden) {
    out_ += kHideCursor;
    cursor_visibility_ = CursorVisibility::kHidden;
  }
}

void TerminalWriter::BeginCellChanges() {
  HideCursor();
  if (!pen_known_) SetPen(Colour::Default(), Colour::Default());
}

void TerminalWriter::ClearScreen() {
  out_ += kResetColours;
  out_ += kEraseDisplay;
  pen_fg_ = Colour::Default();
  pen_bg_ = Colour::Default();
  pen_known_ = true;
  // The erased screen shows blanks in the default colours.
  for (int row = 0; row < shown_.rows(); ++row) {
    for (int column = 0; column < shown_.columns(); ++column) {
      shown_.Set(column, row, TermCell{});
    }
  }
  cleared_ = true;
  shell_text_gone_ = true;
  NoteDrawnRow(shown_.rows() - 1);
}

bool TerminalWriter::WriteCells(const Frame& next, bool every_row) {
  static constexpr TermCell kBlank{};
  const auto rows = static_cast<std::size_t>(next.rows());
  const bool rows_synced = !every_row && synced_frame_ == next.id() && synced_rows_.size() == rows;
  synced_rows_.resize(rows);
  int last_changed_row = -1;
  for (int row = 0; row < next.rows(); ++row) {
    std::uint64_t& synced_row = synced_rows_[static_cast<std::size_t>(row)];
    if (rows_synced && synced_row == next.RowVersion(row)) continue;
    synced_row = next.RowVersion(row);
    for (int column = 0; column < next.columns(); ++column) {
      const std::size_t index = next.IndexOf(column, row);
      // Sixel picture cells are WritePicture's: a glyph there would wipe
      // the image. Kitty's are blanks that show the image below them.
      if ((next.Known(index) && next.At(index).picture && kitty_ == nullptr) ||
          !Changed(next, index)) {
        continue;
      }
      if (last_changed_row < 0) BeginCellChanges();
      last_changed_row = row;
      const TermCell& cell = next.Known(index) ? next.At(index) : kBlank;
      MoveTo(column, row);
      SetPen(cell.fg, cell.bg);
      WriteGlyph(cell.glyph);
      shown_.Set(column, row, cell);
      // Past the frame's last column the terminal may be waiting to wrap.
      if (++cursor_column_ >= next.columns()) cursor_position_known_ = false;
    }
  }
  synced_frame_ = next.id();
  NoteDrawnRow(last_changed_row);
  return last_changed_row >= 0;
}

bool TerminalWriter::WritePicture(const Frame& next) {
  if (picture_ == nullptr) return false;
  const int left = picture_left_;
  const int top = picture_top_;
  const int right = std::min(left + picture_->columns(), next.columns());  // exclusive
  const int bottom = std::min(top + picture_->rows(), next.rows());
  int wanted = 0;
  int missing = 0;
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) {
      const std::size_t index = next.IndexOf(column, row);
      if (!next.Known(index) || !next.At(index).picture) continue;
      ++wanted;
      if (!picture_drawn_ || !ShowsPicture(index)) ++missing;
    }
  }
  if (missing == 0) return false;
  BeginCellChanges();
  if (!picture_drawn_ || missing * 2 > wanted) {
    // The image covers the whole area; the text on it is written after.
    WriteCursorPosition(left, top);
    picture_->AppendWhole(out_);
    for (int row = top; row < bottom; ++row) {
      for (int column = left; column < right; ++column) shown_.Set(column, row, kPictureCell);
    }
    picture_drawn_ = true;
  } else {
    for (int row = top; row < bottom; ++row) {
      for (int column = left; column < right;) {
        const std::size_t index = next.IndexOf(column, row);
        if (!next.Known(index) || !next.At(index).picture || ShowsPicture(index)) {
          ++column;
          continue;
        }
        int end = column;
        while (end < right && next.Known(next.IndexOf(end, row)) &&
               next.At(next.IndexOf(end, row)).picture && !ShowsPicture(next.IndexOf(end, row))) {
          shown_.Set(end, row, kPictureCell);
          ++end;
        }
        WriteCursorPosition(column, row);
        picture_->AppendCells(column - left, row - top, end - column, out_);
        cursor_position_known_ = false;
        column = end;
      }
    }
  }
  // Terminals leave the cursor in different places after an image.
  cursor_position_known_ = false;
  NoteDrawnRow(bottom - 1);
  return true;
}

bool TerminalWriter::PlaceKittyPicture(bool cleared) {
  if (kitty_ == nullptr || (kitty_placed_ && !cleared)) return false;
  BeginCellChanges();
  kitty_->AppendTransmit(out_);
  WriteCursorPosition(picture_left_, picture_top_);
  kitty_->AppendPlace(out_);
  kitty_placed_ = true;
  kitty_boxes_.clear();
  NoteDrawnRow(picture_top_ + kitty_->rows() - 1);
  return true;
}

bool TerminalWriter::WriteKittyBoxes(const Frame& next) {
  std::vector<std::array<int, 3>> boxes;
  const int right = std::min(picture_left_ + kitty_->columns(), next.columns());
  const int bottom = std::min(picture_top_ + kitty_->rows(), next.rows());
  const auto is_text = [&](int column, int row) {
    const std::size_t index = next.IndexOf(column, row);
    return next.Known(index) && !next.At(index).picture;
  };
  for (int row = picture_top_; row < bottom; ++row) {
    for (int column = picture_left_; column < right;) {
      if (!is_text(column, row)) {
        ++column;
        continue;
      }
      int end = column;
      while (end < right && is_text(end, row)) ++end;
      boxes.push_back({column, row, end - column});
      column = end;
    }
  }
  if (boxes == kitty_boxes_) return false;
  BeginCellChanges();
  if (!kitty_boxes_.empty()) KittyPicture::AppendRemoveBoxes(out_);
  for (const auto& [column, row, count] : boxes) {
    MoveTo(column, row);
    KittyPicture::AppendBox(count, out_);
  }
  kitty_boxes_ = std::move(boxes);
  return true;
}

void TerminalWriter::MoveTo(int column, int row) {
  if (cursor_position_known_ && cursor_row_ == row && cursor_column_ == column) return;
  // CUP: ESC [ row ; column H, the column left out when it is the first.
  const std::size_t cup_cost =
      3 + DigitCount(row + 1) + (column > 0 ? 1 + DigitCount(column + 1) : 0);
  if (cursor_position_known_ && cursor_row_ == row && cursor_column_ < column) {
    const int gap = column - cursor_column_;
    // CUF: ESC [ count C, the count left out when it is one.
    const std::size_t cuf_cost = 3 + (gap > 1 ? DigitCount(gap) : 0);
    const std::size_t move_cost = cuf_cost < cup_cost ? cuf_cost : cup_cost;
    if (RewriteGapCheaper(column, move_cost)) return;
    if (cuf_cost < cup_cost) {
      out_ += "\x1b[";
      if (gap > 1) AppendDecimal(static_cast<std::uint32_t>(gap), out_);
      out_ += 'C';
      cursor_column_ = column;
      return;
    }
  }
  WriteCursorPosition(column, row);
}

void TerminalWriter::WriteCursorPosition(int column, int row) {
  AppendCursorPosition(column, row, out_);
  cursor_column_ = column;
  cursor_row_ = row;
  cursor_position_known_ = true;
}

// Writes the unchanged cells between the cursor and `column` again when that
// takes fewer bytes than a move: they must be on screen already and in the
// current colours.
bool TerminalWriter::RewriteGapCheaper(int column, std::size_t move_cost) {
  if (column - cursor_column_ > kLongestRewrittenGap) return false;
  std::size_t cost = 0;
  for (int k = cursor_column_; k < column; ++k) {
    const std::size_t index = shown_.IndexOf(k, cursor_row_);
    if (!shown_.Known(index)) return false;
    const TermCell& cell = shown_.At(index);
    // A glyph over the picture would wipe it.
    if (cell.picture || !(cell.fg == pen_fg_) || !(cell.bg == pen_bg_)) return false;
    cost += Utf8Length(cell.glyph);
    if (cost >= move_cost) return false;
  }
  for (int k = cursor_column_; k < column; ++k) WriteGlyph(shown_.At(k, cursor_row_).glyph);
  cursor_column_ = column;
  return true;
}

void TerminalWriter::SetPen(Colour fg, Colour bg) {
  const bool fg_changes = !pen_known_ || !(fg == pen_fg_);
  const bool bg_changes = !pen_known_ || !(bg == pen_bg_);
  if (!fg_changes && !bg_changes) return;
  if (fg == Colour::Default() && bg == Colour::Default() && fg_changes && bg_changes) {
    out_ += kResetColours;
  } else {
    out_ += "\x1b[";
    if (fg_changes) AppendSgrParameters(fg, true, out_);
    if (fg_changes && bg_changes) out_ += ';';
    if (bg_changes) AppendSgrParameters(bg, false, out_);
    out_ += 'm';
  }
  pen_fg_ = fg;
  pen_bg_ = bg;
  pen_known_ = true;
}

void TerminalWriter::WriteGlyph(char32_t glyph) {
  char bytes[4];
  const int length = AppendUtf8(SafeGlyph(glyph), bytes);
  out_.append(bytes, static_cast<std::size_t>(length));
}

void TerminalWriter::PlaceCursor(const FrameCursor& cursor) {
  if (!cursor.visible) {
    HideCursor();
    return;
  }
  if (!cursor_position_known_ || cursor_column_ != cursor.column || cursor_row_ != cursor.row) {
    WriteCursorPosition(cursor.column, cursor.row);
  }
  NoteDrawnRow(cursor.row);
  if (cursor_visibility_ != CursorVisibility::kShown) {
    out_ += kShowCursor;
    cursor_visibility_ = CursorVisibility::kShown;
  }
}

}  // namespace vistamere::term
