#include "term/block_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vistamere::term {
namespace {

constexpr int kSide = picture::kSamplesPerCell;
constexpr int kCellSamples = kSide * kSide;
constexpr int kHalf = kSide / 2;
// The resampling sums 255 times the canvas's pixel count in 32 bits.
constexpr std::int64_t kMaxCanvasPixels = std::int64_t{1} << 24;

// The weights of the source pixels under each of `outputs` samples spread
// over `inputs` pixels, in units of 1/outputs of a pixel: output i covers
// [i * inputs, (i + 1) * inputs), source j [j * outputs, (j + 1) * outputs),
// so every sample's weights add up to `inputs`. Each sample takes `span`
// pixels from `first[i]` on, those it does not overlap at weight 0.
struct Taps {
  int span = 0;
  std::vector<int> first;
  std::vector<std::uint32_t> weights;  // span per sample
};

Taps AreaTaps(int inputs, int outputs) {
  const auto in = static_cast<std::int64_t>(inputs);
  const auto out = static_cast<std::int64_t>(outputs);
  // The most pixels a sample overlaps, and never more than there are.
  const int span = static_cast<int>(std::min<std::int64_t>((in + out - 1) / out + 1, in));
  Taps taps{span, std::vector<int>(static_cast<std::size_t>(outputs)),
            std::vector<std::uint32_t>(static_cast<std::size_t>(outputs) * span)};
  for (std::int64_t i = 0; i < out; ++i) {
    const std::int64_t begin = i * in;
    const std::int64_t end = begin + in;
    const std::int64_t first = std::min(begin / out, in - span);
    taps.first[static_cast<std::size_t>(i)] = static_cast<int>(first);
    for (std::int64_t j = begin / out; j * out < end; ++j) {
      const std::int64_t from = std::max(j * out, begin);
      const std::int64_t to = std::min((j + 1) * out, end);
      taps.weights[static_cast<std::size_t>(i * span + (j - first))] =
          static_cast<std::uint32_t>(to - from);
    }
  }
  return taps;
}

// The canvas averaged down (or spread up) to width x height samples, RGB.
// Sums of up to `canvas.width` weights of 255 across a row, then of
// `canvas.height` such sums down: within 32 bits for canvases of up to 2^24
// pixels.
std::vector<std::uint8_t> Resample(const picture::Canvas& canvas, int width, int height) {
  const Taps across = AreaTaps(canvas.width, width);
  const Taps down = AreaTaps(canvas.height, height);
  const std::size_t row_values = static_cast<std::size_t>(width) * 3;
  // The canvas rows averaged across, in a ring of as many as a sample row
  // takes: canvas row j in slot j % span.
  std::vector<std::uint32_t> rows(row_values * down.span);
  std::vector<int> held(static_cast<std::size_t>(down.span), -1);
  const auto across_row = [&](int y, std::uint32_t* sums) {
    const std::uint8_t* source = canvas.Pixel(0, y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* pixel = source + static_cast<std::ptrdiff_t>(across.first[x]) * 3;
      const std::uint32_t* weight = &across.weights[static_cast<std::size_t>(x) * across.span];
      std::uint32_t r = 0;
      std::uint32_t g = 0;
      std::uint32_t b = 0;
      for (int k = 0; k < across.span; ++k, pixel += 3) {
        r += weight[k] * pixel[0];
        g += weight[k] * pixel[1];
        b += weight[k] * pixel[2];
      }
      std::uint32_t* sum = sums + static_cast<std::ptrdiff_t>(x) * 3;
      sum[0] = r;
      sum[1] = g;
      sum[2] = b;
    }
  };
  const double total = static_cast<double>(canvas.width) * canvas.height;
  // Rounded up, so that an exact multiple of the total is never taken for
  // a little less.
  const double reciprocal = (1.0 + 0x1p-50) / total;
  const double half = std::floor(total / 2);
  std::vector<std::uint8_t> samples(row_values * height);
  std::vector<std::uint32_t> sums(row_values);
  for (int y = 0; y < height; ++y) {
    const int first = down.first[y];
    for (int k = 0; k < down.span; ++k) {
      const std::size_t slot = static_cast<std::size_t>((first + k) % down.span);
      if (held[slot] == first + k) continue;
      across_row(first + k, rows.data() + slot * row_values);
      held[slot] = first + k;
    }
    std::fill(sums.begin(), sums.end(), 0);
    for (int k = 0; k < down.span; ++k) {
      const std::uint32_t weight = down.weights[static_cast<std::size_t>(y) * down.span + k];
      if (weight == 0) continue;
      const std::uint32_t* row =
          rows.data() + static_cast<std::size_t>((first + k) % down.span) * row_values;
      for (std::size_t v = 0; v < row_values; ++v) sums[v] += weight * row[v];
    }
    std::uint8_t* out = samples.data() + static_cast<std::size_t>(y) * row_values;
    for (std::size_t v = 0; v < row_values; ++v) {
      out[v] = static_cast<std::uint8_t>((sums[v] + half) * reciprocal);
    }
  }
  return samples;
}

struct Rgb {
  std::int32_t r = 0;
  std::int32_t g = 0;
  std::int32_t b = 0;

  Rgb& operator+=(const Rgb& other) {
    r += other.r;
    g += other.g;
    b += other.b;
    return *this;
  }
  friend Rgb operator+(Rgb left, const Rgb& right) { return left += right; }
  friend Rgb operator-(const Rgb& left, const Rgb& right) {
    return {left.r - right.r, left.g - right.g, left.b - right.b};
  }
};

double SquaredLength(const Rgb& sum) {
  return static_cast<double>(sum.r) * sum.r + static_cast<double>(sum.g) * sum.g +
         static_cast<double>(sum.b) * sum.b;
}

std::uint32_t MeanColour(const Rgb& sum, int count) {
  const auto mean = [count](std::int32_t value) {
    return static_cast<std::uint32_t>((value + count / 2) / count);
  };
  return (mean(sum.r) << 16) | (mean(sum.g) << 8) | mean(sum.b);
}

// A cell's samples summed by row, by column and by quarter.
struct CellSums {
  std::array<Rgb, kSide> rows{};
  std::array<Rgb, kSide> columns{};
  std::array<Rgb, 4> quarters{};  // top left, top right, bottom left, bottom right
  Rgb total;
};

CellSums SumCell(const std::uint8_t* samples, int stride) {
  CellSums sums;
  for (int y = 0; y < kSide; ++y) {
    const std::uint8_t* row = samples + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < kSide; ++x) {
      const std::uint8_t* sample = row + static_cast<std::ptrdiff_t>(x) * 3;
      const Rgb pixel{sample[0], sample[1], sample[2]};
      sums.rows[y] += pixel;
      sums.columns[x] += pixel;
      sums.quarters[(y >= kHalf ? 2 : 0) + (x >= kHalf ? 1 : 0)] += pixel;
    }
  }
  for (const Rgb& row : sums.rows) sums.total += row;
  return sums;
}

// The block elements by the part of the cell they fill.
constexpr char32_t kLowerEighths = U'\u2580';  // + n: the lower n eighths, n 1 to 8
constexpr char32_t kUpperHalf = U'\u2580';
constexpr char32_t kLeftEighths = U'\u2590';  // - n: the left n eighths, n 1 to 7
constexpr std::array<char32_t, 4> kQuarter = {U'\u2598', U'\u259D', U'\u2596', U'\u2597'};
constexpr char32_t kDiagonalQuarters = U'\u259A';  // top left and bottom right

// The xterm palette's colour cube (entries 16-231) and grey ramp (232-255):
// the 256-colour mode's picture keeps to them.
constexpr std::array<int, 6> kCubeLevels = {0, 95, 135, 175, 215, 255};
constexpr int kCubeStart = 16;
constexpr int kGreyStart = 232;
constexpr int kGreys = 24;

int NearestCubeLevel(double value) {
  int best = 0;
  for (int level = 1; level < static_cast<int>(kCubeLevels.size()); ++level) {
    if (std::fabs(value - kCubeLevels[level]) < std::fabs(value - kCubeLevels[best])) best = level;
  }
  return best;
}

// A side of a split in the grid's colours: the colour, and how much the
// squared error grows by showing it instead of the side's mean.
struct Shown {
  std::uint32_t colour = 0;
  double penalty = 0;
};

Shown ShownColour(const Rgb& sum, int count, ColourMode mode) {
  if (mode != ColourMode::kIndexed256) return {MeanColour(sum, count), 0};
  const double r = static_cast<double>(sum.r) / count;
  const double g = static_cast<double>(sum.g) / count;
  const double b = static_cast<double>(sum.b) / count;
  const auto distance = [&](double red, double green, double blue) {
    return (r - red) * (r - red) + (g - green) * (g - green) + (b - blue) * (b - blue);
  };
  const int red = NearestCubeLevel(r);
  const int green = NearestCubeLevel(g);
  const int blue = NearestCubeLevel(b);
  Shown shown{static_cast<std::uint32_t>(kCubeStart + 36 * red + 6 * green + blue),
              distance(kCubeLevels[red], kCubeLevels[green], kCubeLevels[blue])};
  // Greys 8, 18, ... 238.
  const int step =
      std::clamp(static_cast<int>(std::lround(((r + g + b) / 3 - 8) / 10)), 0, kGreys - 1);
  const double level = 8 + 10 * step;
  const double grey = distance(level, level, level);
  if (grey < shown.penalty) shown = {static_cast<std::uint32_t>(kGreyStart + step), grey};
  shown.penalty *= count;
  return shown;
}

// The best split seen so far: `part` (count samples) in the foreground.
class BestSplit {
 public:
  BestSplit(const Rgb& total, ColourMode mode)
      : total_(total), mode_(mode), whole_(ShownColour(total, kCellSamples, mode)) {
    score_ = SquaredLength(total) / kCellSamples - whole_.penalty;
  }

  // The squared error left is the samples' sum of squares less the score:
  // the larger the score, the closer the fit. The penalties are never
  // negative: a split whose means alone do not beat the best is left out.
  void Try(char32_t glyph, const Rgb& part, int count) {
    const Rgb rest = total_ - part;
    const double means = SquaredLength(part) / count + SquaredLength(rest) / (kCellSamples - count);
    if (means <= score_) return;
    const Shown fg = ShownColour(part, count, mode_);
    const Shown bg = ShownColour(rest, kCellSamples - count, mode_);
    const double score = means - fg.penalty - bg.penalty;
    if (score > score_) {
      score_ = score;
      cell_ = {glyph, fg.colour, bg.colour};
      split_ = true;
    }
  }

  PictureCell Cell() const {
    return split_ ? cell_ : PictureCell{U' ', whole_.colour, whole_.colour};
  }

 private:
  Rgb total_;
  ColourMode mode_;
  Shown whole_;
  double score_ = 0;
  PictureCell cell_;
  bool split_ = false;
};

PictureCell FitCell(const CellSums& sums, ColourMode mode) {
  BestSplit best(sums.total, mode);
  Rgb bottom;
  Rgb left;
  for (int n = 1; n < kSide; ++n) {
    bottom += sums.rows[kSide - n];
    if (n == kHalf) {
      // The halves as the upper half block: fonts draw it edge to edge more
      // often than the lower one (on xterm with DejaVu Sans Mono the
      // picture comes out measurably closer).
      best.Try(kUpperHalf, sums.total - bottom, kHalf * kSide);
    } else {
      best.Try(kLowerEighths + static_cast<char32_t>(n), bottom, n * kSide);
    }
    left += sums.columns[n - 1];
    best.Try(kLeftEighths - static_cast<char32_t>(n), left, n * kSide);
  }
  constexpr int kQuarterSamples = kCellSamples / 4;
  for (std::size_t quarter = 0; quarter < kQuarter.size(); ++quarter) {
    best.Try(kQuarter[quarter], sums.quarters[quarter], kQuarterSamples);
  }
  best.Try(kDiagonalQuarters, sums.quarters[0] + sums.quarters[3], 2 * kQuarterSamples);
  return best.Cell();
}

}  // namespace

PictureCellGrid FitBlockCells(const picture::Canvas& canvas, int columns, int rows,
                              ColourMode mode) {
  PictureCellGrid grid;
  grid.mode = mode;
  const std::uint32_t black = mode == ColourMode::kIndexed256 ? kCubeStart : 0;
  if (columns <= 0 || rows <= 0) return grid;
  grid.columns = columns;
  grid.rows = rows;
  grid.cells.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                    PictureCell{U' ', black, black});
  if (canvas.width <= 0 || canvas.height <= 0 ||
      std::int64_t{canvas.width} * canvas.height > kMaxCanvasPixels ||
      canvas.rgb.size() <
          static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height) * 3) {
    return grid;
  }
  const int width = columns * kSide;
  const std::vector<std::uint8_t> samples = Resample(canvas, width, rows * kSide);
  const int stride = width * 3;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const std::uint8_t* cell = samples.data() + static_cast<std::size_t>(row) * kSide * stride +
                                 static_cast<std::size_t>(column) * kSide * 3;
      grid.cells[static_cast<std::size_t>(row) * columns + column] =
          FitCell(SumCell(cell, stride), mode);
    }
  }
  return grid;
}

}  // namespace vistamere::term
