#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vistamere::picture::testing {

std::size_t MemoryByteSource::Read(void* buffer, std::size_t size) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t count = std::min<std::size_t>(
      {size, most_per_read_, bytes_.size() - static_cast<std::size_t>(position_)});
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

std::size_t MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset >= bytes_.size()) return 0;
  const std::size_t count =
      std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes_.data() + offset, count);
  return count;
}

bool MemoryByteSource::Seek(std::uint64_t offset) {
  if (offset > bytes_.size()) return false;
  position_ = offset;
  return true;
}

bool CollectingSink::Begin(std::uint32_t width, std::uint32_t height, int orientation) {
  if (begun_) ++misplaced_;  // a second Begin is a decoder fault
  begun_ = true;
  width_ = width;
  height_ = height;
  orientation_ = orientation;
  const std::uint64_t count = std::uint64_t{width} * height;
  if (count > max_pixels_) return false;
  pixels_.assign(count * 4, 0);
  deliveries_.assign(count, 0);
  return true;
}

void CollectingSink::Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step,
                            std::uint32_t count, const std::uint8_t* rgba) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t x = x_start + std::uint64_t{i} * x_step;
    if (!begun_ || y >= height_ || x >= width_) {
      ++misplaced_;
      continue;
    }
    const std::size_t index = static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x);
    if (deliveries_[index]++ != 0) ++misplaced_;
    std::memcpy(pixels_.data() + index * 4, rgba + static_cast<std::size_t>(i) * 4, 4);
  }
}

Rgba CollectingSink::At(std::uint32_t x, std::uint32_t y) const {
  Rgba colour{};
  const std::size_t index = static_cast<std::size_t>(y) * width_ + x;
  std::memcpy(colour.data(), pixels_.data() + index * 4, 4);
  return colour;
}

std::uint64_t CollectingSink::DeliveredPixels() const {
  return static_cast<std::uint64_t>(
      std::count_if(deliveries_.begin(), deliveries_.end(), [](auto n) { return n != 0; }));
}

bool Near(const Rgba& actual, const Rgba& expected, int tolerance) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (std::abs(int{actual[i]} - int{expected[i]}) > tolerance) return false;
  }
  return true;
}

std::string Describe(const Rgba& colour) {
  return "(" + std::to_string(colour[0]) + ", " + std::to_string(colour[1]) + ", " +
         std::to_string(colour[2]) + ", " + std::to_string(colour[3]) + ")";
}

PictureMaker::PictureMaker() {
  std::string pattern = (std::filesystem::temp_directory_path() / "codecs-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
}

PictureMaker::~PictureMaker() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

Bytes PictureMaker::Make(const std::string& arguments, const std::string& name) {
  // A "FORMAT:" prefix on the name picks the encoder's variant (PNG8:, ...).
  const std::size_t colon = name.find(':');
  const std::string format = colon == std::string::npos ? "" : name.substr(0, colon + 1);
  const std::filesystem::path path = folder_ / name.substr(format.size());
  const std::string command =
      "convert " + arguments + " '" + format + path.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes PictureMaker::Quadrants(const std::string& extra_options, const std::string& name) {
  return Make(
      "-size 32x16 xc:red xc:lime +append \\( -size 32x16 xc:blue xc:white +append \\) -append " +
          extra_options,
      name);
}

PictureMaker& Pictures() {
  static PictureMaker maker;
  return maker;
}

Bytes TiffWithOrientation(int orientation, bool big_endian) {
  const auto u16 = [big_endian](int value) {
    const auto high = static_cast<std::uint8_t>(value >> 8);
    const auto low = static_cast<std::uint8_t>(value & 0xFF);
    return big_endian ? Bytes{high, low} : Bytes{low, high};
  };
  Bytes tiff = big_endian ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
  const auto append = [&tiff](const Bytes& part) {
    tiff.insert(tiff.end(), part.begin(), part.end());
  };
  append(u16(42));
  append(big_endian ? Bytes{0, 0, 0, 8} : Bytes{8, 0, 0, 0});  // first IFD at 8
  append(u16(1));                                              // one entry
  append(u16(0x0112));
  append(u16(3));  // SHORT
  append(big_endian ? Bytes{0, 0, 0, 1} : Bytes{1, 0, 0, 0});
  append(u16(orientation));
  append(u16(0));
  append(Bytes{0, 0, 0, 0});  // no next IFD
  return tiff;
}

Bytes WithExifSegment(const Bytes& jpeg, const Bytes& tiff) {
  const std::size_t length = 2 + 6 + tiff.size();
  Bytes result(jpeg.begin(), jpeg.begin() + 2);
  const Bytes header = {0xFF,
                        0xE1,
                        static_cast<std::uint8_t>(length >> 8),
                        static_cast<std::uint8_t>(length & 0xFF),
                        'E',
                        'x',
                        'i',
                        'f',
                        0,
                        0};
  result.insert(result.end(), header.begin(), header.end());
  result.insert(result.end(), tiff.begin(), tiff.end());
  result.insert(result.end(), jpeg.begin() + 2, jpeg.end());
  return result;
}

}  // namespace vistamere::picture::testing
