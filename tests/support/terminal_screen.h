// A terminal emulated by libvterm, for reading back what written bytes show.
#pragma once

#include <vterm.h>

#include <string>
#include <string_view>

#include "term/colour.h"
#include "term/frame.h"

namespace vistamere::term::testing {

class TerminalScreen {
 public:
  TerminalScreen(int columns, int rows);
  ~TerminalScreen();
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  void Feed(std::string_view bytes);
  void Resize(int columns, int rows);
  // What the terminal would send back for the queries it was fed (cursor
  // position, device attributes); taken once.
  std::string TakeAnswers();

  int columns() const;
  int rows() const;
  // One row's glyphs, as UTF-8.
  std::string RowText(int row) const;
  // Every cell's glyph and colours and the cursor, for comparing two screens.
  std::string Snapshot() const;

  char32_t GlyphAt(int column, int row) const;  // 0-based
  // Whether the terminal's colour of a cell is `expected`, as the SGR that
  // selects it would have set it.
  bool ForegroundIs(int column, int row, Colour expected) const;
  bool BackgroundIs(int column, int row, Colour expected) const;
  std::string DescribeCell(int column, int row) const;

  int cursor_column() const;
  int cursor_row() const;
  bool cursor_visible() const { return cursor_visible_; }

  // Cells of `frame` (known ones only) that the terminal does not show as
  // the frame has them, described; empty when all match.
  std::string MismatchesWith(const Frame& frame, int max_reported = 5) const;

 private:
  VTermScreenCell CellAt(int column, int row) const;
  static int OnTermProp(VTermProp prop, VTermValue* value, void* self);

  VTerm* vterm_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
  bool cursor_visible_ = true;
};

}  // namespace vistamere::term::testing
