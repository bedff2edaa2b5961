// Shared pieces of the text console tests: a 40 by 102 in-memory screen with
// a key script that ends the test when it runs dry, and key-event builders.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console/input_record.h"
#include "console/screen_buffer.h"
#include "console/text_console.h"

namespace vistamere::console_test {

// Thrown when a wait looks at an empty queue: the script has run out, and a
// real console would block here for ever.
struct ScriptEnded : std::runtime_error {
  ScriptEnded() : std::runtime_error("key script ran out") {}
};

// Scan codes (PC set 1) used by the tests.
inline constexpr std::uint16_t kScanEsc = 0x01;
inline constexpr std::uint16_t kScan1 = 0x02;
inline constexpr std::uint16_t kScanBackspace = 0x0E;
inline constexpr std::uint16_t kScanTab = 0x0F;
inline constexpr std::uint16_t kScanEnter = 0x1C;
inline constexpr std::uint16_t kScanCtrl = 0x1D;
inline constexpr std::uint16_t kScanA = 0x1E;
inline constexpr std::uint16_t kScanLeftShift = 0x2A;
inline constexpr std::uint16_t kScanX = 0x2D;
inline constexpr std::uint16_t kScanF1 = 0x3B;
inline constexpr std::uint16_t kScanUp = 0x48;
inline constexpr std::uint16_t kScanLeft = 0x4B;

inline InputRecord KeyEvent(bool down, std::uint16_t scan, std::uint8_t character,
                            std::uint32_t state = 0) {
  InputRecord record;
  record.type = InputEventType::kKey;
  record.key.key_down = down;
  record.key.scan_code = scan;
  record.key.character = character;
  record.key.control_state = state;
  return record;
}

inline InputRecord OtherEvent(InputEventType type) {
  InputRecord record;
  record.type = type;
  return record;
}

// A text from bytes, so that 0x00 and bytes above 0x7F read plainly.
inline std::string Bytes(std::initializer_list<int> bytes) {
  std::string text;
  for (int b : bytes) text.push_back(static_cast<char>(b));
  return text;
}

// The in-memory screen, noting the size and window calls it gets and counting
// the cell writes, fills, whole-screen scrolls and sleeps, so that tests can
// see how the console drives it. `on_input_empty` runs when a look at the
// input finds the queue empty (it may push input, or throw to end a
// script); `on_sleep` runs for every sleep.
class RecordingScreen : public ScreenBuffer {
 public:
  using ScreenBuffer::ScreenBuffer;

  bool PeekInput(InputRecord& record) override {
    if (pending_input() == 0 && on_input_empty) on_input_empty();
    return ScreenBuffer::PeekInput(record);
  }
  void Sleep(int milliseconds) override {
    sleep_milliseconds_ += static_cast<std::uint64_t>(std::max(milliseconds, 0));
    if (on_sleep) on_sleep(milliseconds);
  }
  bool ScrollScreenBuffer(const CellRect& source, int dest_column, int dest_row,
                          Cell fill) override {
    if (source.left == 0 && source.top <= 1 && source.right == columns() - 1 &&
        source.bottom == rows() - 1 && dest_column == 0 && dest_row == source.top - 1) {
      ++scroll_count_;
    }
    return ScreenBuffer::ScrollScreenBuffer(source, dest_column, dest_row, fill);
  }

  bool SetScreenBufferSize(int columns, int rows) override {
    calls.push_back("buffer " + std::to_string(columns) + "x" + std::to_string(rows));
    return ScreenBuffer::SetScreenBufferSize(columns, rows);
  }
  bool SetWindowInfo(const CellRect& w) override {
    calls.push_back("window " + std::to_string(w.left) + "," + std::to_string(w.top) + "-" +
                    std::to_string(w.right) + "," + std::to_string(w.bottom));
    return ScreenBuffer::SetWindowInfo(w);
  }
  bool WriteOutput(int column, int row, std::span<const Cell> cells) override {
    ++writes;
    return ScreenBuffer::WriteOutput(column, row, cells);
  }
  bool FillOutputCharacter(std::uint8_t character, int count, int column, int row) override {
    ++character_fills;
    return ScreenBuffer::FillOutputCharacter(character, count, column, row);
  }
  bool FillOutputAttribute(std::uint8_t attribute, int count, int column, int row) override {
    ++attribute_fills;
    return ScreenBuffer::FillOutputAttribute(attribute, count, column, row);
  }

  std::uint64_t scroll_count() const { return scroll_count_; }
  std::uint64_t sleep_milliseconds() const { return sleep_milliseconds_; }

  std::function<void()> on_input_empty;
  std::function<void(int)> on_sleep;
  std::vector<std::string> calls;
  int writes = 0;
  int character_fills = 0;
  int attribute_fills = 0;

 private:
  std::uint64_t scroll_count_ = 0;
  std::uint64_t sleep_milliseconds_ = 0;
};

class ConsoleTest : public ::testing::Test {
 protected:
  static constexpr int kRows = 40;
  static constexpr int kColumns = 102;

  ConsoleTest() { Reset(); }

  // A fresh screen with the given cursor shape and a fresh console over it.
  void Reset(CursorInfo cursor = {}, int columns = kColumns, int rows = kRows) {
    console_.reset();
    screen_.emplace(columns, rows);
    screen_->SetCursorInfo(cursor);
    screen_->on_input_empty = [] { throw ScriptEnded(); };
    console_.emplace(*screen_);
    screen_->calls.clear();
  }
  RecordingScreen& screen() { return *screen_; }
  TextConsole& console() { return *console_; }

  // Press and release of one key, the way a console reports it.
  void Press(std::uint16_t scan, std::uint8_t character, std::uint32_t state = 0) {
    screen_->PushInput(KeyEvent(true, scan, character, state));
    screen_->PushInput(KeyEvent(false, scan, character, state));
  }
  // Typing of printable bytes; the scan code does not matter for them.
  void Type(const std::string& text) {
    for (char c : text) Press(kScanA, static_cast<std::uint8_t>(c));
  }

  // 1-based cursor, as the console operations speak.
  std::pair<int, int> Cursor() const {
    return {screen_->cursor_row() + 1, screen_->cursor_column() + 1};
  }
  // Places the cursor without going through the console (1-based).
  void PlaceAt(int row, int column) { screen_->PlaceCursor(column - 1, row - 1); }
  // Row text of a 1-based row.
  std::string Row(int row) const { return screen_->RowText(row - 1); }
  // The character of a 1-based cell.
  char CharAt(int row, int column) const {
    return static_cast<char>(screen_->At(column - 1, row - 1).character);
  }
  // Fills every cell with attribute 0x1F and row r (1-based) with the letter
  // Filled(r), so that neighbouring rows differ and every change shows.
  void Prefill() {
    for (int r = 1; r <= kRows; ++r) {
      const std::string text = Filled(r);
      std::vector<Cell> cells;
      for (char c : text) cells.push_back(Cell{static_cast<std::uint8_t>(c), 0x1F});
      screen_->WriteOutput(0, r - 1, cells);
    }
  }
  static std::string Filled(int row) {
    return std::string(kColumns, static_cast<char>('A' + (row - 1) % 26));
  }
  static std::string Blank() { return std::string(kColumns, ' '); }
  // `row` with `text` laid over it from the 1-based `column` on.
  static std::string Over(std::string row, int column, const std::string& text) {
    return row.replace(static_cast<std::size_t>(column - 1), text.size(), text);
  }
  // Whether every cell of a 1-based row has the attribute.
  bool RowAttribute(int row, std::uint8_t attribute) const {
    for (int c = 0; c < kColumns; ++c) {
      if (screen_->At(c, row - 1).attribute != attribute) return false;
    }
    return true;
  }

  std::optional<RecordingScreen> screen_;
  std::optional<TextConsole> console_;
};

}  // namespace vistamere::console_test
