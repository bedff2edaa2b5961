// A console screen buffer held in memory: cells, cursor, cursor shape and an
// input queue, with the semantics of the console functions the text console
// uses. Tests drive it directly; the terminal platform builds on it and
// shows its cells.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "console/console_device.h"

namespace vistamere {

class ScreenBuffer : public ConsoleDevice {
 public:
  ScreenBuffer(int columns, int rows);

  bool GetScreenBufferInfo(ScreenBufferInfo& info) override;
  bool SetScreenBufferSize(int columns, int rows) override;
  bool SetWindowInfo(const CellRect& window) override;
  bool SetCursorPosition(int column, int row) override;
  bool GetCursorInfo(CursorInfo& info) override;
  bool SetCursorInfo(const CursorInfo& info) override;
  bool WriteOutput(int column, int row, std::span<const Cell> cells) override;
  bool FillOutputCharacter(std::uint8_t character, int count, int column, int row) override;
  bool FillOutputAttribute(std::uint8_t attribute, int count, int column, int row) override;
  bool ScrollScreenBuffer(const CellRect& source, int dest_column, int dest_row,
                          Cell fill) override;
  bool PeekInput(InputRecord& record) override;
  bool ReadInput(InputRecord& record) override;
  void Sleep(int milliseconds) override;

  // Test and platform side.
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  int cursor_column() const { return cursor_column_; }  // 0-based
  int cursor_row() const { return cursor_row_; }        // 0-based
  const CursorInfo& cursor_info() const { return cursor_info_; }
  const CellRect& window() const { return window_; }
  const Cell& At(int column, int row) const;  // 0-based
  // The characters of one row (0-based) as a byte string.
  std::string RowText(int row) const;
  // Whether the program has written the cell since start (the terminal only
  // draws cells the program wrote until the screen is first cleared).
  bool Written(int column, int row) const;

  // Bumped on every change of cells, cursor or cursor shape.
  std::uint64_t generation() const { return generation_; }
  // Whole-buffer scrolls since start, for a presenter that scrolls too.
  std::uint64_t scroll_count() const { return scroll_count_; }
  std::uint64_t sleep_milliseconds() const { return sleep_milliseconds_; }

  void PlaceCursor(int column, int row);  // set-up: where the terminal's cursor stands
  void PushInput(const InputRecord& record) { input_.push_back(record); }
  std::size_t pending_input() const { return input_.size(); }

  // Called when a look at the input finds the queue empty; may push input
  // (a terminal waits for bytes here). Returns whether input was pushed.
  std::function<bool()> on_input_empty;
  // Called for every Sleep; the default does not wait at all.
  std::function<void(int)> on_sleep;

 private:
  std::size_t IndexOf(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  void Resize(int columns, int rows);
  void Touch() { ++generation_; }

  int columns_;
  int rows_;
  std::vector<Cell> cells_;
  std::vector<bool> written_;
  int cursor_column_ = 0;
  int cursor_row_ = 0;
  CursorInfo cursor_info_;
  CellRect window_;
  std::deque<InputRecord> input_;
  std::uint64_t generation_ = 0;
  std::uint64_t scroll_count_ = 0;
  std::uint64_t sleep_milliseconds_ = 0;
};

}  // namespace vistamere
