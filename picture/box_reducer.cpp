#include "picture/box_reducer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace vistamere::picture {
namespace {

// Walks the accumulator cells of consecutive positions on one axis without
// a division per pixel: position * cells == cell * length + remainder.
class CellWalker {
 public:
  CellWalker(std::uint64_t position, std::uint64_t cells, std::uint64_t length)
      : cells_(static_cast<std::int64_t>(cells)), length_(static_cast<std::int64_t>(length)) {
    std::uint64_t product = position * cells;
    cell_ = static_cast<std::int64_t>(product / length);
    remainder_ = static_cast<std::int64_t>(product % length);
  }
  std::uint32_t cell() const { return static_cast<std::uint32_t>(cell_); }
  void Advance(std::int64_t delta) {
    remainder_ += delta * cells_;
    if (remainder_ >= length_) {
      cell_ += remainder_ / length_;
      remainder_ %= length_;
    } else if (remainder_ < 0) {
      std::int64_t back = (-remainder_ + length_ - 1) / length_;
      cell_ -= back;
      remainder_ += back * length_;
    }
  }

 private:
  std::int64_t cells_;
  std::int64_t length_;
  std::int64_t cell_ = 0;
  std::int64_t remainder_ = 0;
};

// Fixed-point bilinear sampling positions for one target axis.
struct Tap {
  std::uint32_t first;
  std::uint32_t second;
  std::uint32_t weight;  // of `second`, out of 256
};

std::vector<Tap> BilinearTaps(std::uint32_t cells, std::uint32_t target) {
  std::vector<Tap> taps(target);
  for (std::uint32_t t = 0; t < target; ++t) {
    // Source position of the target pixel's centre: ((2t + 1) * cells - target) / (2 * target).
    std::int64_t numerator = (2 * static_cast<std::int64_t>(t) + 1) * cells - target;
    std::int64_t denominator = 2 * static_cast<std::int64_t>(target);
    Tap tap{0, 0, 0};
    if (numerator > 0) {
      tap.first = static_cast<std::uint32_t>(numerator / denominator);
      tap.weight = static_cast<std::uint32_t>((numerator % denominator) * 256 / denominator);
    }
    if (tap.first >= cells - 1) {
      tap.first = cells - 1;
      tap.weight = 0;
    }
    tap.second = std::min(tap.first + 1, cells - 1);
    taps[t] = tap;
  }
  return taps;
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Whether every one of `count` RGBA pixels has alpha 255.
bool AllOpaque(const std::uint8_t* rgba, std::uint32_t count) {
  if constexpr (kLittleEndian) {
    std::uint32_t all = 0xffffffffU;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, rgba + std::size_t{i} * 4, 4);
      all &= pixel;
    }
    return (all >> 24) == 0xff;
  } else {
    std::uint8_t all = 0xff;
    for (std::uint32_t i = 0; i < count; ++i) all &= rgba[std::size_t{i} * 4 + 3];
    return all == 0xff;
  }
}

// Adds `count` opaque pixels to one cell: alpha 255 makes the premultiplied
// sums 255 times the plain ones. Runs are short (a few pixels when a large
// picture shrinks), so a pixel at a time, red and blue in the two 16-bit
// halves of one 32-bit sum; 257 pixels fill a half at most.
void AddOpaque(std::uint64_t* cell, const std::uint8_t* rgba, std::uint32_t count) {
  std::uint64_t r = 0;
  std::uint64_t g = 0;
  std::uint64_t b = 0;
  if constexpr (kLittleEndian) {
    constexpr std::uint32_t kPerFlush = 257;
    while (count > 0) {
      const std::uint32_t chunk = std::min(count, kPerFlush);
      std::uint32_t red_blue = 0;
      std::uint32_t green = 0;
      for (std::uint32_t i = 0; i < chunk; ++i, rgba += 4) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, rgba, 4);
        red_blue += pixel & 0x00ff00ffU;
        green += (pixel >> 8) & 0xffU;
      }
      r += red_blue & 0xffffU;
      b += red_blue >> 16;
      g += green;
      count -= chunk;
    }
  } else {
    for (; count > 0; --count, rgba += 4) {
      r += rgba[0];
      g += rgba[1];
      b += rgba[2];
    }
  }
  cell[0] += r * 255;
  cell[1] += g * 255;
  cell[2] += b * 255;
}

// A sample premultiplied by alpha: at most 255 * 255, exact in 32 bits.
std::uint32_t Premultiplied(std::uint8_t sample, std::uint32_t alpha) {
  return std::uint32_t{sample} * alpha;
}

void AddBlended(std::uint64_t* cell, const std::uint8_t* rgba, std::uint32_t count) {
  std::uint64_t r = 0;
  std::uint64_t g = 0;
  std::uint64_t b = 0;
  for (; count > 0; --count, rgba += 4) {
    const std::uint32_t alpha = rgba[3];
    r += Premultiplied(rgba[0], alpha);
    g += Premultiplied(rgba[1], alpha);
    b += Premultiplied(rgba[2], alpha);
  }
  cell[0] += r;
  cell[1] += g;
  cell[2] += b;
}

// (sum + divisor / 2) / divisor, at most 255, by a multiplication: the
// estimate from the reciprocal is off by at most one and is corrected.
class RoundedQuotient {
 public:
  explicit RoundedQuotient(std::uint64_t divisor)
      : divisor_(divisor), inverse_(1.0 / static_cast<double>(divisor)) {}

  std::uint64_t Of(std::uint64_t sum) const {
    const std::uint64_t rounded = sum + divisor_ / 2;
    if (rounded >= 256 * divisor_) return 255;
    auto quotient = static_cast<std::uint64_t>(static_cast<double>(rounded) * inverse_);
    if (quotient * divisor_ > rounded) {
      --quotient;
    } else if ((quotient + 1) * divisor_ <= rounded) {
      ++quotient;
    }
    return quotient;
  }

 private:
  std::uint64_t divisor_;
  double inverse_;
};

}  // namespace

std::uint64_t BoxReducer::Axis::CountIn(std::uint32_t c) const {
  // Cell c holds the positions p with c * length <= p * cells < (c + 1) * length.
  auto first_at = [this](std::uint64_t k) { return (k * length + cells - 1) / cells; };
  return first_at(std::uint64_t{c} + 1) - first_at(c);
}

BoxReducer::BoxReducer(Canvas& canvas, const DecodeRequest& request, ProgressCallback progress)
    : canvas_(canvas), request_(request), progress_(std::move(progress)) {}

bool BoxReducer::Begin(std::uint32_t width, std::uint32_t height, int orientation) {
  begun_ = false;
  source_width_ = width;
  source_height_ = height;
  sums_.clear();
  sums_.shrink_to_fit();
  grid_.clear();
  grid_.shrink_to_fit();
  std::uint64_t pixels = std::uint64_t{width} * height;  // cannot overflow: both are 32-bit
  refused_ =
      width == 0 || height == 0 || pixels > request_.max_pixels || height > request_.max_rows;
  if (refused_) return false;

  if (orientation < 1 || orientation > 8) orientation = 1;
  transposed_ = orientation >= 5;
  x_reversed_ = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
  y_reversed_ = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;

  across_.length = transposed_ ? height : width;
  down_.length = transposed_ ? width : height;
  across_.target = static_cast<std::uint32_t>(std::max(canvas_.width, 0));
  down_.target = static_cast<std::uint32_t>(std::max(canvas_.height, 0));
  across_.cells = std::min(across_.length, across_.target);
  down_.cells = std::min(down_.length, down_.target);
  direct_ = across_.cells == across_.length && down_.cells == down_.length;
  if (direct_) {
    grid_.assign(std::size_t{across_.cells} * down_.cells * 3, 0);
  } else {
    sums_.assign(std::size_t{across_.cells} * down_.cells * 3, 0);
  }

  // Source x walks one axis of the accumulator, forwards or backwards.
  const Axis& x_axis = transposed_ ? down_ : across_;
  const std::size_t cell_elements = (transposed_ ? std::size_t{across_.cells} : 1) * 3;
  runs_.assign(x_axis.cells, Run{});
  std::uint64_t cell_start = 0;  // the first oriented position of cell c
  for (std::uint32_t c = 0; c < x_axis.cells; ++c) {
    const std::uint64_t cell_end = cell_start + x_axis.CountIn(c);
    Run& run = runs_[x_reversed_ ? x_axis.cells - 1 - c : c];
    run.end = static_cast<std::uint32_t>(x_reversed_ ? x_axis.length - cell_start : cell_end);
    run.offset = c * cell_elements;
    cell_start = cell_end;
  }
  delivered_ = 0;
  last_percent_ = -1;
  begun_ = true;
  return true;
}

void BoxReducer::Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step,
                        std::uint32_t count, const std::uint8_t* rgba) {
  if (!begun_ || cancelled_ || y >= source_height_ || x_start >= source_width_ || count == 0) {
    return;
  }
  if (x_step == 0) x_step = 1;
  // Pixels past the end of the row are dropped.
  std::uint64_t fit = (std::uint64_t{source_width_} - 1 - x_start) / x_step + 1;
  if (count > fit) count = static_cast<std::uint32_t>(fit);
  ReportProgress(count);
  if (across_.cells == 0 || down_.cells == 0) return;
  if (direct_) {
    PutPixels(y, x_start, x_step, count, rgba);
    return;
  }

  // Source y picks one accumulator line; source x walks along the other axis.
  const Axis& y_axis = transposed_ ? across_ : down_;
  std::uint64_t y_position = y_reversed_ ? y_axis.length - 1 - y : y;
  std::size_t y_cell = y_axis.CellOf(y_position);
  std::uint64_t* line = sums_.data() + (transposed_ ? y_cell : y_cell * across_.cells) * 3;
  if (x_step == 1) {
    AddRuns(line, x_start, x_start + count, rgba);
  } else {
    AddStepped(line, x_start, x_step, count, rgba);
  }
}

void BoxReducer::AddRuns(std::uint64_t* line, std::uint32_t x, std::uint32_t end,
                         const std::uint8_t* rgba) {
  const Axis& x_axis = transposed_ ? down_ : across_;
  const std::uint32_t cell = x_axis.CellOf(x_reversed_ ? x_axis.length - 1 - x : x);
  const Run* run = runs_.data() + (x_reversed_ ? x_axis.cells - 1 - cell : cell);
  const bool opaque = AllOpaque(rgba, end - x);
  if (x_axis.cells == x_axis.length) {
    // A column per cell (a narrow picture): runs of one pixel.
    for (; x < end; ++x, ++run, rgba += 4) {
      std::uint64_t* sums = line + run->offset;
      const std::uint32_t alpha = opaque ? 255 : rgba[3];
      sums[0] += Premultiplied(rgba[0], alpha);
      sums[1] += Premultiplied(rgba[1], alpha);
      sums[2] += Premultiplied(rgba[2], alpha);
    }
    return;
  }
  while (x < end) {
    const std::uint32_t stop = std::min(run->end, end);
    if (opaque) {
      AddOpaque(line + run->offset, rgba, stop - x);
    } else {
      AddBlended(line + run->offset, rgba, stop - x);
    }
    rgba += std::size_t{stop - x} * 4;
    x = stop;
    ++run;
  }
}

void BoxReducer::AddStepped(std::uint64_t* line, std::uint32_t x_start, std::uint32_t x_step,
                            std::uint32_t count, const std::uint8_t* rgba) {
  const Axis& x_axis = transposed_ ? down_ : across_;
  const std::size_t stride = transposed_ ? across_.cells : 1;
  std::uint64_t x_position = x_reversed_ ? x_axis.length - 1 - x_start : x_start;
  CellWalker walker(x_position, x_axis.cells, x_axis.length);
  std::int64_t delta = x_reversed_ ? -static_cast<std::int64_t>(x_step) : x_step;
  for (std::uint32_t i = 0; i < count; ++i, rgba += 4) {
    std::uint64_t* cell = line + walker.cell() * stride * 3;
    std::uint32_t alpha = rgba[3];
    cell[0] += Premultiplied(rgba[0], alpha);
    cell[1] += Premultiplied(rgba[1], alpha);
    cell[2] += Premultiplied(rgba[2], alpha);
    if (i + 1 < count) walker.Advance(delta);
  }
}

void BoxReducer::PutPixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step,
                           std::uint32_t count, const std::uint8_t* rgba) {
  // Cell (column, row) of source pixel (x, y), oriented.
  const Axis& y_axis = transposed_ ? across_ : down_;
  const Axis& x_axis = transposed_ ? down_ : across_;
  const std::size_t y_position = y_reversed_ ? y_axis.length - 1 - y : y;
  const std::size_t across = across_.cells;
  std::uint8_t* line = grid_.data() + (transposed_ ? y_position : y_position * across) * 3;
  const std::size_t x_stride = (transposed_ ? across : 1) * 3;
  if (!transposed_ && !x_reversed_ && x_step == 1 && AllOpaque(rgba, count)) {
    std::uint8_t* out = line + std::size_t{x_start} * 3;
    for (std::uint32_t i = 0; i < count; ++i, out += 3, rgba += 4) {
      out[0] = rgba[0];
      out[1] = rgba[1];
      out[2] = rgba[2];
    }
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i, rgba += 4) {
    const std::size_t x = x_start + std::size_t{i} * x_step;
    const std::size_t x_position = x_reversed_ ? x_axis.length - 1 - x : x;
    std::uint8_t* out = line + x_position * x_stride;
    // Over black, rounded: what averaging a cell of one pixel gives.
    const std::uint32_t alpha = rgba[3];
    for (int channel = 0; channel < 3; ++channel) {
      out[channel] = static_cast<std::uint8_t>((rgba[channel] * alpha + 127) / 255);
    }
  }
}

void BoxReducer::ReportProgress(std::uint32_t count) {
  delivered_ += count;
  if (!progress_) return;
  std::uint64_t total = std::uint64_t{source_width_} * source_height_;
  int percent = static_cast<int>(std::min<std::uint64_t>(delivered_ * 100 / total, 100));
  if (percent > last_percent_) {
    last_percent_ = percent;
    if (!progress_(percent)) cancelled_ = true;
  }
}

void BoxReducer::Finish() {
  if (!begun_ || across_.cells == 0 || down_.cells == 0) return;
  if (!direct_) AverageCells();
  if (across_.cells == across_.target && down_.cells == down_.target) {
    CopyIntoCanvas();
  } else {
    StretchIntoCanvas();
  }
  sums_.clear();
  sums_.shrink_to_fit();
  grid_.clear();
  grid_.shrink_to_fit();
  runs_.clear();
  runs_.shrink_to_fit();
  begun_ = false;
}

void BoxReducer::AverageCells() {
  // A cell spans either `narrow` columns or one more.
  const std::uint64_t narrow = across_.length / across_.cells;
  std::vector<bool> wide(across_.cells);
  for (std::uint32_t c = 0; c < across_.cells; ++c) wide[c] = across_.CountIn(c) != narrow;
  grid_.resize(sums_.size());
  const std::uint64_t* cell = sums_.data();
  std::uint8_t* out = grid_.data();
  for (std::uint32_t row = 0; row < down_.cells; ++row) {
    const std::uint64_t row_count = down_.CountIn(row) * 255;
    const RoundedQuotient narrow_cell(narrow * row_count);
    const RoundedQuotient wide_cell((narrow + 1) * row_count);
    for (std::uint32_t column = 0; column < across_.cells; ++column, cell += 3, out += 3) {
      const RoundedQuotient& average = wide[column] ? wide_cell : narrow_cell;
      out[0] = static_cast<std::uint8_t>(average.Of(cell[0]));
      out[1] = static_cast<std::uint8_t>(average.Of(cell[1]));
      out[2] = static_cast<std::uint8_t>(average.Of(cell[2]));
    }
  }
  sums_.clear();
  sums_.shrink_to_fit();
}

// The reduced grid has the canvas's size: the stretch would give every
// cell unchanged.
void BoxReducer::CopyIntoCanvas() {
  std::copy(grid_.begin(), grid_.end(), canvas_.rgb.begin());
}

void BoxReducer::StretchIntoCanvas() {
  std::vector<Tap> across_taps = BilinearTaps(across_.cells, across_.target);
  std::vector<Tap> down_taps = BilinearTaps(down_.cells, down_.target);
  const std::size_t line_values = std::size_t{across_.cells} * 3;
  // Each grid line stretched across, once per line used: 256 x the values.
  std::vector<std::uint32_t> upper(std::size_t{across_.target} * 3);
  std::vector<std::uint32_t> lower(upper.size());
  std::uint32_t upper_line = ~0U;
  std::uint32_t lower_line = ~0U;
  auto stretch_line = [&](std::uint32_t line, std::vector<std::uint32_t>& out) {
    const std::uint8_t* cells = grid_.data() + line * line_values;
    std::uint32_t* value = out.data();
    for (const Tap& tap : across_taps) {
      const std::uint8_t* first = cells + std::size_t{tap.first} * 3;
      const std::uint8_t* second = cells + std::size_t{tap.second} * 3;
      for (int channel = 0; channel < 3; ++channel) {
        *value++ = first[channel] * (256 - tap.weight) + second[channel] * tap.weight;
      }
    }
  };
  for (std::uint32_t y = 0; y < down_.target; ++y) {
    const Tap& dy = down_taps[y];
    if (upper_line != dy.first) {
      if (lower_line == dy.first) {
        std::swap(upper, lower);
        std::swap(upper_line, lower_line);
      } else {
        stretch_line(dy.first, upper);
        upper_line = dy.first;
      }
    }
    if (lower_line != dy.second) {
      stretch_line(dy.second, lower);
      lower_line = dy.second;
    }
    std::uint8_t* out = canvas_.Pixel(0, static_cast<int>(y));
    const std::size_t values = upper.size();
    for (std::size_t i = 0; i < values; ++i) {
      out[i] = static_cast<std::uint8_t>(
          (upper[i] * (256 - dy.weight) + lower[i] * dy.weight + 32768) >> 16);
    }
  }
}

}  // namespace vistamere::picture
