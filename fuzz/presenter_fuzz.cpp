// Random console cells, graphics window (area, holes, notice) and picture
// composed into frames, the load progress line drawn over some of them, and
// written one after another by one writer, with resizes, invalidations,
// repaints and too-small notices of random sizes between them: nothing
// written may carry a control byte outside its own CSI sequence. Each frame
// composed by a FrameComposer, frame after frame, must be the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/screen_buffer.h"
#include "fuzz/terminal_output_check.h"
#include "term/frame.h"
#include "term/frame_compose.h"
#include "term/load_progress.h"
#include "term/picture_cells.h"
#include "term/terminal_writer.h"
#include "term/too_small_notice.h"
#include "toollibs/graphics_window.h"

namespace {

using namespace vistamere;

void Check(const std::string& bytes, const char* where) {
  if (const char* fault = fuzz::TerminalOutputFault(bytes)) {
    std::fprintf(stderr, "%s: %s\n", where, fault);
    std::abort();
  }
}

// A rectangle as the tool library accepts one: 1-based, not empty, and
// inside `bounds` (which may reach past the screen).
HoleRect Rect(FuzzedDataProvider& input, const HoleRect& bounds) {
  HoleRect rect;
  rect.left = input.ConsumeIntegralInRange(bounds.left, bounds.right);
  rect.top = input.ConsumeIntegralInRange(bounds.top, bounds.bottom);
  rect.right = input.ConsumeIntegralInRange(rect.left, bounds.right);
  rect.bottom = input.ConsumeIntegralInRange(rect.top, bounds.bottom);
  return rect;
}

void ScribbleCells(FuzzedDataProvider& input, ScreenBuffer& screen) {
  const int count = input.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < count; ++i) {
    std::vector<Cell> cells(input.ConsumeIntegralInRange<std::size_t>(0, 40));
    for (Cell& cell : cells) {
      cell.character = input.ConsumeIntegral<std::uint8_t>();
      cell.attribute = input.ConsumeIntegral<std::uint8_t>();
    }
    const int column = input.ConsumeIntegralInRange(-3, screen.columns());
    screen.WriteOutput(column, input.ConsumeIntegralInRange(-3, screen.rows()), cells);
  }
  screen.SetCursorPosition(input.ConsumeIntegralInRange(0, screen.columns() - 1),
                           input.ConsumeIntegralInRange(0, screen.rows() - 1));
  screen.SetCursorInfo({25, input.ConsumeBool()});
}

void ChangeWindow(FuzzedDataProvider& input, GraphicsWindow& window, int columns, int rows) {
  window.shown = input.ConsumeBool();
  if (input.ConsumeIntegralInRange(0, 4) == 0) {
    window.area.reset();
  } else {
    window.area = Rect(input, HoleRect{1, 1, columns + 3, rows + 3});
  }
  window.holes.clear();
  const int holes = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < holes && window.area; ++i) {
    window.holes[input.ConsumeIntegralInRange(1, kMaxHoleNumber)] = Rect(input, *window.area);
  }
  window.notice = input.ConsumeBool() ? input.ConsumeRandomLengthString(120) : std::string();
  window.notice_is_warning = input.ConsumeBool();
  // Any span, even one past the end or inside a character.
  window.notice_name_begin = input.ConsumeIntegralInRange<std::size_t>(0, 130);
  window.notice_name_end = input.ConsumeIntegralInRange<std::size_t>(0, 130);
  ++window.picture_version;
}

term::PictureCellGrid Picture(FuzzedDataProvider& input, const GraphicsWindow& window) {
  picture::Canvas canvas;
  canvas.Reset(input.ConsumeIntegralInRange(0, 6), input.ConsumeIntegralInRange(0, 6));
  for (std::uint8_t& byte : canvas.rgb) byte = input.ConsumeIntegral<std::uint8_t>();
  int columns = 1;
  int rows = 1;
  if (window.area) {
    columns = std::max(1, std::min(window.area->right - window.area->left + 1, 130));
    rows = std::max(1, std::min(window.area->bottom - window.area->top + 1, 60));
  }
  const auto mode =
      input.ConsumeBool() ? term::ColourMode::kTrueColor : term::ColourMode::kIndexed256;
  return term::RenderPictureCells(canvas, columns, rows, mode);
}

bool SameFrame(const term::Frame& a, const term::Frame& b) {
  if (a.columns() != b.columns() || a.rows() != b.rows() || !(a.cursor == b.cursor)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a.Known(i) != b.Known(i) || (a.Known(i) && !(a.At(i) == b.At(i)))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  ScreenBuffer screen(input.ConsumeIntegralInRange(1, 110), input.ConsumeIntegralInRange(1, 45));
  GraphicsWindow window;
  term::TerminalWriter writer;
  term::Frame frame;
  term::PictureCellGrid picture;
  bool have_picture = false;
  bool picture_changed = false;
  term::FrameComposer composer;
  term::Frame composed;

  for (int step = 0; step < 6 && input.remaining_bytes() > 0; ++step) {
    switch (input.ConsumeIntegralInRange(0, 6)) {
      case 0:
        screen.SetScreenBufferSize(input.ConsumeIntegralInRange(1, 110),
                                   input.ConsumeIntegralInRange(1, 45));
        writer.Invalidate();
        break;
      case 1:
        ChangeWindow(input, window, screen.columns(), screen.rows());
        break;
      case 2:
        picture = Picture(input, window);
        have_picture = true;
        picture_changed = true;
        break;
      case 3:
        screen.FillOutputCharacter(' ', screen.columns() * screen.rows(), 0, 0);
        break;
      case 4: {
        const int columns = input.ConsumeIntegralInRange(-1, 300);
        const int rows = input.ConsumeIntegralInRange(-1, 100);
        term::Frame notice;
        term::ComposeTooSmallNotice(columns, rows, 102, 40, notice);
        Check(writer.Update(notice), "too-small notice");
        break;
      }
      case 5:
        writer.Repaint();
        break;
      default:
        ScribbleCells(input, screen);
        break;
    }
    term::ComposeFrame(screen, window, have_picture ? &picture : nullptr, frame);
    if (frame.columns() != screen.columns() || frame.rows() != screen.rows()) {
      std::fprintf(stderr, "frame and screen differ in size\n");
      std::abort();
    }
    // Frame after frame, composing only what changed comes to the same.
    if (picture_changed) composer.Invalidate();
    picture_changed = false;
    composer.Compose(screen, window, have_picture ? &picture : nullptr, composed);
    if (!SameFrame(composed, frame)) {
      std::fprintf(stderr, "frame composed after frame differs from the frame composed afresh\n");
      std::abort();
    }
    if (input.ConsumeBool()) {
      const std::string name = input.ConsumeRandomLengthString(100);
      term::DrawLoadProgress(name, input.ConsumeIntegralInRange(0, 100),
                             input.ConsumeIntegralInRange(-1, 50), frame);
    }
    Check(writer.Update(frame), "frame update");
  }
  return 0;
}
