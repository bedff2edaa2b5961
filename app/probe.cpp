#include "app/probe.h"

#include "scene/screen_size.h"

namespace vistamere::app {
namespace {

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

const char* ColourName(term::ColourMode mode) {
  switch (mode) {
    case term::ColourMode::kTrueColor:
      return "24-bit";
    case term::ColourMode::kIndexed256:
      return "the 256-colour palette";
    case term::ColourMode::kIndexed16:
      return "the 16 ANSI colours";
  }
  return "?";
}

const char* KindName(term::GraphicsDecision::Kind kind) {
  switch (kind) {
    case term::GraphicsDecision::Kind::kCells:
      return "character cells";
    case term::GraphicsDecision::Kind::kSixel:
      return "sixel pixels";
    case term::GraphicsDecision::Kind::kKitty:
      return "kitty graphics pixels";
  }
  return "?";
}

}  // namespace

std::string ProbeReport(term::TerminalConsole& device, const term::TerminalSize& size,
                        const std::string& term, bool multiplexer) {
  const int area_columns = kProgramScreenColumns;
  const int area_rows = kProgramScreenRows - kGraphicsAreaTop;
  const term::GraphicsDecision decision = device.Graphics(area_columns, area_rows);
  const term::TerminalGraphics& graphics = device.terminal_graphics();
  std::string report;
  const auto line = [&report](const std::string& name, const std::string& value) {
    report += name + ": " + value + "\n";
  };
  line("TERM", term.empty() ? "(not set)" : term);
  line("size", std::to_string(size.columns) + " x " + std::to_string(size.rows) + " cells, " +
                   (size.pixel_width > 0 ? std::to_string(size.pixel_width) + " x " +
                                               std::to_string(size.pixel_height) + " pixels"
                                         : std::string("no size in pixels")));
  if (graphics.cell) {
    line("cell", std::to_string(graphics.cell->width) + " x " +
                     std::to_string(graphics.cell->height) + " pixels");
  }
  line("answered the queries", YesNo(device.answered()));
  line("sixel graphics in its device attributes", YesNo(graphics.sixel));
  line("kitty graphics protocol", YesNo(graphics.kitty));
  line("kitty keyboard protocol", YesNo(device.kitty_keyboard()));
  line("tmux or screen in between", YesNo(multiplexer));
  line("colours", ColourName(device.colour_mode()));
  line("picture", std::string(KindName(decision.kind)) + " (" + decision.reason + ")");
  return report;
}

}  // namespace vistamere::app
