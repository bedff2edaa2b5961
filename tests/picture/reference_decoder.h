// An independent decode of a picture, by ImageMagick's convert, composed
// over black: the reference our own decoder is checked against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace vistamere::picture::testing {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

inline bool HaveImageMagick() {
  return std::system("convert -version >/dev/null 2>&1") == 0;
}

// Empty when convert cannot read the file.
inline std::optional<RgbImage> DecodeWithImageMagick(const std::string& path) {
  std::string command =
      "convert '" + path + "' -background black -flatten -depth 8 ppm:- 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  RgbImage image;
  int max_value = 0;
  bool ok = std::fscanf(pipe, "P6 %d %d %d", &image.width, &image.height, &max_value) == 3 &&
            max_value == 255 && std::fgetc(pipe) != EOF && image.width > 0 && image.height > 0;
  if (ok) {
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    ok = std::fread(image.rgb.data(), 1, image.rgb.size(), pipe) == image.rgb.size();
  }
  int status = ::pclose(pipe);
  if (!ok || status != 0) return std::nullopt;
  return image;
}

}  // namespace vistamere::picture::testing
