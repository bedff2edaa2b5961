#include "picture/webp_decoder.h"

#include "picture/decode_outcomes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <webp/decode.h>

#include "picture/exif_orientation.h"

namespace vistamere::picture {
namespace {

constexpr std::size_t kReadSize = std::size_t{64} * 1024;
constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kMaxExifBytes = std::size_t{64} * 1024;
constexpr int kMaxChunksScanned = 1024;
constexpr std::uint8_t kVp8xExifFlag = 0x08;
// libwebp keeps the compressed data it was given; lossless pictures keep
// all of it until the end.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{256} * 1024 * 1024;

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

// Extended WebP files may carry an EXIF chunk, usually after the image data:
// walk the RIFF chunks by seeking over their payloads.
int FindOrientation(ByteSource& source, const std::uint8_t* head, std::size_t head_size) {
  if (head_size < kRiffHeaderSize + kChunkHeaderSize + 1) return 1;
  if (std::memcmp(head + kRiffHeaderSize, "VP8X", 4) != 0) return 1;
  if ((head[kRiffHeaderSize + kChunkHeaderSize] & kVp8xExifFlag) == 0) return 1;
  std::uint64_t offset = kRiffHeaderSize;
  for (int chunk = 0; chunk < kMaxChunksScanned; ++chunk) {
    std::uint8_t header[kChunkHeaderSize];
    if (!source.Seek(offset) || ReadFully(source, header, sizeof header) != sizeof header) {
      return 1;
    }
    const std::uint32_t size = LittleEndian32(header + 4);
    if (std::memcmp(header, "EXIF", 4) == 0) {
      std::vector<std::uint8_t> exif(std::min<std::size_t>(size, kMaxExifBytes));
      exif.resize(ReadFully(source, exif.data(), exif.size()));
      static constexpr std::uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
      if (exif.size() >= sizeof kExifId && std::memcmp(exif.data(), kExifId, 6) == 0) {
        return OrientationFromExifSegment(exif.data(), exif.size());
      }
      return OrientationFromTiffStructure(exif.data(), exif.size());
    }
    offset += kChunkHeaderSize + size + (size & 1u);
  }
  return 1;
}

// The canvas an extended file's VP8X chunk declares, 0 x 0 without one.
// libwebp refuses canvases of 2^32 pixels or more before saying their size.
void DeclaredCanvas(const std::uint8_t* head, std::size_t head_size, std::uint64_t& width,
                    std::uint64_t& height) {
  width = height = 0;
  constexpr std::size_t kCanvasAt = kRiffHeaderSize + kChunkHeaderSize + 4;
  if (head_size < kCanvasAt + 6 || std::memcmp(head + kRiffHeaderSize, "VP8X", 4) != 0) return;
  const std::uint8_t* canvas = head + kCanvasAt;
  width =
      (std::uint64_t{canvas[0]} | std::uint64_t{canvas[1]} << 8 | std::uint64_t{canvas[2]} << 16) +
      1;
  height =
      (std::uint64_t{canvas[3]} | std::uint64_t{canvas[4]} << 8 | std::uint64_t{canvas[5]} << 16) +
      1;
}

struct Scaling {
  bool enabled = false;
  int width = 0;
  int height = 0;
};

// The smallest size not below the target, keeping the aspect ratio; never
// larger than the picture.
Scaling ChooseScaling(int width, int height, std::uint32_t target_width,
                      std::uint32_t target_height) {
  const double factor = std::max(static_cast<double>(target_width) / width,
                                 static_cast<double>(target_height) / height);
  if (factor >= 1.0) return {};
  const int scaled_width = std::clamp(static_cast<int>(std::ceil(width * factor)), 1, width);
  const int scaled_height = std::clamp(static_cast<int>(std::ceil(height * factor)), 1, height);
  if (scaled_width == width && scaled_height == height) return {};
  return {true, scaled_width, scaled_height};
}

struct DecoderDeleter {
  void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

struct OutputBuffer {
  WebPDecoderConfig config{};
  ~OutputBuffer() { WebPFreeDecBuffer(&config.output); }
};

[[nodiscard]] DecodeOutcome Outcome(DecodeStatus status, std::string reason) {
  return DecodeOutcome{status, std::move(reason)};
}

}  // namespace

DecodeOutcome DecodeWebp(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  if (source.Size() > kMaxFileBytes) {
    return Outcome(DecodeStatus::kFailed, "picture file too large");
  }
  std::vector<std::uint8_t> chunk(kReadSize);
  const std::size_t head_size = ReadFully(source, chunk.data(), chunk.size());
  WebPBitstreamFeatures features{};
  const VP8StatusCode probe = WebPGetFeatures(chunk.data(), head_size, &features);
  if (probe == VP8_STATUS_NOT_ENOUGH_DATA) {
    return Outcome(DecodeStatus::kFailed, "truncated WebP data");
  }
  if (probe != VP8_STATUS_OK) {
    std::uint64_t canvas_width = 0;
    std::uint64_t canvas_height = 0;
    DeclaredCanvas(chunk.data(), head_size, canvas_width, canvas_height);
    if (canvas_width * canvas_height > request.max_pixels) {
      return Outcome(DecodeStatus::kFailed, TooLargeReason(canvas_width, canvas_height));
    }
    return Outcome(DecodeStatus::kFailed, "corrupt WebP data");
  }
  if (features.has_animation) {
    return Outcome(DecodeStatus::kFailed, "animated WebP pictures are not supported");
  }
  const std::uint64_t pixels = std::uint64_t(features.width) * std::uint64_t(features.height);
  if (pixels > request.max_pixels) {
    return Outcome(DecodeStatus::kFailed, TooLargeReason(features.width, features.height));
  }
  const int orientation = FindOrientation(source, chunk.data(), head_size);
  const bool turned = orientation >= 5;
  const Scaling scaling = ChooseScaling(features.width, features.height,
                                        turned ? request.target_height : request.target_width,
                                        turned ? request.target_width : request.target_height);

  OutputBuffer output;
  if (!WebPInitDecoderConfig(&output.config)) {
    return Outcome(DecodeStatus::kFailed, "corrupt WebP data");
  }
  output.config.output.colorspace = MODE_RGBA;
  output.config.options.use_scaling = scaling.enabled ? 1 : 0;
  output.config.options.scaled_width = scaling.width;
  output.config.options.scaled_height = scaling.height;
  const auto out_width =
      static_cast<std::uint32_t>(scaling.enabled ? scaling.width : features.width);
  const auto out_height =
      static_cast<std::uint32_t>(scaling.enabled ? scaling.height : features.height);
  if (!sink.Begin(out_width, out_height, orientation)) {
    return Outcome(DecodeStatus::kFailed, TooLargeReason(features.width, features.height));
  }
  std::unique_ptr<WebPIDecoder, DecoderDeleter> decoder(WebPIDecode(nullptr, 0, &output.config));
  if (!decoder) return Outcome(DecodeStatus::kFailed, "out of memory");

  if (!source.Seek(0)) return Outcome(DecodeStatus::kFailed, "corrupt WebP data");
  int rows_delivered = 0;
  VP8StatusCode status = VP8_STATUS_SUSPENDED;
  while (status == VP8_STATUS_SUSPENDED) {
    const std::size_t count = source.Read(chunk.data(), chunk.size());
    if (count == 0) break;
    status = WebPIAppend(decoder.get(), chunk.data(), count);
    int last_row = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    const std::uint8_t* rgba = WebPIDecGetRGB(decoder.get(), &last_row, &width, &height, &stride);
    if (rgba == nullptr) continue;
    for (; rows_delivered < std::min(last_row, height); ++rows_delivered) {
      sink.Row(static_cast<std::uint32_t>(rows_delivered), static_cast<std::uint32_t>(width),
               rgba + static_cast<std::size_t>(rows_delivered) * static_cast<std::size_t>(stride));
    }
  }
  if (status == VP8_STATUS_OK) return Outcome(DecodeStatus::kOk, {});
  const DecodeStatus partial =
      rows_delivered > 0 ? DecodeStatus::kTruncated : DecodeStatus::kFailed;
  if (status == VP8_STATUS_SUSPENDED) return Outcome(partial, "truncated WebP data");
  return Outcome(partial, "corrupt WebP data");
}

}  // namespace vistamere::picture
