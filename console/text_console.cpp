#include "console/text_console.h"

#include <algorithm>
#include <array>
#include <vector>

#include "console/code_page_437.h"
#include "console/us_keyboard.h"

namespace vistamere {
namespace {

// A move of the cursor to a row above it waits twice this long, as the
// console the program was written for did.
constexpr int kMoveUpWaitMs = 1;

// WaitKey looks for a key once every this many milliseconds.
constexpr int kKeyPollMs = 1;

// The line editing keys' bytes.
constexpr std::uint8_t kBackspaceByte = 0x08;
constexpr std::uint8_t kTabByte = 0x09;
constexpr std::uint8_t kEnterByte = 0x0D;

// The character typed for a byte of the line: as the key reported it where
// that is what the byte stands for, else the byte's own glyph.
char32_t TypedCharacter(const KeyEventRecord& record, std::uint8_t byte) {
  if (record.unicode != 0 && UnicodeToCp437(record.unicode) == byte) return record.unicode;
  return Cp437ToUnicode(byte);
}

// Keys that only change what other keys do.
constexpr std::array<std::uint8_t, 7> kModifierScanCodes = {
    scan::kCtrl,     scan::kLeftShift, scan::kRightShift, scan::kAlt,
    scan::kCapsLock, scan::kNumLock,   scan::kScrollLock,
};

bool IsModifierScanCode(std::uint8_t scan_code) {
  return std::find(kModifierScanCodes.begin(), kModifierScanCodes.end(), scan_code) !=
         kModifierScanCodes.end();
}

bool IsAltLetterScanCode(std::uint8_t scan_code) {
  return std::any_of(kUsLetterRows.begin(), kUsLetterRows.end(), [scan_code](const LetterRow& row) {
    return scan_code >= row.first_scan_code &&
           static_cast<std::size_t>(scan_code - row.first_scan_code) < row.letters.size();
  });
}

// Caps Lock must not change the digit and punctuation keys.
std::uint8_t CapsLockCorrection(std::uint8_t c, std::uint8_t scan_code, std::uint32_t state) {
  if ((state & kCapsLockOn) == 0) return c;
  for (const SymbolKey& key : kUsSymbolKeys) {
    if (key.scan_code != scan_code) continue;
    if ((state & kShiftPressed) != 0) return c == key.plain ? key.shifted : c;
    return c == key.shifted ? key.plain : c;
  }
  return scan_code == scan::kEsc ? 0x1B : c;
}

Text ExtendedKey(std::uint8_t scan_code) {
  return Text{'\0', static_cast<char>(scan_code)};
}

}  // namespace

std::optional<Text> KeyStringOf(const KeyEventRecord& key) {
  if (!key.key_down) return std::nullopt;
  const std::uint8_t c = key.character;
  const auto s = static_cast<std::uint8_t>(key.scan_code & 0xFF);
  const std::uint32_t m = key.control_state;
  if (c != 0) {
    if ((m & (kRightAltPressed | kLeftAltPressed)) != 0 && IsAltLetterScanCode(s)) {
      return ExtendedKey(s);
    }
    return Text(1, static_cast<char>(CapsLockCorrection(c, s, m)));
  }
  if (s == scan::kEsc) return Text(1, static_cast<char>(CapsLockCorrection(c, s, m)));
  if (IsModifierScanCode(s)) return std::nullopt;
  return ExtendedKey(s);
}

TextConsole::TextConsole(ConsoleDevice& device, LineInputAids aids) : device_(device), aids_(aids) {
  CursorInfo info{0, false};
  if (device_.GetCursorInfo(info) && info.size > 0) {
    state_.CursorSize = info.size;
    state_.CursorVisible = info.visible;
  } else {
    state_.CursorSize = 10;
    state_.CursorVisible = true;
    device_.SetCursorInfo({10, true});
  }
}

ScreenBufferInfo TextConsole::ReadInfo() {
  ScreenBufferInfo info;
  device_.GetScreenBufferInfo(info);
  return info;
}

void TextConsole::SetCursorVisibility(bool visible) {
  device_.SetCursorInfo({state_.CursorSize, visible});
}

void TextConsole::SetScreenSize(std::int32_t rows, std::int32_t columns) {
  constexpr auto kLargest = static_cast<std::uint32_t>(kLargestScreenSide);
  if (static_cast<std::uint32_t>(columns) > kLargest ||
      static_cast<std::uint32_t>(rows) > kLargest) {
    return;
  }
  const ScreenBufferInfo info = ReadInfo();
  device_.SetScreenBufferSize(std::max(columns, info.columns), std::max(rows, info.rows));
  device_.SetWindowInfo({0, 0, columns - 1, rows - 1});
  device_.SetScreenBufferSize(columns, rows);
}

void TextConsole::ClearScreen() {
  if (state_.CursorVisible) {
    SetCursorVisibility(false);
    state_.CursorOverride = true;
  }
  const ScreenBufferInfo info = ReadInfo();
  const int count = info.columns * info.rows;
  device_.FillOutputCharacter(' ', count, 0, 0);
  device_.FillOutputAttribute(state_.Attribute(), count, 0, 0);
  Locate(1, 1);
  if (state_.CursorOverride) {
    SetCursorVisibility(true);
    state_.CursorOverride = false;
  }
}

void TextConsole::Locate(std::int32_t row, std::int32_t column) {
  const ScreenBufferInfo info = ReadInfo();
  const int current_row = info.cursor_row + 1;
  const int current_column = info.cursor_column + 1;
  if (column < 1 || column > info.columns) column = current_column;
  if (row < 1 || row > info.rows) row = current_row;
  device_.SetCursorPosition(column - 1, row - 1);
  state_.PendingWrap = false;
  if (row < current_row) {
    device_.Sleep(kMoveUpWaitMs);
    device_.Sleep(kMoveUpWaitMs);
  }
}

void TextConsole::ScrollUp() {
  const ScreenBufferInfo info = ReadInfo();
  device_.ScrollScreenBuffer({0, 1, info.columns - 1, info.rows - 1}, 0, 0,
                             Cell{' ', state_.Attribute()});
}

void TextConsole::PrintText(const Text& text) {
  if (text.empty()) return;
  const ScreenBufferInfo info = ReadInfo();
  int y = info.cursor_row + 1;
  int x = info.cursor_column + 1;
  const int columns = info.columns;
  const int rows = info.rows;
  std::vector<Cell>& block = print_cells_;
  std::size_t done = 0;
  while (done < text.size()) {
    if (state_.PendingWrap) {
      state_.PendingWrap = false;
      ScrollUp();
    }
    const std::size_t k = std::min(text.size() - done, static_cast<std::size_t>(columns - x + 1));
    block.clear();
    for (std::size_t i = 0; i < k; ++i) {
      block.push_back(Cell{static_cast<std::uint8_t>(text[done + i]), state_.Attribute()});
    }
    device_.WriteOutput(x - 1, y - 1, block);
    done += k;
    x += static_cast<int>(k);
    if (x > columns) {
      x = 1;
      if (y < rows) {
        ++y;
      } else {
        state_.PendingWrap = true;
      }
    }
  }
  const bool pending = state_.PendingWrap;
  Locate(y, x);
  state_.PendingWrap = pending;
}

void TextConsole::PrintNewline() {
  const ScreenBufferInfo info = ReadInfo();
  const int y = info.cursor_row + 1;
  if (y < info.rows) {
    Locate(y + 1, 1);
    return;
  }
  if (state_.PendingWrap) {
    state_.PendingWrap = false;
    ScrollUp();
  }
  ScrollUp();
  Locate(info.rows, 1);
}

void TextConsole::PrintNumber(std::int64_t value) {
  PrintText(NumberToText(value) + " ");
}

std::optional<Text> TextConsole::PeekKey() {
  InputRecord record;
  while (device_.PeekInput(record)) {
    if (record.type == InputEventType::kKey) {
      if (auto key = KeyStringOf(record.key)) return key;
    }
    // A release, a modifier key alone or an event of another kind: drop it.
    device_.ReadInput(record);
  }
  return std::nullopt;
}

Text TextConsole::WaitKey() {
  KeyEventRecord record;
  return WaitKeyRecord(record);
}

Text TextConsole::WaitKeyRecord(KeyEventRecord& record) {
  for (;;) {
    device_.Sleep(kKeyPollMs);
    if (auto key = PeekKey()) {
      InputRecord consumed;
      device_.ReadInput(consumed);
      record = consumed.key;
      return *key;
    }
  }
}

void TextConsole::CursorBack() {
  const ScreenBufferInfo info = ReadInfo();
  if (state_.PendingWrap) {
    state_.PendingWrap = false;
    Locate(info.rows, info.columns);
  } else if (info.cursor_column + 1 > 1) {
    Locate(info.cursor_row + 1, info.cursor_column);
  } else {
    Locate(info.cursor_row, info.columns);
  }
}

Text TextConsole::LineInput() {
  if (!state_.CursorVisible) {
    SetCursorVisibility(true);
    state_.CursorOverride = true;
  }
  Text line;
  line.reserve(kLineInputCapacity);
  std::u32string typed;  // what was typed for each byte of the line
  const auto add = [&](std::uint8_t byte, char32_t character) {
    if (line.size() >= kLineInputCapacity) return;
    line.push_back(static_cast<char>(byte));
    typed.push_back(character);
    PrintText(Text(1, static_cast<char>(byte)));
  };
  for (;;) {
    KeyEventRecord record;
    const Text key = WaitKeyRecord(record);
    if (key.size() != 1 || key[0] == '\0') continue;
    const auto b = static_cast<std::uint8_t>(key[0]);
    if (b == kBackspaceByte) {
      if (!line.empty()) {
        CursorBack();
        PrintText(" ");
        CursorBack();
        line.pop_back();
        typed.pop_back();
      }
    } else if (b == kEnterByte) {
      PrintNewline();
      break;
    } else if (b == kTabByte && aids_.completer != nullptr) {
      for (const char32_t character : aids_.completer->Complete(typed)) {
        add(UnicodeToCp437(character), character);
      }
    } else if (b >= 0x20) {
      add(b, TypedCharacter(record, b));
    }
  }
  if (state_.CursorOverride) {
    SetCursorVisibility(state_.CursorVisible);
    state_.CursorOverride = false;
  }
  if (aids_.typed_line != nullptr) aids_.typed_line->Remember(line, typed);
  return line;
}

}  // namespace vistamere
