// The text console on the in-memory screen buffer: printing, wrapping and
// scrolling, cursor placement, clearing, screen size, key strings and line
// input.
#include "console/text_console.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/screen_buffer.h"
#include "tests/console/console_test_support.h"

namespace vistamere {
namespace {

using console_test::Bytes;
using console_test::ConsoleTest;
using console_test::KeyEvent;
using console_test::kScan1;
using console_test::kScanA;
using console_test::kScanBackspace;
using console_test::kScanCtrl;
using console_test::kScanEnter;
using console_test::kScanEsc;
using console_test::kScanF1;
using console_test::kScanLeft;
using console_test::kScanLeftShift;
using console_test::kScanTab;
using console_test::kScanUp;
using console_test::kScanX;
using console_test::OtherEvent;
using console_test::ScriptEnded;

using Position = std::pair<int, int>;  // 1-based row, column

// ---------------------------------------------------------------- printing

struct PrintCase {
  const char* name;
  Position start;
  std::string text;
  Position cursor;
  int writes;  // one cell-block write per row piece
  // Rows that change, as they read afterwards; every other row keeps its fill.
  std::vector<std::pair<int, std::string>> rows;
};

TEST_F(ConsoleTest, PrintTextWritesCellsAndWrapsRows) {
  const std::string row_of_102(kColumns, '#');
  std::string long_text;  // 43 + 102 + 5 bytes from row 10, column 60
  for (int i = 0; i < 150; ++i) long_text.push_back(static_cast<char>('a' + i % 26));
  const PrintCase cases[] = {
      {"status panel spaces", {1, 65}, "    ", {1, 69}, 1, {{1, Over(Filled(1), 65, "    ")}}},
      {"row of exactly 102", {10, 1}, row_of_102, {11, 1}, 1, {{10, row_of_102}}},
      {"ends in the last column", {5, 100}, "xyz", {6, 1}, 1, {{5, Over(Filled(5), 100, "xyz")}}},
      {"wraps across two row starts",
       {10, 60},
       long_text,
       {12, 6},
       3,
       {{10, Over(Filled(10), 60, long_text.substr(0, 43))},
        {11, long_text.substr(43, 102)},
        {12, Over(Filled(12), 1, long_text.substr(145))}}},
      {"control bytes are cells",
       {3, 1},
       Bytes({'a', 0x0A, 'b', 0x0D, 0x09, 0x07, 0x08, 0x1B, 0x00, 0x7F, 0xFF}),
       {3, 12},
       1,
       {{3, Over(Filled(3), 1,
                 Bytes({'a', 0x0A, 'b', 0x0D, 0x09, 0x07, 0x08, 0x1B, 0x00, 0x7F, 0xFF}))}}},
      {"wrap into the bottom row",
       {39, 101},
       "xyz",
       {40, 2},
       2,
       {{39, Over(Filled(39), 101, "xy")}, {40, Over(Filled(40), 1, "z")}}},
      {"empty text", {7, 7}, "", {7, 7}, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Prefill();
    console().Locate(c.start.first, c.start.second);
    const auto sleeps = screen().sleep_milliseconds();
    const int writes = screen().writes;
    console().PrintText(c.text);
    EXPECT_EQ(screen().writes - writes, c.writes);
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_FALSE(console().state().PendingWrap);
    EXPECT_EQ(screen().scroll_count(), 0u);
    EXPECT_EQ(screen().sleep_milliseconds(), sleeps);
    for (int r = 1; r <= kRows; ++r) {
      std::string expected = Filled(r);
      for (const auto& [row, text] : c.rows) {
        if (row == r) expected = text;
      }
      EXPECT_EQ(Row(r), expected) << "row " << r;
      // Written cells get attribute 0x07, the others keep theirs.
      for (int col = 1; col <= kColumns; ++col) {
        const bool written = expected[col - 1] != Filled(r)[col - 1];
        EXPECT_EQ(screen().At(col - 1, r - 1).attribute, written ? 0x07 : 0x1F) << r << "," << col;
      }
    }
  }
}

TEST_F(ConsoleTest, NumbersPrintWithSignAndTrailingSpace) {
  const std::pair<std::int64_t, std::string> cases[] = {
      {-80, "-80 "}, {0, " 0 "},  {50, " 50 "}, {7, " 7 "}, {-2147483648LL, "-2147483648 "},
      {3, " 3 "},    {-1, "-1 "},
  };
  for (const auto& [value, printed] : cases) {
    SCOPED_TRACE(value);
    Prefill();
    console().Locate(2, 10);
    console().PrintNumber(value);
    EXPECT_EQ(Row(2), Over(Filled(2), 10, printed));
    EXPECT_EQ(Cursor(), Position(2, 10 + static_cast<int>(printed.size())));
  }
}

// The bottom-right cell: text that ends there owes the move to a new line to
// whatever comes next.
struct PendingWrapCase {
  const char* name;
  std::function<void(TextConsole&)> next;
  std::uint64_t scrolls;
  Position cursor;
  std::vector<std::pair<int, std::string>> rows;
};

TEST_F(ConsoleTest, TextEndingInTheBottomRightCellDefersTheScroll) {
  const std::string last_row = Over(Filled(40), 102, "O");
  const PendingWrapCase cases[] = {
      {"nothing next", [](TextConsole&) {}, 0, {40, 1}, {{40, last_row}, {1, Filled(1)}}},
      {"locate cancels",
       [](TextConsole& console) {
         console.Locate(40, 1);
         console.PrintText("ab");
       },
       0,
       {40, 3},
       {{40, Over(last_row, 1, "ab")}, {39, Filled(39)}}},
      {"locate on the bottom row, then a newline scrolls once",
       [](TextConsole& console) {
         console.Locate(40, 50);
         console.PrintNewline();
       },
       1,
       {40, 1},
       {{39, last_row}, {40, Blank()}}},
      {"text scrolls first",
       [](TextConsole& console) { console.PrintText("ab"); },
       1,
       {40, 3},
       {{1, Filled(2)}, {38, Filled(39)}, {39, last_row}, {40, Over(Blank(), 1, "ab")}}},
      {"newline scrolls twice",
       [](TextConsole& console) { console.PrintNewline(); },
       2,
       {40, 1},
       {{1, Filled(3)}, {37, Filled(39)}, {38, last_row}, {39, Blank()}, {40, Blank()}}},
      {"empty text keeps the debt, newline pays it",
       [](TextConsole& console) {
         console.PrintText("");
         console.PrintNewline();
       },
       2,
       {40, 1},
       {{38, last_row}, {39, Blank()}, {40, Blank()}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    Prefill();
    console().Locate(40, 102);
    console().PrintText("O");
    ASSERT_EQ(Cursor(), Position(40, 1));
    ASSERT_TRUE(console().state().PendingWrap);
    ASSERT_EQ(screen().scroll_count(), 0u);
    c.next(console());
    EXPECT_EQ(screen().scroll_count(), c.scrolls);
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_EQ(screen().sleep_milliseconds(), 0u);
    for (const auto& [row, text] : c.rows) {
      EXPECT_EQ(Row(row), text) << "row " << row;
    }
    if (c.scrolls > 0) {
      EXPECT_TRUE(RowAttribute(40, 0x07));
    }
  }
}

TEST_F(ConsoleTest, NewlineMovesDownOrScrollsOnTheLastRow) {
  struct Case {
    const char* name;
    Position start;
    std::string text;  // printed before the newline
    std::uint64_t scrolls;
    Position cursor;
  };
  const Case cases[] = {
      {"middle row", {10, 50}, "", 0, {11, 1}},
      {"first row, first column", {1, 1}, "", 0, {2, 1}},
      {"after a full row it skips a row", {10, 1}, std::string(kColumns, 'x'), 0, {12, 1}},
      {"row 39", {39, 102}, "", 0, {40, 1}},
      {"last row", {40, 50}, "", 1, {40, 1}},
      {"last row, first column", {40, 1}, "", 1, {40, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    Prefill();
    console().Locate(c.start.first, c.start.second);
    console().PrintText(c.text);
    console().PrintNewline();
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_EQ(screen().scroll_count(), c.scrolls);
    EXPECT_EQ(screen().sleep_milliseconds(), 0u);
    if (c.scrolls == 1) {
      EXPECT_EQ(Row(1), Filled(2));
      EXPECT_EQ(Row(39), Filled(40));
      EXPECT_EQ(Row(40), Blank());
      EXPECT_TRUE(RowAttribute(40, 0x07));
      EXPECT_TRUE(RowAttribute(39, 0x1F));
    }
  }
}

TEST_F(ConsoleTest, TextLongerThanTheScreenScrollsOnceForEachRowBeyondIt) {
  struct Case {
    Position start;
    int length;
  };
  // Byte i of the text belongs to text row i / 102 and shows that row's letter.
  const Case cases[] = {
      {{1, 1}, kRows * kColumns},          // the whole screen, owing a scroll
      {{1, 1}, kRows * kColumns * 2 + 7},  // twice over and a bit
      {{39, 1}, kColumns * 3 + 10},
      {{40, 90}, 13 + kColumns * 5},  // ends in the bottom-right cell again
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start.first << "," << c.start.second << " " << c.length);
    Reset();
    Prefill();
    console().Locate(c.start.first, c.start.second);

    // Lay the text out on an endless sheet of rows, starting at sheet row 0.
    std::vector<std::string> sheet(1, Filled(c.start.first));
    int column = c.start.second;
    std::string text;
    for (int i = 0; i < c.length; ++i) {
      if (column > kColumns) {
        sheet.push_back(Blank());
        column = 1;
      }
      const char byte = static_cast<char>('a' + static_cast<int>(sheet.size()) % 26);
      text.push_back(byte);
      sheet.back()[column - 1] = byte;
      ++column;
    }
    const bool owes = column > kColumns;
    // Rows of the sheet that fell below row 40 were paid for by scrolls.
    const int bottom = c.start.first + static_cast<int>(sheet.size()) - 1;
    const int scrolls = std::max(0, bottom - kRows);

    console().PrintText(text);
    EXPECT_EQ(screen().scroll_count(), static_cast<std::uint64_t>(scrolls));
    EXPECT_EQ(console().state().PendingWrap, owes && bottom >= kRows);
    for (int r = 1; r <= kRows; ++r) {
      const int sheet_row = r - c.start.first + scrolls;
      const int original = r + scrolls;
      std::string expected;
      if (sheet_row >= 0 && sheet_row < static_cast<int>(sheet.size())) {
        expected = sheet[static_cast<std::size_t>(sheet_row)];
      } else if (original <= kRows) {
        expected = Filled(original);
      } else {
        expected = Blank();
      }
      ASSERT_EQ(Row(r), expected) << "row " << r;
    }
    const int cursor_row = std::min(bottom, kRows);
    EXPECT_EQ(Cursor(), Position(cursor_row, owes ? 1 : column));
    EXPECT_EQ(screen().sleep_milliseconds(), 0u);
  }
}

// ---------------------------------------------------------------- cursor

TEST_F(ConsoleTest, LocateKeepsEachOutOfRangeCoordinateAndSleepsWhenMovingUp) {
  struct Case {
    int row;
    int column;
    Position cursor;  // from row 10, column 20
    std::vector<int> sleeps;
  };
  const Case cases[] = {
      {0, 5, {10, 5}, {}},
      {3, 103, {3, 20}, {1, 1}},
      {41, 1, {10, 1}, {}},
      {-1, -1, {10, 20}, {}},
      {-2147483647 - 1, 2147483647, {10, 20}, {}},
      {40, 102, {40, 102}, {}},
      {1, 1, {1, 1}, {1, 1}},
      {9, 102, {9, 102}, {1, 1}},
      {10, 1, {10, 1}, {}},
      {11, 20, {11, 20}, {}},
      {1, 0, {1, 20}, {1, 1}},
  };
  std::vector<int> sleeps;
  screen().on_sleep = [&sleeps](int ms) { sleeps.push_back(ms); };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Locate(" << c.row << ", " << c.column << ")");
    PlaceAt(10, 20);
    sleeps.clear();
    console().Locate(c.row, c.column);
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_EQ(sleeps, c.sleeps);
  }
}

TEST_F(ConsoleTest, CursorBackStepsOneCellBackAcrossRowStarts) {
  struct Case {
    const char* name;
    Position start;
    bool pending_wrap;
    Position cursor;
  };
  const Case cases[] = {
      {"within a row", {5, 7}, false, {5, 6}},
      {"row start goes to the row above", {5, 1}, false, {4, 102}},
      {"top-left stays on row 1", {1, 1}, false, {1, 102}},
      {"owed wrap goes to the bottom-right cell", {40, 1}, true, {40, 102}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.pending_wrap) {
      console().Locate(40, 102);
      console().PrintText("z");
    } else {
      console().Locate(c.start.first, c.start.second);
    }
    ASSERT_EQ(console().state().PendingWrap, c.pending_wrap);
    console().CursorBack();
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_FALSE(console().state().PendingWrap);
    EXPECT_EQ(screen().scroll_count(), 0u);
  }
}

// ---------------------------------------------------------------- clearing and size

TEST_F(ConsoleTest, ClearScreenBlanksEverythingAndRestoresTheCursorVisibility) {
  for (const bool visible : {true, false}) {
    SCOPED_TRACE(visible ? "cursor shown" : "cursor hidden");
    Reset({40, visible});
    Prefill();
    console().Locate(40, 102);
    console().PrintText("z");  // leaves a wrap owed
    ASSERT_TRUE(console().state().PendingWrap);
    std::vector<bool> visible_while_waiting;
    screen().on_sleep = [this, &visible_while_waiting](int) {
      visible_while_waiting.push_back(screen().cursor_info().visible);
    };

    console().ClearScreen();
    // One fill of the characters and one of the attributes.
    EXPECT_EQ(screen().character_fills, 1);
    EXPECT_EQ(screen().attribute_fills, 1);

    for (int r = 1; r <= kRows; ++r) {
      EXPECT_EQ(Row(r), Blank()) << "row " << r;
      EXPECT_TRUE(RowAttribute(r, 0x07)) << "row " << r;
    }
    EXPECT_EQ(Cursor(), Position(1, 1));
    EXPECT_FALSE(console().state().PendingWrap);
    EXPECT_FALSE(console().state().CursorOverride);
    EXPECT_EQ(screen().cursor_info().visible, visible);
    EXPECT_EQ(screen().cursor_info().size, 40);
    EXPECT_EQ(screen().scroll_count(), 0u);
    // The move to the top-left goes up and waits; the cursor is hidden meanwhile.
    EXPECT_EQ(visible_while_waiting, std::vector<bool>(2, false));
    console().PrintText("ab");  // no owed scroll survives the clear
    EXPECT_EQ(screen().scroll_count(), 0u);
    EXPECT_EQ(Row(1), Over(Blank(), 1, "ab"));
  }
}

TEST_F(ConsoleTest, SetScreenSizeGrowsTheBufferBeforeTheWindow) {
  struct Case {
    const char* name;
    int columns0, rows0;  // the console before
    std::int32_t rows, columns;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> none;
  const Case cases[] = {
      {"wide and short console",
       120,
       30,
       40,
       102,
       {"buffer 120x40", "window 0,0-101,39", "buffer 102x40"}},
      {"small console", 80, 25, 40, 102, {"buffer 102x40", "window 0,0-101,39", "buffer 102x40"}},
      {"tall and narrow console",
       90,
       50,
       40,
       102,
       {"buffer 102x50", "window 0,0-101,39", "buffer 102x40"}},
      {"already the size",
       102,
       40,
       40,
       102,
       {"buffer 102x40", "window 0,0-101,39", "buffer 102x40"}},
      {"shrinking", 102, 40, 25, 80, {"buffer 102x40", "window 0,0-79,24", "buffer 80x25"}},
      {"rows above 9999", 120, 30, 10000, 50, none},
      {"columns above 9999", 120, 30, 40, 10000, none},
      {"negative rows", 120, 30, -1, 102, none},
      {"negative columns", 120, 30, 40, -102, none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset({}, c.columns0, c.rows0);
    const std::string marker = "keep";
    std::vector<Cell> cells;
    for (char ch : marker) cells.push_back(Cell{static_cast<std::uint8_t>(ch), 0x1F});
    screen().WriteOutput(4, 4, cells);
    screen().PlaceCursor(8, 6);

    console().SetScreenSize(c.rows, c.columns);

    EXPECT_EQ(screen().calls, c.calls);
    const int columns = c.calls.empty() ? c.columns0 : c.columns;
    const int rows = c.calls.empty() ? c.rows0 : c.rows;
    EXPECT_EQ(screen().columns(), columns);
    EXPECT_EQ(screen().rows(), rows);
    const CellRect window = screen().window();
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, columns - 1);
    EXPECT_EQ(window.bottom, rows - 1);
    // Neither cleared nor moved.
    EXPECT_EQ(screen().RowText(4).substr(4, 4), marker);
    EXPECT_EQ(screen().cursor_column(), 8);
    EXPECT_EQ(screen().cursor_row(), 6);
  }
}

// ---------------------------------------------------------------- keys

struct KeyCase {
  const char* name;
  std::vector<InputRecord> events;
  std::optional<std::string> key;  // nothing: the wait goes on
};

InputRecord Down(std::uint16_t scan, int character, std::uint32_t state = 0) {
  return KeyEvent(true, scan, static_cast<std::uint8_t>(character), state);
}
InputRecord Up(std::uint16_t scan, int character, std::uint32_t state = 0) {
  return KeyEvent(false, scan, static_cast<std::uint8_t>(character), state);
}
InputRecord Repeated(std::uint16_t scan, int character, std::uint16_t count) {
  InputRecord record = Down(scan, character);
  record.key.repeat_count = count;
  return record;
}

TEST_F(ConsoleTest, WaitKeyGivesTheKeyStringOfEachKey) {
  const std::uint32_t shift = kShiftPressed;
  const std::uint32_t caps = kCapsLockOn;
  const std::uint32_t alt = kLeftAltPressed;
  const KeyCase cases[] = {
      {"A", {Down(kScanA, 'a')}, "a"},
      {"Shift+A",
       {Down(kScanLeftShift, 0, shift), Down(kScanA, 'A', shift), Up(kScanA, 'A', shift)},
       "A"},
      {"Enter", {Down(kScanEnter, 0x0D)}, Bytes({0x0D})},
      {"Backspace", {Down(kScanBackspace, 0x08)}, Bytes({0x08})},
      {"Tab", {Down(kScanTab, 0x09)}, Bytes({0x09})},
      {"Esc with its character", {Down(kScanEsc, 0x1B)}, Bytes({0x1B})},
      {"Esc without a character", {Down(kScanEsc, 0)}, Bytes({0x00})},
      {"Esc without a character, Caps Lock", {Down(kScanEsc, 0, caps)}, Bytes({0x1B})},
      {"Ctrl+C", {Down(0x2E, 0x03, kLeftCtrlPressed)}, Bytes({0x03})},
      {"F1", {Down(kScanF1, 0)}, Bytes({0x00, 0x3B})},
      {"Up", {Down(kScanUp, 0, kEnhancedKey)}, Bytes({0x00, 0x48})},
      {"Up with an extended prefix in the high byte", {Down(0xE048, 0)}, Bytes({0x00, 0x48})},
      {"Delete", {Down(0x53, 0, kEnhancedKey)}, Bytes({0x00, 0x53})},
      {"unknown key without a character", {Down(0x00, 0)}, Bytes({0x00, 0x00})},
      {"Alt+X", {Down(kScanX, 'x', alt)}, Bytes({0x00, 0x2D})},
      {"right Alt+X", {Down(kScanX, 'x', kRightAltPressed)}, Bytes({0x00, 0x2D})},
      {"Alt+Shift+X", {Down(kScanX, 'X', alt | shift)}, Bytes({0x00, 0x2D})},
      {"Alt+Q, first of the top row", {Down(0x10, 'q', alt)}, Bytes({0x00, 0x10})},
      {"Alt+P, last of the top row", {Down(0x19, 'p', alt)}, Bytes({0x00, 0x19})},
      {"Alt+A", {Down(0x1E, 'a', alt)}, Bytes({0x00, 0x1E})},
      {"Alt+L", {Down(0x26, 'l', alt)}, Bytes({0x00, 0x26})},
      {"Alt+Z", {Down(0x2C, 'z', alt)}, Bytes({0x00, 0x2C})},
      {"Alt+M", {Down(0x32, 'm', alt)}, Bytes({0x00, 0x32})},
      {"Alt+1", {Down(kScan1, '1', alt)}, "1"},
      {"Alt+[", {Down(0x1A, '[', alt)}, "["},
      {"Alt+;", {Down(0x27, ';', alt)}, ";"},
      {"Alt+\\", {Down(0x2B, '\\', alt)}, "\\"},
      {"Alt+,", {Down(0x33, ',', alt)}, ","},
      {"Alt+Enter", {Down(kScanEnter, 0x0D, alt)}, Bytes({0x0D})},
      {"Ctrl+X is no Alt key", {Down(kScanX, 0x18, kLeftCtrlPressed)}, Bytes({0x18})},
      {"Caps Lock, 1", {Down(kScan1, '1', caps)}, "1"},
      {"Caps Lock, 1 reported shifted", {Down(kScan1, '!', caps)}, "1"},
      {"Caps Lock, Shift+1", {Down(kScan1, '!', caps | shift)}, "!"},
      {"Caps Lock, Shift+1 reported unshifted", {Down(kScan1, '1', caps | shift)}, "!"},
      {"Caps Lock, slash reported shifted", {Down(0x35, '?', caps)}, "/"},
      {"Caps Lock, Shift+quote reported unshifted", {Down(0x28, '\'', caps | shift)}, "\""},
      {"Caps Lock, other character on a pair key", {Down(kScan1, 'x', caps)}, "x"},
      {"Caps Lock, letters as reported", {Down(kScanA, 'A', caps)}, "A"},
      {"Caps Lock, Shift+letter as reported", {Down(kScanA, 'a', caps | shift)}, "a"},
      {"no Caps Lock, shifted character left alone", {Down(kScan1, '!')}, "!"},
      {"repeat count is one key", {Repeated(kScanA, 'a', 3)}, "a"},
      {"modifier keys alone, then a key",
       {Down(kScanLeftShift, 0, shift), Down(0x36, 0, shift), Down(kScanCtrl, 0, kLeftCtrlPressed),
        Down(0x38, 0, alt), Down(0x3A, 0, caps), Down(0x45, 0, kNumLockOn),
        Down(0x46, 0, kScrollLockOn), Up(kScanLeftShift, 0), Down(kScanA, 'b')},
       "b"},
      {"other events skipped",
       {OtherEvent(InputEventType::kMouse), OtherEvent(InputEventType::kWindowSize),
        OtherEvent(InputEventType::kMenu), OtherEvent(InputEventType::kFocus), Down(kScanA, 'c')},
       "c"},
      {"releases skipped", {Up(kScanA, 'a'), Up(kScanEnter, 0x0D), Down(kScanA, 'd')}, "d"},
      {"Shift alone waits on", {Down(kScanLeftShift, 0, shift), Up(kScanLeftShift, 0)}, {}},
      {"a release alone waits on", {Up(kScanA, 'a')}, {}},
      {"a mouse event alone waits on", {OtherEvent(InputEventType::kMouse)}, {}},
      {"Caps Lock key alone waits on", {Down(0x3A, 0, caps), Up(0x3A, 0, caps)}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    for (const auto& event : c.events) screen().PushInput(event);
    if (c.key) {
      EXPECT_EQ(console().WaitKey(), *c.key);
      // Everything up to and including the key's event is gone, nothing after it.
      std::size_t after = 0;
      for (std::size_t i = c.events.size(); i-- > 0;) {
        if (c.events[i].type == InputEventType::kKey && c.events[i].key.key_down) break;
        ++after;
      }
      EXPECT_EQ(screen().pending_input(), after);
    } else {
      EXPECT_THROW(console().WaitKey(), ScriptEnded);
      EXPECT_EQ(screen().pending_input(), 0u);
    }
  }
}

TEST_F(ConsoleTest, KeysTypedAheadComeOneACallInOrder) {
  Press(kScanA, 'a');
  screen().PushInput(OtherEvent(InputEventType::kFocus));
  Press(kScanF1, 0);
  Press(kScanLeftShift, 0, kShiftPressed);
  Press(kScanA, 'A', kShiftPressed);
  Type("xy");
  Press(kScanEnter, 0x0D);
  Press(0x10, 'q');
  const std::vector<std::string> expected = {"a", Bytes({0x00, 0x3B}), "A"};
  for (const auto& key : expected) EXPECT_EQ(console().WaitKey(), key);
  EXPECT_EQ(console().LineInput(), "xy");
  EXPECT_EQ(console().WaitKey(), "q");
  EXPECT_THROW(console().WaitKey(), ScriptEnded);
}

TEST_F(ConsoleTest, WaitKeySleepsOneMillisecondBeforeEachLook) {
  // A key already waiting still costs the sleep.
  std::string log;
  screen().on_sleep = [&log](int ms) { log += ms == 1 ? "S" : "?"; };
  Press(kScanA, 'a');
  EXPECT_EQ(console().WaitKey(), "a");
  EXPECT_EQ(log, "S");

  // An empty queue: sleep, look, sleep, look ... until the fourth look finds a key.
  log.clear();
  int looks = 0;
  screen().on_input_empty = [&] {
    log += "L";
    if (++looks == 4) screen().PushInput(KeyEvent(true, kScanF1, 0));
  };
  EXPECT_EQ(console().WaitKey(), Bytes({0x00, 0x3B}));
  // The release of the "a" press was skipped by the first look, which then
  // found the queue empty.
  EXPECT_EQ(log, "SLSLSLSL");
  EXPECT_EQ(screen().sleep_milliseconds(), 5u);
}

// ---------------------------------------------------------------- line input

struct Stroke {
  std::uint16_t scan;
  int character;
  std::uint32_t state = 0;
};
const Stroke kBackspace{kScanBackspace, 0x08};
const Stroke kEnter{kScanEnter, 0x0D};

std::vector<Stroke> Chars(const std::string& text) {
  std::vector<Stroke> strokes;
  for (char c : text) strokes.push_back({kScanA, static_cast<std::uint8_t>(c)});
  return strokes;
}
std::vector<Stroke> Join(std::initializer_list<std::vector<Stroke>> parts) {
  std::vector<Stroke> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct LineCase {
  const char* name;
  Position start;
  std::vector<Stroke> strokes;
  std::string line;
  Position cursor;
  std::uint64_t scrolls;
  std::vector<std::pair<int, std::string>> rows;  // rows that change
};

TEST_F(ConsoleTest, LineInputEchoesAndEditsOneLine) {
  const LineCase cases[] = {
      {"type, erase, type",
       {5, 1},
       Join({Chars("abc"), {kBackspace}, Chars("d"), {kEnter}}),
       "abd",
       {6, 1},
       0,
       {{5, Over(Filled(5), 1, "abd")}}},
      {"erase the last byte leaves a space",
       {5, 10},
       Join({Chars("xy"), {kBackspace}, {kEnter}}),
       "x",
       {6, 1},
       0,
       {{5, Over(Filled(5), 10, "x ")}}},
      {"backspace on an empty line",
       {5, 10},
       Join({{kBackspace, kBackspace}, Chars("x"), {kBackspace, kBackspace}, Chars("y"), {kEnter}}),
       "y",
       {6, 1},
       0,
       {{5, Over(Filled(5), 10, "y")}}},
      {"control keys and extended keys ignored",
       {5, 1},
       Join({Chars("a"),
             {{kScanTab, 0x09},
              {kScanEsc, 0x1B},
              {kScanEsc, 0x00},
              {kScanEsc, 0x00, kCapsLockOn},
              {0x2E, 0x03, kLeftCtrlPressed},
              {kScanUp, 0, kEnhancedKey},
              {kScanLeft, 0, kEnhancedKey},
              {kScanF1, 0},
              {kScanX, 'x', kLeftAltPressed},
              {kScanLeftShift, 0, kShiftPressed},
              {kScanA, 0x1F}},
             Chars("b"),
             {kEnter}}),
       "ab",
       {6, 1},
       0,
       {{5, Over(Filled(5), 1, "ab")}}},
      {"bytes 0x20, 0x7F and above are stored",
       {5, 1},
       Join({Chars(Bytes({0x20, 0x7F, 0x80, 0xE4, 0xFF})), {kEnter}}),
       Bytes({0x20, 0x7F, 0x80, 0xE4, 0xFF}),
       {6, 1},
       0,
       {{5, Over(Filled(5), 1, Bytes({0x20, 0x7F, 0x80, 0xE4, 0xFF}))}}},
      {"typing past the last column and erasing back over the row start",
       {10, 100},
       Join({Chars("abcde"), {kBackspace, kBackspace, kBackspace}, Chars("X"), {kEnter}}),
       "abX",
       {12, 1},
       0,
       {{10, Over(Filled(10), 100, "abX")}, {11, Over(Filled(11), 1, "  ")}}},
      {"erasing a whole wrapped line",
       {10, 101},
       Join({Chars("abc"), {kBackspace, kBackspace, kBackspace, kBackspace}, {kEnter}}),
       "",
       {11, 1},
       0,
       {{10, Over(Filled(10), 101, "  ")}, {11, Over(Filled(11), 1, " ")}}},
      {"Enter right after the bottom-right cell scrolls twice",
       {40, 101},
       Join({Chars("ab"), {kEnter}}),
       "ab",
       {40, 1},
       2,
       {{1, Filled(3)}, {38, Over(Filled(40), 101, "ab")}, {39, Blank()}, {40, Blank()}}},
      {"typing on past the bottom-right cell",
       {40, 101},
       Join({Chars("abc"), {kEnter}}),
       "abc",
       {40, 1},
       2,
       {{38, Over(Filled(40), 101, "ab")}, {39, Over(Blank(), 1, "c")}, {40, Blank()}}},
      {"erasing at the bottom-right cell does not scroll",
       {40, 101},
       Join({Chars("ab"), {kBackspace, kBackspace}, Chars("c"), {kEnter}}),
       "c",
       {40, 1},
       1,
       {{39, Over(Filled(40), 101, "c ")}, {40, Blank()}}},
      {"erasing back from the row after a scroll",
       {40, 101},
       Join({Chars("abc"), {kBackspace, kBackspace}, Chars("Z"), {kEnter}}),
       "aZ",
       {40, 1},
       2,
       {{38, Over(Filled(40), 101, "aZ")}, {39, Blank()}, {40, Blank()}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    Prefill();
    console().Locate(c.start.first, c.start.second);
    for (const auto& s : c.strokes) Press(s.scan, static_cast<std::uint8_t>(s.character), s.state);

    EXPECT_EQ(console().LineInput(), c.line);
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_EQ(screen().scroll_count(), c.scrolls);
    EXPECT_EQ(screen().pending_input(), 1u);  // only the release of Enter is left
    for (int r = 1; r <= kRows; ++r) {
      const int original = r + static_cast<int>(c.scrolls);
      std::string expected = original <= kRows ? Filled(original) : Blank();
      for (const auto& [row, text] : c.rows) {
        if (row == r) expected = text;
      }
      EXPECT_EQ(Row(r), expected) << "row " << r;
    }
  }
}

TEST_F(ConsoleTest, LineInputSleepsPerKeyAndShowsAHiddenCursorMeanwhile) {
  for (const bool visible : {true, false}) {
    SCOPED_TRACE(visible ? "cursor shown" : "cursor hidden");
    Reset({60, visible});
    console().Locate(5, 1);
    std::vector<bool> shown;
    screen().on_sleep = [this, &shown](int) { shown.push_back(screen().cursor_info().visible); };
    Type("ab");
    Press(kScanEnter, 0x0D);
    EXPECT_EQ(console().LineInput(), "ab");
    // One 1 ms sleep before each of the three keys; releases cost nothing extra.
    EXPECT_EQ(shown, std::vector<bool>(3, true));
    EXPECT_EQ(screen().cursor_info().visible, visible);
    EXPECT_EQ(screen().cursor_info().size, 60);
    EXPECT_FALSE(console().state().CursorOverride);
  }
}

TEST_F(ConsoleTest, LineInputHoldsAtMostTenThousandBytes) {
  console().ClearScreen();
  const std::string typed = std::string(kLineInputCapacity - 1, 'a') + "y";
  Type(typed);
  Type("ZQ");  // the 10001st and 10002nd bytes: neither stored nor echoed
  Press(kScanBackspace, 0x08);
  Type("W");
  Press(kScanEnter, 0x0D);

  const std::string line = console().LineInput();
  EXPECT_EQ(line.size(), static_cast<std::size_t>(kLineInputCapacity));
  EXPECT_EQ(line, std::string(kLineInputCapacity - 1, 'a') + "W");
  // 10000 bytes fill 98 rows and 4 cells from row 1: 59 scrolls, then one for Enter.
  EXPECT_EQ(screen().scroll_count(), 60u);
  EXPECT_EQ(Cursor(), Position(40, 1));
  EXPECT_EQ(Row(39), Over(Blank(), 1, "aaaW"));
  EXPECT_EQ(Row(38), std::string(kColumns, 'a'));
  EXPECT_EQ(Row(40), Blank());
  for (int r = 1; r <= kRows; ++r) {
    EXPECT_EQ(Row(r).find_first_of("ZQy"), std::string::npos) << "row " << r;
  }
}

}  // namespace
}  // namespace vistamere
