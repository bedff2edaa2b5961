// Progressive JPEG pictures at 1/8 scale from their DC scans alone.
//
// A progressive file sends every block's DC coefficient first (perhaps
// without its lowest bits, which refinement scans add later, one bit a
// block), and the AC coefficients in scans of their own. At 1/8 scale only
// the DC values count: the DC scans are decoded, the AC scans' data is
// stepped over without decoding, and reading stops once every component's
// DC values are complete.
//
// The DC values are kept in bands of MCU rows of at most a given size. When
// the picture's values fit one band they are decoded in one pass; otherwise
// the first pass keeps the first band and, at each band's start in each DC
// scan, the reader's state; each later band is then decoded again from
// those places. Memory stays within the band's size whatever the picture's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "picture/byte_source.h"
#include "picture/jpeg_dc_scan.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

struct ProgressiveScanHeader {
  std::vector<int> components;  // the frame's component indices, in scan order
  std::vector<int> dc_tables;   // the DC table each uses
  int ss = 0;
  int se = 0;
  int ah = 0;
  int al = 0;
};

// The file as far as its first scan's data: frame, tables and the first
// scan's header, and where that scan's entropy-coded data starts.
struct ProgressiveStart {
  // Size, restart interval, and per component its sampling factors (the
  // quantizers and Huffman tables here are not used).
  DcScanLayout layout;
  std::vector<int> component_ids;                             // as the frame numbers them
  std::vector<int> quant_tables;                              // the quantization table of each
  std::array<std::optional<std::uint16_t>, 4> dc_quantizers;  // each table's first entry
  std::array<std::optional<HuffmanCodes>, 4> dc_tables;
  ProgressiveScanHeader first_scan;
  std::uint64_t data_offset = 0;
};

enum class ProgressiveEnding {
  kComplete,   // every block's DC value, to full precision
  kTruncated,  // the data ended before that
  kCorrupt,    // the data broke before that
  kRefused,    // the sink refused the size
};

struct ProgressiveResult {
  ProgressiveEnding ending = ProgressiveEnding::kCorrupt;
  bool delivered = false;  // Begin() accepted and every row delivered
  std::uint32_t bands = 0;
};

inline constexpr std::size_t kDefaultDcBandBytes = std::size_t{16} << 20;

// Decodes the DC scans from `start` on and, when any block's DC value came,
// announces ceil(width / 8) x ceil(height / 8) to `sink` and delivers every
// row; blocks whose values never came are black (grey) or colourless. The
// DC values are held in bands of at most `band_bytes`.
ProgressiveResult DecodeProgressiveDc(const ProgressiveStart& start, const ByteSource& source,
                                      int orientation, RowSink& sink,
                                      std::size_t band_bytes = kDefaultDcBandBytes);

}  // namespace vistamere::picture
