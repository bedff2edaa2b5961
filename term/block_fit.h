// The picture in cells, each the block element (or blank) and pair of
// colours that come closest to the canvas under it: every way the block
// elements split a cell (in eighths across or down, its quarters, the two
// diagonal quarters) is tried, each side taking the mean colour of its
// samples (in 256-colour mode the palette entry nearest to it), and the
// split with the least squared error wins.
#pragma once

#include "picture/canvas.h"
#include "term/picture_cells.h"

namespace vistamere::term {

// The canvas stretched over columns x rows cells of kSamplesPerCell squared
// samples each (an area average of the canvas), in 24-bit colour or in
// palette entries 16-255 (`mode` kTrueColor or kIndexed256). An empty
// canvas gives black cells, and so does one of over 2^24 pixels.
[[nodiscard]] PictureCellGrid FitBlockCells(const picture::Canvas& canvas, int columns, int rows,
                                            ColourMode mode);

}  // namespace vistamere::term
