// The program's main loop without a terminal: the screen buffer, the tool
// libraries with the built-in ballpark, and the presenter's compose and
// write steps, set up as the program is after the file prompt.
#pragma once

#include <string>

#include "console/screen_buffer.h"
#include "console/text_console.h"
#include "overlay/label_holes.h"
#include "overlay/label_pass.h"
#include "scene/fielder_table.h"
#include "scene/viewpoint.h"
#include "term/frame.h"
#include "term/frame_compose.h"
#include "term/picture_cells.h"
#include "term/terminal_writer.h"
#include "toollibs/graphics_window.h"
#include "toollibs/tool_libraries_impl.h"

namespace vistamere::bench {

class HeadlessProgram {
 public:
  // Built-in picture, screen cleared, help lines, first turn drawn and
  // presented once (the full repaint is in last_bytes()).
  explicit HeadlessProgram(term::ColourMode mode);

  // One turn of the loop for `key`: ApplyKey, DrawStatusPanel, LabelPass.
  void Turn(const Text& key);
  // What the terminal would be sent now (composed as the program composes
  // frame after frame); empty when nothing changed.
  const std::string& Present();
  // The whole frame composed afresh.
  void Compose();

  const std::string& last_bytes() const { return *last_bytes_; }
  term::Frame& frame() { return frame_; }
  term::TerminalWriter& writer() { return writer_; }
  ScreenBuffer& screen() { return screen_; }
  GraphicsWindow& window() { return window_; }
  const term::PictureCellGrid& picture() const { return picture_; }
  const Viewpoint& viewpoint() const { return viewpoint_; }

 private:
  ScreenBuffer screen_{102, 40};
  GraphicsWindow window_;
  ToolLibraries tools_{window_, nullptr};
  TextConsole console_{screen_};
  OverlayTools overlay_{console_, tools_, tools_};
  FielderTable fielders_{};
  Viewpoint viewpoint_{};
  CellPos current_{};
  term::PictureCellGrid picture_;
  term::FrameComposer composer_;
  term::Frame frame_;
  term::TerminalWriter writer_;
  const std::string* last_bytes_ = nullptr;
};

}  // namespace vistamere::bench
