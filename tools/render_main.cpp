// vistamere-render FILE [--colours truecolor|256|16] [--time]
// Decodes FILE, reduces it to the drawing size and writes the bytes of the
// program's first frame showing it to standard output. With --time, says on
// standard error how long that took from the moment the program would have
// the name (Enter at its prompt): by then it has started and readied its
// cell renderer, so these come first and are not counted.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "picture/load_picture_file.h"
#include "term/picture_cells.h"
#include "tools/first_frame.h"

namespace {

constexpr char kUsage[] = "usage: vistamere-render FILE [--colours truecolor|256|16] [--time]\n";

bool ParseColours(const char* value, vistamere::term::ColourMode& mode) {
  if (std::strcmp(value, "truecolor") == 0) {
    mode = vistamere::term::ColourMode::kTrueColor;
    return true;
  }
  if (std::strcmp(value, "256") == 0) {
    mode = vistamere::term::ColourMode::kIndexed256;
    return true;
  }
  if (std::strcmp(value, "16") == 0) {
    mode = vistamere::term::ColourMode::kIndexed16;
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vistamere;
  std::string path;
  term::ColourMode mode = term::ColourMode::kTrueColor;
  bool timed = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--time") == 0) {
      timed = true;
    } else if (std::strcmp(argv[i], "--colours") == 0 && i + 1 < argc) {
      if (!ParseColours(argv[++i], mode)) {
        std::fputs(kUsage, stderr);
        return 2;
      }
    } else if (path.empty() && argv[i][0] != '-') {
      path = argv[i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  term::PreparePictureCells(mode);
  const auto enter = std::chrono::steady_clock::now();
  picture::Canvas canvas;
  // As the program loads it: no finer than the area's cells can show.
  const picture::ShownDetail shown{
      tools::kScreenColumns * picture::kSamplesPerCell,
      (tools::kAreaBottom - tools::kAreaTop + 1) * picture::kSamplesPerCell};
  const picture::LoadOutcome outcome = picture::LoadPictureFile(
      path, picture::kCanvasWidth, picture::kCanvasHeight, canvas, {}, shown);
  if (outcome.status != picture::DecodeStatus::kOk) {
    const bool partial = outcome.status == picture::DecodeStatus::kTruncated;
    std::fprintf(stderr, "vistamere-render: %s '%s': %s\n",
                 partial ? "showing part of" : "cannot show", path.c_str(), outcome.reason.c_str());
    if (!partial) return 1;
  }
  const std::string bytes = tools::FirstFrameBytes(canvas, mode);
  if (timed) {
    const std::chrono::duration<double, std::milli> taken =
        std::chrono::steady_clock::now() - enter;
    std::fprintf(stderr, "enter-to-first-frame-ms %.2f\n", taken.count());
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}
