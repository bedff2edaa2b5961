// The text console: screen size, clearing, cursor placement, printing of
// texts and numbers, line input and key waits, written once over a
// ConsoleDevice. Rows and columns are 1-based here.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "console/console_device.h"
#include "console/text.h"
#include "console/typed_line.h"

namespace vistamere {

struct ConsoleState {
  int ForeColour = 7;
  int BackColour = 0;
  bool PendingWrap = false;
  int CursorSize = 25;
  bool CursorVisible = true;
  bool CursorOverride = false;

  [[nodiscard]] std::uint8_t Attribute() const {
    return static_cast<std::uint8_t>((BackColour & 0x0F) * 16 + (ForeColour & 0x0F));
  }
};

// Room for one typed line.
inline constexpr int kLineInputCapacity = 10000;

// What line input may use besides the keys: where to keep the line as
// typed, and what completes it on Tab (Tab is ignored without it).
struct LineInputAids {
  TypedLine* typed_line = nullptr;
  LineCompleter* completer = nullptr;
};

class TextConsole {
 public:
  // Reads the cursor shape from the device; neither clears nor moves anything.
  explicit TextConsole(ConsoleDevice& device, LineInputAids aids = {});

  void SetScreenSize(std::int32_t rows, std::int32_t columns);
  void ClearScreen();
  void Locate(std::int32_t row, std::int32_t column);
  void PrintText(const Text& text);
  void PrintNewline();
  void PrintNumber(std::int64_t value);
  Text LineInput();
  Text WaitKey();

  // Internal steps, open for tests.
  [[nodiscard]] std::optional<Text> PeekKey();
  void CursorBack();

  const ConsoleState& state() const { return state_; }

 private:
  ScreenBufferInfo ReadInfo();
  // WaitKey, and the record of the key it returns.
  Text WaitKeyRecord(KeyEventRecord& record);
  void ScrollUp();
  void SetCursorVisibility(bool visible);

  ConsoleDevice& device_;
  LineInputAids aids_;
  ConsoleState state_;
  std::vector<Cell> print_cells_;  // PrintText's cells, kept between calls
};

// The key string of one key event, or nothing for an event that is no key of
// its own (a release, a modifier key alone).
[[nodiscard]] std::optional<Text> KeyStringOf(const KeyEventRecord& key);

}  // namespace vistamere
