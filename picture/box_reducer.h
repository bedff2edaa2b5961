// The RowSink that shrinks a picture into a canvas as its rows arrive.
//
// Each delivered pixel, placed by the EXIF orientation, adds to the cell of
// an accumulator that covers it: the accumulator is never larger than the
// canvas on either axis, so memory stays bounded whatever the picture's
// size. Finish() averages each cell (pixels never delivered count as black)
// and stretches the result bilinearly where the picture was smaller than
// the canvas. A picture no larger than the canvas on either axis needs no
// accumulator: its pixels go straight into the grid that is stretched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/canvas.h"
#include "picture/decode.h"
#include "picture/load_picture_file.h"
#include "picture/prefaulted_allocator.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

class BoxReducer final : public RowSink {
 public:
  // The canvas keeps its size: it is the target of the reduction.
  BoxReducer(Canvas& canvas, const DecodeRequest& request, ProgressCallback progress = {});

  // Refuses an empty picture or one of more than max_pixels pixels or
  // max_rows rows, before allocating anything.
  [[nodiscard]] bool Begin(std::uint32_t width, std::uint32_t height, int orientation) override;
  void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
              const std::uint8_t* rgba) override;

  // Writes the reduced picture into the canvas; does nothing before a
  // successful Begin().
  void Finish();

  // The size of the last Begin() and whether it was refused.
  bool refused() const { return refused_; }
  // Whether the progress callback stopped the load; pixels are ignored since.
  bool cancelled() const { return cancelled_; }
  std::uint32_t declared_width() const { return source_width_; }
  std::uint32_t declared_height() const { return source_height_; }

 private:
  // One axis of the reduction: `length` oriented source pixels fall into
  // `cells` accumulator cells (cells <= length), then stretch to `target`.
  struct Axis {
    std::uint32_t length = 0;
    std::uint32_t cells = 0;
    std::uint32_t target = 0;
    std::uint32_t CellOf(std::uint64_t position) const {
      return static_cast<std::uint32_t>(position * cells / length);
    }
    // How many source pixels fall into cell `c`.
    std::uint64_t CountIn(std::uint32_t c) const;
  };

  // A stretch of source columns that all fall into one accumulator cell:
  // the columns before `end`, from the end of the previous run, add to the
  // cell `offset` elements of sums_ past the start of their line.
  struct Run {
    std::uint32_t end = 0;
    std::size_t offset = 0;
  };

  void ReportProgress(std::uint32_t count);
  void AddRuns(std::uint64_t* line, std::uint32_t x, std::uint32_t end, const std::uint8_t* rgba);
  void AddStepped(std::uint64_t* line, std::uint32_t x_start, std::uint32_t x_step,
                  std::uint32_t count, const std::uint8_t* rgba);
  void PutPixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
                 const std::uint8_t* rgba);
  void AverageCells();
  void CopyIntoCanvas();
  void StretchIntoCanvas();

  Canvas& canvas_;
  DecodeRequest request_;
  ProgressCallback progress_;
  bool cancelled_ = false;

  bool begun_ = false;
  bool refused_ = false;
  std::uint32_t source_width_ = 0;
  std::uint32_t source_height_ = 0;
  bool transposed_ = false;  // source x runs along the canvas's y
  bool x_reversed_ = false;  // source x runs against its oriented axis
  bool y_reversed_ = false;
  Axis across_;  // canvas x
  Axis down_;    // canvas y
  // One pixel per cell: no sums, the pixels go straight into grid_.
  bool direct_ = false;
  // R G B sums per cell, premultiplied by alpha (so scaled by 255).
  std::vector<std::uint64_t, PrefaultedAllocator<std::uint64_t>> sums_;
  // R G B per cell, the cells' averages: what is stretched to the canvas.
  std::vector<std::uint8_t, PrefaultedAllocator<std::uint8_t>> grid_;
  // The source columns in order, as runs that share a cell: no more runs
  // than cells, so no longer than the canvas is wide or tall.
  std::vector<Run> runs_;

  std::uint64_t delivered_ = 0;
  int last_percent_ = -1;
};

}  // namespace vistamere::picture
