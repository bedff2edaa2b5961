// Random sequences of the text console's operations on the in-memory
// screen, with scripted keys for WaitKey and LineInput. After every
// operation the cursor stands inside the buffer, the buffer holds exactly
// columns x rows cells, and the window lies inside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "console/screen_buffer.h"
#include "console/text_console.h"

namespace {

using namespace vistamere;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "text console: %s\n", what);
  std::abort();
}

// Sizes and positions: mostly small, sometimes one of the edge values.
std::int32_t Coordinate(FuzzedDataProvider& input) {
  static constexpr std::int32_t kEdges[] = {INT32_MIN, -1, 0, 1, 10000, INT32_MAX};
  if (input.ConsumeIntegralInRange(0, 7) == 0) return input.PickValueInArray(kEdges);
  return input.ConsumeIntegralInRange<std::int32_t>(-2, 130);
}

KeyEventRecord Key(FuzzedDataProvider& input) {
  KeyEventRecord key;
  key.key_down = input.ConsumeIntegralInRange(0, 5) != 0;
  key.scan_code = input.ConsumeIntegral<std::uint16_t>();
  key.character = input.ConsumeIntegral<std::uint8_t>();
  key.control_state = input.ConsumeIntegral<std::uint32_t>();
  return key;
}

void ScriptKeys(FuzzedDataProvider& input, ScreenBuffer& screen) {
  const int count = input.ConsumeIntegralInRange(0, 24);
  for (int i = 0; i < count; ++i) {
    InputRecord record;
    record.type = static_cast<InputEventType>(input.ConsumeIntegralInRange(0, 4));
    record.key = Key(input);
    screen.PushInput(record);
  }
}

void CheckScreen(ScreenBuffer& screen) {
  const int columns = screen.columns();
  const int rows = screen.rows();
  if (columns < 1 || rows < 1 || columns > 9999 || rows > 9999) Fail("buffer size out of range");
  if (screen.cursor_column() < 0 || screen.cursor_column() >= columns || screen.cursor_row() < 0 ||
      screen.cursor_row() >= rows) {
    Fail("cursor outside the buffer");
  }
  ScreenBufferInfo info;
  screen.GetScreenBufferInfo(info);
  if (info.columns != columns || info.rows != rows) Fail("info disagrees with the buffer");
  const CellRect& window = screen.window();
  if (window.left < 0 || window.top < 0 || window.right >= columns || window.bottom >= rows) {
    Fail("window outside the buffer");
  }
  // Touch the corners and the row texts: every cell the size claims exists.
  (void)screen.At(columns - 1, rows - 1);
  if (screen.RowText(rows - 1).size() != static_cast<std::size_t>(columns)) {
    Fail("a row is not columns wide");
  }
  const int size = screen.cursor_info().size;
  if (size < 1 || size > 100) Fail("cursor size out of range");
}

// With the script used up, a key wait gets Enter, so that every wait ends.
class EnterWhenEmpty : public ScreenBuffer {
 public:
  using ScreenBuffer::ScreenBuffer;
  bool PeekInput(InputRecord& record) override {
    if (pending_input() == 0) {
      if (++refills_ > 100000) Fail("a key wait never ends");
      InputRecord enter;
      enter.key.character = '\r';
      enter.key.scan_code = 0x1C;
      PushInput(enter);
    }
    return ScreenBuffer::PeekInput(record);
  }

 private:
  int refills_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  EnterWhenEmpty screen(input.ConsumeIntegralInRange(1, 120), input.ConsumeIntegralInRange(1, 50));
  screen.PlaceCursor(Coordinate(input), Coordinate(input));
  TextConsole console(screen);
  CheckScreen(screen);

  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 8)) {
      case 0: {
        const std::int32_t rows = Coordinate(input);
        console.SetScreenSize(rows, Coordinate(input));
        break;
      }
      case 1: {
        const std::int32_t row = Coordinate(input);
        console.Locate(row, Coordinate(input));
        break;
      }
      case 2:
        console.PrintText(input.ConsumeRandomLengthString(300));
        break;
      case 3:
        console.PrintNewline();
        break;
      case 4:
        console.ClearScreen();
        break;
      case 5:
        console.PrintNumber(input.ConsumeIntegral<std::int64_t>());
        break;
      case 6: {
        ScriptKeys(input, screen);
        const Text key = console.WaitKey();
        if (key.empty() || key.size() > 2) Fail("a key string of odd length");
        break;
      }
      case 7: {
        ScriptKeys(input, screen);
        const Text line = console.LineInput();
        if (line.size() > static_cast<std::size_t>(kLineInputCapacity)) Fail("line too long");
        break;
      }
      default:
        console.CursorBack();
        break;
    }
    CheckScreen(screen);
  }
  return 0;
}
