#include "bench/headless_program.h"

#include "driver/status_panel.h"
#include "driver/viewpoint_keys.h"
#include "overlay/hole_state.h"
#include "overlay/load_picture.h"
#include "scene/screen_size.h"
#include "term/frame_compose.h"

namespace vistamere::bench {

HeadlessProgram::HeadlessProgram(term::ColourMode mode) {
  HoleState.fill(kHoleClosed);
  ScreenRows = 40;
  ScreenCols = 102;
  console_.SetScreenSize(ScreenRows, ScreenCols);
  FillFielderTable(fielders_);
  LoadPicture(overlay_, "");
  console_.ClearScreen();
  PrintHelpLines(console_);
  ResetViewpoint(viewpoint_);
  tools_.GfxWindow(5);
  const HoleRect& area = *window_.area;
  picture_ = term::RenderPictureCells(window_.canvas, area.right - area.left + 1,
                                      area.bottom - area.top + 1, mode);
  Turn("");
  Present();
}

void HeadlessProgram::Turn(const Text& key) {
  ApplyKey(viewpoint_, key);
  DrawStatusPanel(console_, viewpoint_);
  LabelPass(overlay_, fielders_, kFielderCount, viewpoint_, current_);
}

void HeadlessProgram::Compose() {
  term::ComposeFrame(screen_, window_, &picture_, frame_);
}

const std::string& HeadlessProgram::Present() {
  composer_.Compose(screen_, window_, &picture_, frame_);
  last_bytes_ = &writer_.Update(frame_);
  return *last_bytes_;
}

}  // namespace vistamere::bench
