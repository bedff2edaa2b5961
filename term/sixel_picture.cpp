#include "term/sixel_picture.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>

#include "term/escape_sequences.h"

namespace vistamere::term {
namespace {

// The palette: 6 levels of red, 7 of green (the eye's most sensitive), 6
// of blue; 252 of the 256 registers.
constexpr int kRedLevels = 6;
constexpr int kGreenLevels = 7;
constexpr int kBlueLevels = 6;
constexpr int kPaletteSize = kRedLevels * kGreenLevels * kBlueLevels;
static_assert(kPaletteSize <= SixelPicture::kColourRegisters);

// A sixel carries six pixel rows.
constexpr int kBandRows = 6;
// Runs longer than this are written with the repeat introducer.
constexpr int kShortestRepeat = 4;

// 8 x 8 ordered-dither thresholds, 0 to 63.
constexpr std::array<std::array<std::uint8_t, 8>, 8> kBayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

int Level(float value, int levels, float threshold) {
  const float scaled = std::clamp(value, 0.0F, 255.0F) * static_cast<float>(levels - 1) / 255.0F;
  const float base = std::floor(scaled);
  const int level = static_cast<int>(base) + (scaled - base > threshold ? 1 : 0);
  return std::min(level, levels - 1);
}

int LevelValue(int level, int levels) {
  return (level * 255 + (levels - 1) / 2) / (levels - 1);
}

// The source samples that make one target sample: a triangle filter as
// wide as a source pixel when stretching and as a target pixel when
// shrinking, so that shrinking averages and stretching interpolates.
struct Taps {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Taps> FilterTaps(int source, int target) {
  std::vector<Taps> taps(static_cast<std::size_t>(target));
  const double scale = static_cast<double>(source) / target;
  const double radius = std::max(1.0, scale);
  for (int t = 0; t < target; ++t) {
    const double centre = (t + 0.5) * scale - 0.5;
    const int first = std::max(0, static_cast<int>(std::ceil(centre - radius)));
    const int last = std::min(source - 1, static_cast<int>(std::floor(centre + radius)));
    Taps& tap = taps[static_cast<std::size_t>(t)];
    tap.first = first;
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double weight = std::max(0.0, 1.0 - std::abs(s - centre) / radius);
      tap.weights.push_back(static_cast<float>(weight));
      total += weight;
    }
    if (total <= 0) {
      tap.first = std::clamp(static_cast<int>(std::lround(centre)), 0, source - 1);
      tap.weights.assign(1, 1.0F);
      continue;
    }
    for (float& weight : tap.weights) weight = static_cast<float>(weight / total);
  }
  return taps;
}

// The canvas stretched to width x height, as floats, R G B per pixel.
std::vector<float> Stretch(const picture::Canvas& canvas, int width, int height) {
  std::vector<float> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3,
                         0.0F);
  if (canvas.width <= 0 || canvas.height <= 0) return out;
  const std::vector<Taps> across = FilterTaps(canvas.width, width);
  const std::vector<Taps> down = FilterTaps(canvas.height, height);
  // Across first, every canvas row; then down.
  std::vector<float> rows(static_cast<std::size_t>(width) *
                          static_cast<std::size_t>(canvas.height) * 3);
  for (int y = 0; y < canvas.height; ++y) {
    float* row = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      const Taps& tap = across[static_cast<std::size_t>(x)];
      float sum[3] = {0, 0, 0};
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const std::uint8_t* pixel = canvas.Pixel(tap.first + static_cast<int>(k), y);
        for (int c = 0; c < 3; ++c) sum[c] += tap.weights[k] * static_cast<float>(pixel[c]);
      }
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = sum[c];
    }
  }
  for (int y = 0; y < height; ++y) {
    const Taps& tap = down[static_cast<std::size_t>(y)];
    float* target = out.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    for (std::size_t k = 0; k < tap.weights.size(); ++k) {
      const float* source =
          rows.data() + static_cast<std::size_t>(tap.first + static_cast<int>(k)) *
                            static_cast<std::size_t>(width) * 3;
      const float weight = tap.weights[k];
      for (int i = 0; i < width * 3; ++i) target[i] += weight * source[i];
    }
  }
  return out;
}

void AppendNumber(int value, std::string& out) {
  escape::AppendDecimal(static_cast<std::uint32_t>(value), out);
}

void AppendRun(int count, std::uint8_t bits, std::string& out) {
  const char sixel = static_cast<char>('?' + bits);
  if (count >= kShortestRepeat) {
    out += '!';
    AppendNumber(count, out);
    out += sixel;
  } else {
    out.append(static_cast<std::size_t>(count), sixel);
  }
}

}  // namespace

std::uint32_t SixelPicture::PaletteColour(int index) {
  const int blue = index % kBlueLevels;
  const int green = (index / kBlueLevels) % kGreenLevels;
  const int red = index / (kBlueLevels * kGreenLevels);
  return (static_cast<std::uint32_t>(LevelValue(red, kRedLevels)) << 16) |
         (static_cast<std::uint32_t>(LevelValue(green, kGreenLevels)) << 8) |
         static_cast<std::uint32_t>(LevelValue(blue, kBlueLevels));
}

SixelPicture::SixelPicture(const picture::Canvas& canvas, int columns, int rows, CellPixels cell)
    : columns_(columns),
      rows_(rows),
      cell_(cell),
      width_(columns * cell.width),
      height_(rows * cell.height),
      indices_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {
  const std::vector<float> pixels = Stretch(canvas, width_, height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                             static_cast<std::size_t>(x);
      const float threshold = (static_cast<float>(kBayer[y % 8][x % 8]) + 0.5F) / 64.0F;
      const int red = Level(pixels[at * 3], kRedLevels, threshold);
      const int green = Level(pixels[at * 3 + 1], kGreenLevels, threshold);
      const int blue = Level(pixels[at * 3 + 2], kBlueLevels, threshold);
      indices_[at] = static_cast<std::uint8_t>((red * kGreenLevels + green) * kBlueLevels + blue);
    }
  }
}

void SixelPicture::AppendWhole(std::string& out) const {
  AppendImage(0, 0, width_, height_, out);
}

void SixelPicture::AppendCells(int column, int row, int count, std::string& out) const {
  AppendImage(column * cell_.width, row * cell_.height, count * cell_.width, cell_.height, out);
}

void SixelPicture::AppendImage(int x, int y, int width, int height, std::string& out) const {
  // Pixels a sixel leaves at zero keep what the screen shows (P2 = 1), so
  // the last band's rows below the image change nothing; the raster
  // attributes give square pixels and the exact size.
  out += "\x1bP0;1;0q\"1;1;";
  AppendNumber(width, out);
  out += ';';
  AppendNumber(height, out);
  std::bitset<256> used;
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) used.set(IndexAt(column, row));
  }
  for (int index = 0; index < kPaletteSize; ++index) {
    if (!used.test(static_cast<std::size_t>(index))) continue;
    const std::uint32_t rgb = PaletteColour(index);
    out += '#';
    AppendNumber(index, out);
    out += ";2";
    for (const int shift : {16, 8, 0}) {
      out += ';';
      AppendNumber(static_cast<int>(((rgb >> shift) & 0xFF) * 100 + 127) / 255, out);
    }
  }
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(width));
  for (int band = y; band < y + height; band += kBandRows) {
    const int band_rows = std::min(kBandRows, y + height - band);
    std::bitset<256> in_band;
    for (int row = band; row < band + band_rows; ++row) {
      for (int column = x; column < x + width; ++column) in_band.set(IndexAt(column, row));
    }
    bool first_colour = true;
    for (int index = 0; index < kPaletteSize; ++index) {
      if (!in_band.test(static_cast<std::size_t>(index))) continue;
      for (int column = 0; column < width; ++column) {
        std::uint8_t sixel = 0;
        for (int k = 0; k < band_rows; ++k) {
          if (IndexAt(x + column, band + k) == index) sixel |= static_cast<std::uint8_t>(1 << k);
        }
        bits[static_cast<std::size_t>(column)] = sixel;
      }
      // Zero bits at the end of the line change nothing: left out.
      std::size_t end = bits.size();
      while (end > 0 && bits[end - 1] == 0) --end;
      if (!first_colour) out += '$';
      first_colour = false;
      out += '#';
      AppendNumber(index, out);
      for (std::size_t column = 0; column < end;) {
        std::size_t run = 1;
        while (column + run < end && bits[column + run] == bits[column]) ++run;
        AppendRun(static_cast<int>(run), bits[column], out);
        column += run;
      }
    }
    if (band + kBandRows < y + height) out += '-';
  }
  out += "\x1b\\";
}

}  // namespace vistamere::term
