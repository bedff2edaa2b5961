#include "picture/gif_decoder.h"

#include "picture/decode_outcomes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace vistamere::picture {
namespace {

constexpr int kGraphicsControlLabel = 0xF9;
constexpr int kNoTransparency = -1;
// The logical screen is held one row at a time: refuse absurd widths.
constexpr std::uint64_t kMaxWidth = 1u << 24;

constexpr int kInterlaceStart[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};

struct GifStream {
  ByteSource* source = nullptr;
  bool ended = false;
};

int ReadBytes(GifFileType* file, GifByteType* destination, int length) {
  auto& stream = *static_cast<GifStream*>(file->UserData);
  if (length <= 0) return 0;
  const auto wanted = static_cast<std::size_t>(length);
  const std::size_t got = ReadFully(*stream.source, destination, wanted);
  if (got < wanted) stream.ended = true;
  return static_cast<int>(got);
}

class GifFile {
 public:
  explicit GifFile(GifStream& stream) {
    int error = 0;
    file_ = DGifOpen(&stream, ReadBytes, &error);
  }
  ~GifFile() {
    int error = 0;
    if (file_ != nullptr) DGifCloseFile(file_, &error);
  }
  GifFile(const GifFile&) = delete;
  GifFile& operator=(const GifFile&) = delete;
  GifFileType* get() const { return file_; }

 private:
  GifFileType* file_ = nullptr;
};

[[nodiscard]] DecodeOutcome Damaged(const GifStream& stream, bool anything_delivered) {
  return DamagedOutcome("GIF", stream.ended, anything_delivered);
}

[[nodiscard]] DecodeOutcome TooLarge(std::uint64_t width, std::uint64_t height) {
  return TooLargeOutcome(width, height);
}

// Reads the extensions before the first image; returns the transparent
// colour index of the last graphics control extension, if any.
[[nodiscard]] bool SkipToFirstImage(GifFileType* file, int& transparent_index) {
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(file, &record) != GIF_OK) return false;
    if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(file) == GIF_OK;
    if (record != EXTENSION_RECORD_TYPE) return false;  // the end, or garbage
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(file, &code, &block) != GIF_OK) return false;
    if (code == kGraphicsControlLabel && block != nullptr && block[0] >= 4) {
      transparent_index = (block[1] & 0x01) != 0 ? block[4] : kNoTransparency;
    }
    while (block != nullptr) {
      if (DGifGetExtensionNext(file, &block) != GIF_OK) return false;
    }
  }
}

// Turns the frame's colour indices into RGBA pixels of a screen row, by a
// table of the 256 indices' pixels: the transparent one clear, one past the
// colour map opaque black.
class FramePainter {
 public:
  FramePainter(const ColorMapObject* colours, int transparent_index, std::uint32_t screen_width)
      : row_(static_cast<std::size_t>(screen_width) * 4, 0) {
    for (int index = 0; index < kIndices; ++index) {
      std::uint8_t* pixel = table_.data() + static_cast<std::size_t>(index) * 4;
      if (index == transparent_index) continue;  // stays 0, 0, 0, 0
      if (colours != nullptr && index < colours->ColorCount) {
        const GifColorType& colour = colours->Colors[index];
        pixel[0] = colour.Red;
        pixel[1] = colour.Green;
        pixel[2] = colour.Blue;
      }
      pixel[3] = 255;
    }
    for (std::size_t x = 0; x < screen_width; ++x) row_[x * 4 + 3] = 255;
    black_ = row_;
  }

  const std::uint8_t* Paint(const GifPixelType* indices, std::uint32_t left, std::uint32_t count) {
    std::uint8_t* pixel = row_.data() + static_cast<std::size_t>(left) * 4;
    for (std::uint32_t i = 0; i < count; ++i, pixel += 4) {
      std::memcpy(pixel, table_.data() + std::size_t{indices[i]} * 4, 4);
    }
    return row_.data();
  }
  const std::uint8_t* Black() const { return black_.data(); }

 private:
  static constexpr int kIndices = 256;
  std::array<std::uint8_t, std::size_t{kIndices} * 4> table_{};
  std::vector<std::uint8_t> row_;
  std::vector<std::uint8_t> black_;
};

}  // namespace

DecodeOutcome DecodeGif(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  GifStream stream{&source};
  GifFile gif(stream);
  GifFileType* file = gif.get();
  if (file == nullptr) return Damaged(stream, false);
  int transparent_index = kNoTransparency;
  if (!SkipToFirstImage(file, transparent_index)) return Damaged(stream, false);

  const GifImageDesc& frame = file->Image;
  if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0) {
    return Damaged(stream, false);
  }
  // A frame that starts past the screen it declares shows nothing of it.
  if (file->SWidth > 0 && file->SHeight > 0 &&
      (frame.Left >= file->SWidth || frame.Top >= file->SHeight)) {
    return DecodeOutcome{DecodeStatus::kFailed, "frame outside the picture"};
  }
  // Some encoders write a frame larger than the screen they declare.
  const std::uint64_t screen_width =
      std::max<std::uint64_t>(std::max(file->SWidth, 0), std::uint64_t(frame.Left) + frame.Width);
  const std::uint64_t screen_height =
      std::max<std::uint64_t>(std::max(file->SHeight, 0), std::uint64_t(frame.Top) + frame.Height);
  if (screen_width * screen_height > request.max_pixels || screen_width > kMaxWidth) {
    return TooLarge(screen_width, screen_height);
  }
  const auto width = static_cast<std::uint32_t>(screen_width);
  const auto height = static_cast<std::uint32_t>(screen_height);
  if (!sink.Begin(width, height, 1)) return TooLarge(width, height);

  const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : file->SColorMap;
  FramePainter painter(colours, transparent_index, width);
  const auto top = static_cast<std::uint32_t>(frame.Top);
  const auto bottom = top + static_cast<std::uint32_t>(frame.Height);
  for (std::uint32_t y = 0; y < height; ++y) {
    if (y < top || y >= bottom) sink.Row(y, width, painter.Black());
  }

  std::vector<GifPixelType> indices(static_cast<std::size_t>(frame.Width));
  const int passes = frame.Interlace ? 4 : 1;
  bool anything_delivered = false;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kInterlaceStart[pass] : 0;
    const int step = frame.Interlace ? kInterlaceStep[pass] : 1;
    for (int y = start; y < frame.Height; y += step) {
      if (DGifGetLine(file, indices.data(), frame.Width) != GIF_OK) {
        return Damaged(stream, anything_delivered);
      }
      sink.Row(top + static_cast<std::uint32_t>(y), width,
               painter.Paint(indices.data(), static_cast<std::uint32_t>(frame.Left),
                             static_cast<std::uint32_t>(frame.Width)));
      anything_delivered = true;
    }
  }
  return DecodeOutcome{DecodeStatus::kOk, {}};
}

}  // namespace vistamere::picture
