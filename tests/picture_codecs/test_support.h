// What the codec tests share: bytes in memory as a ByteSource, a sink that
// keeps every delivered pixel, and pictures made at test time by ImageMagick.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture/byte_source.h"
#include "picture/decode.h"
#include "picture/row_sink.h"

namespace vistamere::picture::testing {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

class MemoryByteSource : public ByteSource {
 public:
  // Read() gives at most `most_per_read` bytes at a time, as a source may.
  explicit MemoryByteSource(Bytes bytes, std::size_t most_per_read = SIZE_MAX)
      : bytes_(std::move(bytes)), most_per_read_(most_per_read) {}
  std::size_t Read(void* buffer, std::size_t size) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  Bytes bytes_;
  std::size_t most_per_read_;
  std::uint64_t position_ = 0;
};

// Keeps the delivered picture whole and counts how often each pixel came.
class CollectingSink : public RowSink {
 public:
  explicit CollectingSink(std::uint64_t max_pixels = std::uint64_t{1} << 28)
      : max_pixels_(max_pixels) {}

  bool Begin(std::uint32_t width, std::uint32_t height, int orientation) override;
  void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
              const std::uint8_t* rgba) override;

  bool begun() const { return begun_; }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  int orientation() const { return orientation_; }
  Rgba At(std::uint32_t x, std::uint32_t y) const;
  bool Delivered(std::uint32_t x, std::uint32_t y) const {
    return deliveries_[static_cast<std::size_t>(y) * width_ + x] != 0;
  }
  std::uint64_t DeliveredPixels() const;
  // Pixels delivered twice, or outside the announced size.
  std::uint64_t misplaced() const { return misplaced_; }

 private:
  std::uint64_t max_pixels_;
  bool begun_ = false;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  int orientation_ = 0;
  Bytes pixels_;
  std::vector<std::uint8_t> deliveries_;
  std::uint64_t misplaced_ = 0;
};

// True when every channel is within `tolerance` of the expected one.
bool Near(const Rgba& actual, const Rgba& expected, int tolerance);
std::string Describe(const Rgba& colour);

// A scratch folder for one test binary run; files are made with `convert`.
class PictureMaker {
 public:
  PictureMaker();
  ~PictureMaker();
  PictureMaker(const PictureMaker&) = delete;
  PictureMaker& operator=(const PictureMaker&) = delete;

  // Runs `convert <arguments> <folder>/<name>` and returns the file's bytes.
  Bytes Make(const std::string& arguments, const std::string& name);
  // The 64 x 32 test card: red, lime / blue, white quadrants.
  Bytes Quadrants(const std::string& extra_options, const std::string& name);

 private:
  std::filesystem::path folder_;
};

PictureMaker& Pictures();

// A TIFF structure whose first IFD holds only the orientation tag.
Bytes TiffWithOrientation(int orientation, bool big_endian);
// `jpeg` with an APP1 "Exif" segment holding `tiff` right after its SOI.
Bytes WithExifSegment(const Bytes& jpeg, const Bytes& tiff);

inline constexpr Rgba kRed = {255, 0, 0, 255};
inline constexpr Rgba kLime = {0, 255, 0, 255};
inline constexpr Rgba kBlue = {0, 0, 255, 255};
inline constexpr Rgba kWhite = {255, 255, 255, 255};

}  // namespace vistamere::picture::testing
