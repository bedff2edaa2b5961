// The handful of console functions the text console is written against.
// Coordinates here are 0-based, column first, as the console has them; the
// text console above speaks 1-based rows and columns.
#pragma once

#include <cstdint>
#include <span>

#include "console/input_record.h"

namespace vistamere {

// The most rows or columns a screen buffer has.
inline constexpr int kLargestScreenSide = 9999;

struct Cell {
  std::uint8_t character = ' ';  // code page 437 byte
  std::uint8_t attribute = 0x07;

  friend bool operator==(const Cell&, const Cell&) = default;
};

struct ScreenBufferInfo {
  int columns = 0;
  int rows = 0;
  int cursor_column = 0;  // 0-based
  int cursor_row = 0;     // 0-based
};

struct CursorInfo {
  int size = 25;  // percent of the cell, 1 to 100
  bool visible = true;
};

// An inclusive rectangle of cells, 0-based.
struct CellRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class ConsoleDevice {
 public:
  virtual ~ConsoleDevice() = default;

  virtual bool GetScreenBufferInfo(ScreenBufferInfo& info) = 0;
  virtual bool SetScreenBufferSize(int columns, int rows) = 0;
  virtual bool SetWindowInfo(const CellRect& window) = 0;
  virtual bool SetCursorPosition(int column, int row) = 0;
  virtual bool GetCursorInfo(CursorInfo& info) = 0;
  virtual bool SetCursorInfo(const CursorInfo& info) = 0;

  // Writes cells into one row from (column, row) on, clipped to the buffer;
  // the cursor does not move.
  virtual bool WriteOutput(int column, int row, std::span<const Cell> cells) = 0;
  // Fill `count` cells from (column, row) on, in reading order, wrapping
  // from row to row and stopping at the end of the buffer.
  virtual bool FillOutputCharacter(std::uint8_t character, int count, int column, int row) = 0;
  virtual bool FillOutputAttribute(std::uint8_t attribute, int count, int column, int row) = 0;
  // Moves the cells of `source` so that its top-left lands on
  // (dest_column, dest_row); cells of `source` that the move uncovers
  // become `fill`. Everything is clipped to the buffer.
  virtual bool ScrollScreenBuffer(const CellRect& source, int dest_column, int dest_row,
                                  Cell fill) = 0;

  // Looks at the first input event without removing it; false when none.
  virtual bool PeekInput(InputRecord& record) = 0;
  // Removes the first input event; false when none.
  virtual bool ReadInput(InputRecord& record) = 0;

  virtual void Sleep(int milliseconds) = 0;
};

}  // namespace vistamere
