#include "toollibs/tool_libraries_impl.h"

#include <cstdlib>
#include <cstring>

#include "console/code_page_437.h"
#include "picture/load_picture_file.h"
#include "toollibs/builtin_ballpark.h"
#include "toollibs/ole_string.h"
#include "toollibs/picture_notice.h"
#include "toollibs/picture_path.h"

namespace vistamere {
namespace {

// Largest drawing size we accept, per side.
constexpr std::int32_t kMaxDrawingSide = 4096;

}  // namespace

std::int32_t ToolLibraries::InitConsoleTools(std::intptr_t, std::int32_t, std::int32_t,
                                             std::int32_t, std::int32_t*, std::int32_t) {
  return 0;
}

char* ToolLibraries::ConsoleTitle(const char* title) {
  // Hands back the title it replaces, as the caller may want to restore it.
  char* previous = SysAllocStringByteLen(title_.data(), static_cast<std::uint32_t>(title_.size()));
  title_ = title != nullptr ? title : "";
  if (host_ != nullptr) host_->SetTitle(Cp437ToUtf8(title_, LowBytes::kAscii));
  return previous;
}

// The icon and the window's state are the platform's: a terminal has
// neither, and its host changes nothing.
std::int32_t ToolLibraries::ConsoleIcon(std::int32_t icon) {
  if (host_ != nullptr && !host_->SetIcon(icon)) return kBadArgument;
  return 0;
}
std::int32_t ToolLibraries::ConsoleWindow(std::int32_t state) {
  if (host_ != nullptr) host_->SetWindowState(state);
  return 0;
}

// The system menu's items stay, Close among them, and no console has a
// tool bar: these succeed and change nothing.
std::int32_t ToolLibraries::DeleteWindowMenuItem(std::int32_t) {
  return 0;
}
std::int32_t ToolLibraries::ConsoleToolBar(std::int32_t, std::int32_t) {
  return 0;
}

std::int32_t ToolLibraries::ConsoleGfx(std::int32_t left, std::int32_t top, std::int32_t right,
                                       std::int32_t bottom) {
  if (left < 1 || top < 1 || right < left || bottom < top) return kBadRectangle;
  window_.area = HoleRect{left, top, right, bottom};
  window_.holes.clear();
  return 0;
}

std::int32_t ToolLibraries::GfxTextHole(std::int32_t hole, std::int32_t left, std::int32_t top,
                                        std::int32_t right, std::int32_t bottom) {
  if (hole < 1 || hole > kMaxHoleNumber) return kBadHoleNumber;
  if (!window_.area) return kNoGraphicsArea;
  const HoleRect rect{left, top, right, bottom};
  const HoleRect& area = *window_.area;
  if (left > right || top > bottom || !area.Contains(left, top) || !area.Contains(right, bottom)) {
    return kBadRectangle;
  }
  window_.holes[hole] = rect;
  return 0;
}

std::int32_t ToolLibraries::GfxWindow(std::int32_t state) {
  window_.shown = state != kHideWindow;
  return 0;
}

// The size queries have nothing to prepare: the stretch call that follows
// opens and decodes the file once.
std::int32_t ToolLibraries::BitmapParam(const char*, std::int32_t) {
  return 0;
}
std::int32_t ToolLibraries::ImageParam(const char*, std::int32_t) {
  return 0;
}

std::int32_t ToolLibraries::StretchBitmap(const char* name, std::int32_t width,
                                          std::int32_t height) {
  return Stretch(name, width, height);
}

std::int32_t ToolLibraries::StretchImage(const char* name, std::int32_t width,
                                         std::int32_t height) {
  return Stretch(name, width, height);
}

// The file system's name (UTF-8) for a name of code page 437 bytes: as the
// user typed it at the prompt, where it was typed there.
std::string ToolLibraries::FileNameOf(const std::string& bytes) const {
  if (typed_line_ != nullptr) {
    if (auto typed = typed_line_->AsTyped(bytes)) return *typed;
  }
  return Cp437ToUtf8(bytes, LowBytes::kAscii);
}

std::int32_t ToolLibraries::Stretch(const char* name, std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1 || width > kMaxDrawingSide || height > kMaxDrawingSide) {
    return kBadArgument;
  }
  ++window_.picture_version;
  window_.notice.clear();
  window_.notice_is_warning = false;
  if (name == nullptr || *name == '\0') {
    window_.canvas.Reset(width, height);
    DrawBuiltinBallpark(window_.canvas);
    return 0;
  }
  const std::string bytes = name;
  // The name as the user sees it in a notice: no byte of it can act on the terminal.
  const std::string shown = Cp437ToUtf8(bytes, LowBytes::kGlyphs);
  picture::ProgressCallback progress;
  if (host_ != nullptr) {
    progress = [this, &shown](int percent) { return host_->ShowLoadProgress(shown, percent); };
  }
  // The area shows no finer detail than its cells can carry.
  picture::ShownDetail detail;
  if (window_.area) {
    detail.width = static_cast<std::uint32_t>(window_.area->right - window_.area->left + 1) *
                   picture::kSamplesPerCell;
    detail.height = static_cast<std::uint32_t>(window_.area->bottom - window_.area->top + 1) *
                    picture::kSamplesPerCell;
  }
  const picture::LoadOutcome outcome =
      picture::LoadPictureFile(ResolvePicturePath(FileNameOf(bytes), std::getenv("HOME")), width,
                               height, window_.canvas, progress, detail);
  if (host_ != nullptr) host_->ShowLoadProgress(shown, -1);
  if (outcome.status == picture::DecodeStatus::kOk) return 0;
  SetPictureNotice(window_, shown, outcome);
  return kPictureNotShown;
}

// The platform draws the window as it stands whenever the program waits for
// input: there is nothing to refresh.
std::int32_t ToolLibraries::GfxRefresh(std::int32_t) {
  return 0;
}

std::int32_t ToolLibraries::FillHole(std::int32_t hole) {
  if (hole < 1 || hole > kMaxHoleNumber) return kBadHoleNumber;
  window_.holes.erase(hole);
  return 0;
}

}  // namespace vistamere
