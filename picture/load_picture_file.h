// Opens a picture file, decodes it by its content and reduces it into a
// canvas of the requested size, with bounded memory whatever its size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "picture/canvas.h"
#include "picture/decode.h"

namespace vistamere::picture {

// Progress of a load, 0 to 100; called now and then while a load runs.
// Returns whether the load is to go on: false stops it.
using ProgressCallback = std::function<bool(int percent)>;

struct LoadOutcome {
  DecodeStatus status = DecodeStatus::kFailed;
  std::string reason;      // completes the notice (see DecodeOutcome) when status is not kOk
  bool cancelled = false;  // the progress callback stopped it (status kFailed)
};

// The finest detail the canvas is finally shown at, in pixels, when that
// is less than the canvas's own (0: the canvas's own). A picture may then be
// decoded at a smaller scale and stretched.
struct ShownDetail {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// `path` is in the file system's encoding (UTF-8). On return the canvas is
// width x height; what could not be decoded is black.
[[nodiscard]] LoadOutcome LoadPictureFile(const std::string& path, int width, int height,
                                          Canvas& canvas, const ProgressCallback& progress = {},
                                          ShownDetail shown = {});

}  // namespace vistamere::picture
