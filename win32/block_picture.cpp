#include "win32/block_picture.h"

#include <algorithm>
#include <limits>

namespace vistamere::win32 {
namespace {

struct Rgb {
  double r = 0;
  double g = 0;
  double b = 0;
};

Rgb operator+(Rgb a, Rgb b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Rgb operator*(double k, Rgb a) {
  return {k * a.r, k * a.g, k * a.b};
}
double Dot(Rgb a, Rgb b) {
  return a.r * b.r + a.g * b.g + a.b * b.b;
}

Rgb RgbOf(std::uint32_t value) {
  return {static_cast<double>((value >> 16) & 0xFF), static_cast<double>((value >> 8) & 0xFF),
          static_cast<double>(value & 0xFF)};
}

// Console colour order (blue, green, red) to ANSI order (red, green, blue).
std::uint32_t AnsiIndexOf(int console_colour) {
  const int rgb = ((console_colour & 1) << 2) | (console_colour & 2) | ((console_colour & 4) >> 2);
  return static_cast<std::uint32_t>(rgb | (console_colour & 8));
}

// The shades' share of foreground dots. The eye averages a shade's dots,
// but not wholly: a part of their contrast counts as error, so that a shade
// is taken only where it brings the colour clearly closer.
struct Shade {
  char32_t glyph;
  double share;
};
constexpr std::array<Shade, 3> kShades = {{{U'\u2591', 0.25}, {U'\u2592', 0.5}, {U'\u2593', 0.75}}};
constexpr double kDotContrastWeight = 0.2;

// A half block: the glyph and which quadrants (top-left, top-right,
// bottom-left, bottom-right) are its foreground.
struct HalfBlock {
  char32_t glyph;
  std::array<bool, 4> foreground;
};
constexpr std::array<HalfBlock, 2> kHalfBlocks = {{
    {U'\u2580', {true, true, false, false}},  // upper half
    {U'\u258C', {true, false, true, false}},  // left half
}};

// The pixel sums of a cell's four quadrants and their pixel counts.
struct CellSums {
  std::array<Rgb, 4> sum{};
  std::array<double, 4> count{};
};

CellSums SumCell(const picture::Canvas& canvas, int x0, int x1, int y0, int y1) {
  CellSums sums;
  const int x_middle = (x0 + x1) / 2;
  const int y_middle = (y0 + y1) / 2;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* p = canvas.Pixel(x, y);
      const std::size_t quadrant = (y < y_middle ? 0U : 2U) + (x < x_middle ? 0U : 1U);
      sums.sum[quadrant] =
          sums.sum[quadrant] +
          Rgb{static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
      sums.count[quadrant] += 1;
    }
  }
  return sums;
}

class CellChooser {
 public:
  explicit CellChooser(const ConsolePalette& palette) {
    for (std::size_t i = 0; i < palette.size(); ++i) colours_[i] = RgbOf(palette[i]);
    for (std::size_t s = 0; s < kShades.size(); ++s) {
      for (std::size_t fg = 0; fg < colours_.size(); ++fg) {
        for (std::size_t bg = 0; bg < colours_.size(); ++bg) {
          const Rgb mix = kShades[s].share * colours_[fg] + (1 - kShades[s].share) * colours_[bg];
          const Rgb contrast = colours_[fg] + (-1.0 * colours_[bg]);
          mixes_[s][fg * 16 + bg] = {mix, kDotContrastWeight * kShades[s].share *
                                              (1 - kShades[s].share) * Dot(contrast, contrast)};
        }
      }
    }
  }

  term::PictureCell Choose(const CellSums& cell) const {
    // Squared error of showing `colour` over pixels summing to `sum`, less
    // what every choice has in common: n |c|^2 - 2 c.sum.
    const auto error = [](Rgb colour, Rgb sum, double n) {
      return n * Dot(colour, colour) - 2 * Dot(colour, sum);
    };
    Rgb total;
    double count = 0;
    for (std::size_t q = 0; q < 4; ++q) {
      total = total + cell.sum[q];
      count += cell.count[q];
    }

    // One colour over the whole cell.
    const std::size_t flat = Nearest(total, count, error);
    term::PictureCell best{U' ', 0, AnsiIndexOf(static_cast<int>(flat))};
    double best_error = error(colours_[flat], total, count);

    for (const HalfBlock& half : kHalfBlocks) {
      Rgb fg_sum;
      Rgb bg_sum;
      double fg_count = 0;
      double bg_count = 0;
      for (std::size_t q = 0; q < 4; ++q) {
        if (half.foreground[q]) {
          fg_sum = fg_sum + cell.sum[q];
          fg_count += cell.count[q];
        } else {
          bg_sum = bg_sum + cell.sum[q];
          bg_count += cell.count[q];
        }
      }
      const std::size_t fg = Nearest(fg_sum, fg_count, error);
      const std::size_t bg = Nearest(bg_sum, bg_count, error);
      if (fg == bg) continue;  // the same as one colour
      const double e =
          error(colours_[fg], fg_sum, fg_count) + error(colours_[bg], bg_sum, bg_count);
      if (e < best_error) {
        best_error = e;
        best = {half.glyph, AnsiIndexOf(static_cast<int>(fg)), AnsiIndexOf(static_cast<int>(bg))};
      }
    }

    for (std::size_t s = 0; s < kShades.size(); ++s) {
      for (std::size_t pair = 0; pair < mixes_[s].size(); ++pair) {
        const Mix& mix = mixes_[s][pair];
        const double e = error(mix.colour, total, count) + count * mix.penalty;
        if (e < best_error) {
          best_error = e;
          best = {kShades[s].glyph, AnsiIndexOf(static_cast<int>(pair / 16)),
                  AnsiIndexOf(static_cast<int>(pair % 16))};
        }
      }
    }
    return best;
  }

 private:
  struct Mix {
    Rgb colour;
    double penalty = 0;  // per pixel
  };

  template <typename Error>
  std::size_t Nearest(Rgb sum, double count, Error error) const {
    std::size_t nearest = 0;
    double least = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < colours_.size(); ++i) {
      const double e = error(colours_[i], sum, count);
      if (e < least) {
        least = e;
        nearest = i;
      }
    }
    return nearest;
  }

  std::array<Rgb, 16> colours_{};
  std::array<std::array<Mix, 256>, kShades.size()> mixes_{};
};

}  // namespace

namespace {

std::uint32_t MeanOf(const CellSums& sums, std::size_t a, std::size_t b) {
  const double count = sums.count[a] + sums.count[b];
  if (count <= 0) return 0;
  const Rgb mean = (1.0 / count) * (sums.sum[a] + sums.sum[b]);
  const auto channel = [](double v) {
    return static_cast<std::uint32_t>(std::clamp(v + 0.5, 0.0, 255.0));
  };
  return (channel(mean.r) << 16) | (channel(mean.g) << 8) | channel(mean.b);
}

template <typename CellOf>
term::PictureCellGrid RenderCells(const picture::Canvas& canvas, int columns, int rows,
                                  term::ColourMode mode, CellOf cell_of) {
  term::PictureCellGrid grid;
  grid.columns = std::max(columns, 0);
  grid.rows = std::max(rows, 0);
  grid.mode = mode;
  grid.cells.assign(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows),
                    term::PictureCell{U' ', 0, 0});
  if (canvas.width <= 0 || canvas.height <= 0 || grid.cells.empty()) return grid;
  for (int row = 0; row < grid.rows; ++row) {
    const int y0 = row * canvas.height / grid.rows;
    const int y1 = std::max((row + 1) * canvas.height / grid.rows, y0 + 1);
    for (int column = 0; column < grid.columns; ++column) {
      const int x0 = column * canvas.width / grid.columns;
      const int x1 = std::max((column + 1) * canvas.width / grid.columns, x0 + 1);
      grid.cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.columns) +
                 static_cast<std::size_t>(column)] =
          cell_of(SumCell(canvas, x0, std::min(x1, canvas.width), y0, std::min(y1, canvas.height)));
    }
  }
  return grid;
}

}  // namespace

term::PictureCellGrid RenderHalfBlockPicture(const picture::Canvas& canvas, int columns, int rows) {
  return RenderCells(canvas, columns, rows, term::ColourMode::kTrueColor, [](const CellSums& sums) {
    return term::PictureCell{U'\u2580', MeanOf(sums, 0, 1), MeanOf(sums, 2, 3)};
  });
}

term::PictureCellGrid RenderBlockPicture(const picture::Canvas& canvas, int columns, int rows,
                                         const ConsolePalette& palette) {
  const CellChooser chooser(palette);
  return RenderCells(canvas, columns, rows, term::ColourMode::kIndexed16,
                     [&](const CellSums& sums) { return chooser.Choose(sums); });
}

}  // namespace vistamere::win32
