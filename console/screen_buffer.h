// A console screen buffer held in memory: cells, cursor, cursor shape and an
// input queue, with the semantics of the console functions the text console
// uses. A plain model: no I/O, and a sleep takes no time. Tests run the
// console on it; the terminal console device keeps its screen in one.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
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
  // One row (0-based) at a time: its cells, and for each whether it was written.
  std::span<const Cell> RowCells(int row) const {
    return {cells_.data() + IndexOf(0, row), static_cast<std::size_t>(columns_)};
  }
  std::span<const std::uint8_t> RowWritten(int row) const {
    return {written_.data() + IndexOf(0, row), static_cast<std::size_t>(columns_)};
  }

  void PlaceCursor(int column, int row);  // set-up: where the terminal's cursor stands
  void PushInput(const InputRecord& record) { input_.push_back(record); }
  std::size_t pending_input() const { return input_.size(); }

 private:
  std::size_t IndexOf(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  void Resize(int columns, int rows);
  // Sets one field of `count` cells from (column, row) on, in reading order.
  template <typename SetField>
  bool Fill(int count, int column, int row, SetField set_field);

  int columns_;
  int rows_;
  std::vector<Cell> cells_;
  std::vector<std::uint8_t> written_;  // 1: written
  int cursor_column_ = 0;
  int cursor_row_ = 0;
  CursorInfo cursor_info_;
  CellRect window_;
  std::deque<InputRecord> input_;
};

}  // namespace vistamere
