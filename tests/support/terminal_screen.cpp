#include "tests/support/terminal_screen.h"

#include <cstdio>

#include "console/code_page_437.h"

namespace vistamere::term::testing {
namespace {

bool ColourIs(const VTermColor& actual, Colour expected, bool foreground) {
  const bool is_default =
      foreground ? VTERM_COLOR_IS_DEFAULT_FG(&actual) : VTERM_COLOR_IS_DEFAULT_BG(&actual);
  switch (expected.kind) {
    case Colour::Kind::kDefault:
      return is_default;
    case Colour::Kind::kAnsi:
    case Colour::Kind::kIndexed:
      return !is_default && VTERM_COLOR_IS_INDEXED(&actual) && actual.indexed.idx == expected.value;
    case Colour::Kind::kRgb:
      return !is_default && VTERM_COLOR_IS_RGB(&actual) &&
             ((std::uint32_t{actual.rgb.red} << 16) | (std::uint32_t{actual.rgb.green} << 8) |
              actual.rgb.blue) == expected.value;
  }
  return false;
}

std::string DescribeColour(const VTermColor& colour) {
  char text[32];
  if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return "default";
  if (VTERM_COLOR_IS_INDEXED(&colour)) {
    std::snprintf(text, sizeof text, "index %d", colour.indexed.idx);
  } else {
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.rgb.red, colour.rgb.green,
                  colour.rgb.blue);
  }
  return text;
}

std::string DescribeColour(Colour colour) {
  char text[32];
  switch (colour.kind) {
    case Colour::Kind::kDefault:
      return "default";
    case Colour::Kind::kAnsi:
    case Colour::Kind::kIndexed:
      std::snprintf(text, sizeof text, "index %u", colour.value);
      return text;
    case Colour::Kind::kRgb:
      std::snprintf(text, sizeof text, "#%06x", colour.value);
      return text;
  }
  return "?";
}

}  // namespace

TerminalScreen::TerminalScreen(int columns, int rows) : vterm_(vterm_new(rows, columns)) {
  vterm_set_utf8(vterm_, 1);
  screen_ = vterm_obtain_screen(vterm_);
  callbacks_.settermprop = &TerminalScreen::OnTermProp;
  vterm_screen_set_callbacks(screen_, &callbacks_, this);
  vterm_screen_reset(screen_, 1);
}

TerminalScreen::~TerminalScreen() {
  vterm_free(vterm_);
}

int TerminalScreen::OnTermProp(VTermProp prop, VTermValue* value, void* self) {
  if (prop == VTERM_PROP_CURSORVISIBLE) {
    static_cast<TerminalScreen*>(self)->cursor_visible_ = value->boolean != 0;
  }
  return 1;
}

void TerminalScreen::Feed(std::string_view bytes) {
  vterm_input_write(vterm_, bytes.data(), bytes.size());
}

void TerminalScreen::Resize(int columns, int rows) {
  vterm_set_size(vterm_, rows, columns);
}

std::string TerminalScreen::TakeAnswers() {
  std::string answers(vterm_output_get_buffer_current(vterm_), '\0');
  answers.resize(vterm_output_read(vterm_, answers.data(), answers.size()));
  return answers;
}

int TerminalScreen::columns() const {
  int rows = 0;
  int columns = 0;
  vterm_get_size(vterm_, &rows, &columns);
  return columns;
}

int TerminalScreen::rows() const {
  int rows = 0;
  int columns = 0;
  vterm_get_size(vterm_, &rows, &columns);
  return rows;
}

std::string TerminalScreen::RowText(int row) const {
  std::string text;
  for (int column = 0; column < columns(); ++column) {
    char bytes[4];
    text.append(bytes, static_cast<std::size_t>(AppendUtf8(GlyphAt(column, row), bytes)));
  }
  return text;
}

std::string TerminalScreen::Snapshot() const {
  std::string snapshot;
  for (int row = 0; row < rows(); ++row) {
    for (int column = 0; column < columns(); ++column) {
      snapshot += DescribeCell(column, row);
      snapshot += '|';
    }
    snapshot += '\n';
  }
  snapshot += "cursor " + std::to_string(cursor_row()) + "," + std::to_string(cursor_column()) +
              (cursor_visible_ ? " shown" : " hidden");
  return snapshot;
}

VTermScreenCell TerminalScreen::CellAt(int column, int row) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
  return cell;
}

char32_t TerminalScreen::GlyphAt(int column, int row) const {
  const VTermScreenCell cell = CellAt(column, row);
  // libvterm keeps erased cells as no character at all; they show blank.
  return cell.chars[0] == 0 ? U' ' : static_cast<char32_t>(cell.chars[0]);
}

bool TerminalScreen::ForegroundIs(int column, int row, Colour expected) const {
  return ColourIs(CellAt(column, row).fg, expected, true);
}

bool TerminalScreen::BackgroundIs(int column, int row, Colour expected) const {
  return ColourIs(CellAt(column, row).bg, expected, false);
}

std::string TerminalScreen::DescribeCell(int column, int row) const {
  const VTermScreenCell cell = CellAt(column, row);
  char text[64];
  std::snprintf(text, sizeof text, "U+%04X ", static_cast<unsigned>(GlyphAt(column, row)));
  return text + DescribeColour(cell.fg) + " on " + DescribeColour(cell.bg);
}

int TerminalScreen::cursor_column() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return position.col;
}

int TerminalScreen::cursor_row() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return position.row;
}

std::string TerminalScreen::MismatchesWith(const Frame& frame, int max_reported) const {
  std::string report;
  int reported = 0;
  for (int row = 0; row < frame.rows(); ++row) {
    for (int column = 0; column < frame.columns(); ++column) {
      if (!frame.Known(column, row)) continue;
      const TermCell& want = frame.At(column, row);
      if (GlyphAt(column, row) == want.glyph && ForegroundIs(column, row, want.fg) &&
          BackgroundIs(column, row, want.bg)) {
        continue;
      }
      if (reported++ >= max_reported) continue;
      char text[96];
      std::snprintf(text, sizeof text, "(%d,%d): want U+%04X %s on %s, terminal has ", column, row,
                    static_cast<unsigned>(want.glyph), DescribeColour(want.fg).c_str(),
                    DescribeColour(want.bg).c_str());
      report += text + DescribeCell(column, row) + "\n";
    }
  }
  if (reported > max_reported) report += std::to_string(reported) + " cells differ in all\n";
  return report;
}

}  // namespace vistamere::term::testing
