// Every byte the program sends to a terminal is made here: the frames (only
// what changed, in one synchronized update), the start-up queries, the
// keyboard protocol, the window title and size request, and the bytes that
// give the terminal back. The writer keeps a model of what the terminal
// shows (cells, cursor, colours) and every sequence it makes keeps that
// model true, so nothing ever needs a full repaint but a resize or the
// user's own request.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "term/frame.h"
#include "term/kitty_picture.h"
#include "term/sixel_picture.h"

namespace vistamere::term {

class TerminalWriter {
 public:
  // The bytes that make the terminal show `next`: only the cells that differ
  // from what it shows, inside synchronized output (mode 2026) with the
  // cursor hidden while cells change, colours reset at the end, then the
  // cursor placed and shown if `next` has it visible. Empty when nothing
  // changes. Cells `next` does not know are left as the terminal has them,
  // unless this writer drew them: those become blank again.
  // The screen is cleared (and everything outside the frame with it) the
  // first time every cell of a frame is known, never before, so the shell's
  // text stays until the program clears the screen.
  // The returned string lives until the next call.
  const std::string& Update(const Frame& next);

  // Forgets what the terminal shows (after a resize): the next update draws
  // every known cell again, clearing first when every cell is known or when
  // the shell's text is gone already.
  void Invalidate();
  // Forgets what the terminal shows and clears it at the next update, which
  // then draws every known cell: for the user's own request to clean the
  // screen, and after the terminal was someone else's for a while.
  void Repaint();

  // The picture in pixels whose cells (TermCell::picture) frames mark, its
  // top-left cell at (left, top), 0-based; null for none. A picture set
  // anew is drawn whole at the next update. Kept by the caller while set.
  void SetPixelPicture(const SixelPicture* picture, int left, int top);
  // The same for the kitty graphics protocol: picture cells are written as
  // blanks in the default colours (the image shows through them) and the
  // text cells over the area get a dark box below them.
  void SetKittyPicture(const KittyPicture* picture, int left, int top);

  // The 24-bit colour the colour query sets and asks back: off the
  // 256-colour palette, so a terminal that rounds colours to its palette
  // answers with another.
  static constexpr std::uint32_t kProbeColour = 0x123456;

  // Asks for the cursor position, the kitty keyboard flags and then the
  // primary device attributes, which every terminal answers. With
  // `ask_colours`, in between: the foreground set to kProbeColour and asked
  // back (DECRQSS for SGR), the colours reset, and whether the terminal
  // names the RGB or Tc capability (XTGETTCAP). With `ask_graphics`:
  // whether it speaks the kitty graphics protocol.
  const std::string& StartupQueries(bool ask_colours, bool ask_graphics);
  // Gives sixel images `count` colour registers (xterm's XTSMGRAPHICS).
  const std::string& SetColourRegisters(int count);
  // Switches on the kitty keyboard protocol with `flags`; the restore bytes
  // switch it off again.
  const std::string& PushKeyboardFlags(int flags);
  // Asks the terminal to take the given size (xterm's window operation).
  const std::string& RequestSize(int columns, int rows);
  // Sets the window title; control characters in it become '?'.
  const std::string& Title(std::string_view utf8);

  // The bytes that give the terminal back: any sequence cut short is ended,
  // the keyboard protocol popped, synchronized output ended, colours reset,
  // the cursor shown and put at the start of the line below everything this
  // writer drew. The screen's contents and the title stay.
  std::string RestoreBytes() const;

 private:
  enum class CursorVisibility { kUnknown, kShown, kHidden };

  bool Changed(const Frame& next, std::size_t index) const {
    if (next.Known(index)) {
      return !shown_.Known(index) || !(shown_.At(index) == next.At(index));
    }
    // Drawn by this writer once, and no longer the program's: blank it.
    return shown_.Known(index) && !(shown_.At(index) == TermCell{});
  }
  bool CursorChanged(const FrameCursor& cursor) const;
  void ForgetTerminalState();
  void ClearScreen();
  void MoveTo(int column, int row);
  void WriteCursorPosition(int column, int row);
  bool RewriteGapCheaper(int column, std::size_t move_cost);
  void SetPen(Colour fg, Colour bg);
  void WriteGlyph(char32_t glyph);
  void HideCursor();
  // Hides the cursor and makes the pen known before the first cell changes.
  void BeginCellChanges();
  // Writes the cells that changed; false when none did. Rows of the frame
  // last written that have not changed since are passed over, unless
  // `every_row` (the terminal's cells were changed by other means).
  bool WriteCells(const Frame& next, bool every_row);
  // Brings the pixel picture back wherever `next` wants it and the terminal
  // does not show it: the whole image when it is new or most cells need it,
  // else one image per run of cells in a row. False when nothing was drawn.
  bool WritePicture(const Frame& next);
  // Sends and places the kitty picture when it is new or the screen was
  // cleared; false when nothing was sent.
  bool PlaceKittyPicture(bool cleared);
  // Puts a box under every run of text cells over the kitty picture, when
  // the runs changed (true).
  bool WriteKittyBoxes(const Frame& next);
  bool ShowsPicture(std::size_t index) const {
    return shown_.Known(index) && shown_.At(index).picture;
  }
  void PlaceCursor(const FrameCursor& cursor);
  void NoteDrawnRow(int row) {
    if (row > lowest_drawn_row_) lowest_drawn_row_ = row;
  }

  Frame shown_;                   // what the terminal shows; known: drawn by this writer
  bool in_step_ = false;          // shown_ describes the terminal
  bool cleared_ = false;          // the screen was cleared since the terminal was last forgotten
  bool must_clear_ = false;       // the next update clears whatever it draws
  bool shell_text_gone_ = false;  // the screen was cleared at least once

  // The terminal's state as far as it is known.
  int cursor_column_ = 0;
  int cursor_row_ = 0;
  bool cursor_position_known_ = false;
  CursorVisibility cursor_visibility_ = CursorVisibility::kUnknown;
  Colour pen_fg_;
  Colour pen_bg_;
  bool pen_known_ = false;

  const SixelPicture* picture_ = nullptr;
  int picture_left_ = 0;
  int picture_top_ = 0;
  bool picture_drawn_ = false;  // shown_'s picture cells show picture_
  const KittyPicture* kitty_ = nullptr;
  bool kitty_placed_ = false;
  std::vector<std::array<int, 3>> kitty_boxes_;  // column, row, count of each box shown

  // The frame whose cells shown_ has, unless 0, and the last change of each
  // of its rows then (Frame::RowVersion).
  std::uint64_t synced_frame_ = 0;
  std::vector<std::uint64_t> synced_rows_;

  int lowest_drawn_row_ = -1;  // 0-based: the lowest row drawn on or the cursor stood on; -1: none
  bool keyboard_flags_pushed_ = false;

  std::string out_;
};

}  // namespace vistamere::term
