// Brings the terminal from the frame it shows to the next one with as few
// bytes as it can, in one synchronized update.
#pragma once

#include <string>

#include "term/frame.h"

namespace vistamere::term {

class FrameWriter {
 public:
  // The bytes that make the terminal show `next`: only the cells that differ
  // from what it shows, inside synchronized output (mode 2026) with the
  // cursor hidden while cells change, colours reset at the end, then the
  // cursor placed and shown if `next` has it visible. Empty when nothing
  // changes. Cells `next` does not know are left as the terminal has them.
  // The screen is cleared (and everything outside the frame with it) the
  // first time every cell of a frame is known, never before, so the shell's
  // text stays until the program clears the screen.
  // The returned string lives until the next call.
  const std::string& Update(const Frame& next);

  // Forgets what the terminal shows (after a resize, or after something else
  // wrote to it): the next update draws every known cell again, clearing
  // first when every cell is known.
  void Invalidate();

 private:
  enum class CursorVisibility { kUnknown, kShown, kHidden };

  bool Changed(const Frame& next, std::size_t index) const {
    return next.Known(index) && (!shown_.Known(index) || !(shown_.At(index) == next.At(index)));
  }
  bool AnyCellChanged(const Frame& next) const;
  bool CursorChanged(const FrameCursor& cursor) const;
  void ForgetTerminalState();
  void ClearScreen();
  void MoveTo(int column, int row);
  void WriteCursorPosition(int column, int row);
  bool RewriteGapCheaper(int column, std::size_t move_cost);
  void SetPen(Colour fg, Colour bg);
  void WriteGlyph(char32_t glyph);
  void WriteCells(const Frame& next);
  void PlaceCursor(const FrameCursor& cursor);

  Frame shown_;           // what the terminal shows; known: drawn by this writer
  bool in_step_ = false;  // shown_ describes the terminal
  bool cleared_ = false;  // the screen was cleared since the terminal was last forgotten

  // The terminal's state as far as it is known.
  int cursor_column_ = 0;
  int cursor_row_ = 0;
  bool cursor_position_known_ = false;
  CursorVisibility cursor_visibility_ = CursorVisibility::kUnknown;
  Colour pen_fg_;
  Colour pen_bg_;
  bool pen_known_ = false;

  std::string out_;
};

}  // namespace vistamere::term
