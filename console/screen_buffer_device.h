// A console device that keeps its screen in memory: every output call goes
// to the screen buffer, which the platform's device shows whenever the
// program waits for input; the platform supplies the input.
#pragma once

#include <cstdint>
#include <span>

#include "console/console_device.h"
#include "console/screen_buffer.h"

namespace vistamere {

class ScreenBufferDevice : public ConsoleDevice {
 public:
  bool GetScreenBufferInfo(ScreenBufferInfo& info) override {
    return screen_.GetScreenBufferInfo(info);
  }
  bool SetScreenBufferSize(int columns, int rows) override {
    return screen_.SetScreenBufferSize(columns, rows);
  }
  bool SetWindowInfo(const CellRect& window) override { return screen_.SetWindowInfo(window); }
  bool SetCursorPosition(int column, int row) override {
    return screen_.SetCursorPosition(column, row);
  }
  bool GetCursorInfo(CursorInfo& info) override { return screen_.GetCursorInfo(info); }
  bool SetCursorInfo(const CursorInfo& info) override { return screen_.SetCursorInfo(info); }
  bool WriteOutput(int column, int row, std::span<const Cell> cells) override {
    return screen_.WriteOutput(column, row, cells);
  }
  bool FillOutputCharacter(std::uint8_t character, int count, int column, int row) override {
    return screen_.FillOutputCharacter(character, count, column, row);
  }
  bool FillOutputAttribute(std::uint8_t attribute, int count, int column, int row) override {
    return screen_.FillOutputAttribute(attribute, count, column, row);
  }
  bool ScrollScreenBuffer(const CellRect& source, int dest_column, int dest_row,
                          Cell fill) override {
    return screen_.ScrollScreenBuffer(source, dest_column, dest_row, fill);
  }

 protected:
  // At least one cell either way.
  ScreenBufferDevice(int columns, int rows)
      : screen_(columns > 0 ? columns : 1, rows > 0 ? rows : 1) {}

  ScreenBuffer screen_;
};

}  // namespace vistamere
