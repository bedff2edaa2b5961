// What every decoder takes and gives back.
#pragma once

#include <cstdint>
#include <string>

#include "picture/byte_source.h"
#include "picture/canvas.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

struct DecodeRequest {
  // The size the picture is going to be reduced to: a decoder that can
  // decode at a smaller scale picks the smallest scale not below it (or see
  // shown_width below).
  std::uint32_t target_width = static_cast<std::uint32_t>(kCanvasWidth);
  std::uint32_t target_height = static_cast<std::uint32_t>(kCanvasHeight);
  // The finest detail the picture is finally shown at, when known (0: not
  // known). A decoder that scales by eighths may stop one step below the
  // target when that step still keeps 7/8 of this detail on both axes.
  std::uint32_t shown_width = 0;
  std::uint32_t shown_height = 0;
  // Pictures with more pixels than this (as declared, before any scaling)
  // are refused as too large.
  std::uint64_t max_pixels = std::uint64_t{1} << 30;
  // And pictures of more rows than this (as delivered): every row costs
  // its own work whatever its width, so that a picture a few pixels wide and
  // a thousand million tall would take minutes.
  std::uint32_t max_rows = std::uint32_t{1} << 25;
};

enum class DecodeStatus {
  kOk,         // every pixel delivered
  kTruncated,  // some pixels delivered, then the data ended or broke
  kFailed,     // nothing usable delivered
};

struct DecodeOutcome {
  DecodeStatus status = DecodeStatus::kFailed;
  // For a failure or a truncation: a short lower-case phrase that completes
  // "cannot show 'NAME': ..." or "showing part of 'NAME': ...", e.g.
  // "corrupt BMP data", "picture too large".
  std::string reason;
};

}  // namespace vistamere::picture
