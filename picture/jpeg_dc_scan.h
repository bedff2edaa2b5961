// Baseline JPEG scans decoded for their DC coefficients alone.
//
// A JPEG shown at 1/8 of its size needs one value per 8x8 block: the
// block's mean, which is its DC coefficient. The AC coefficients still have
// to be read to find where each block ends, but only their lengths: no
// coefficient is stored, dequantized or transformed. Without restart
// markers the scan is one long chain of variable-length codes; on two
// threads the second starts in the middle of the data at a guess, and the
// first, reaching the place where the second started, watches for the
// first block start both have seen at the same bit: from there the second
// thread's blocks are the true ones, and its DC values differ from the true
// ones by one constant per component.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/byte_source.h"
#include "picture/prefaulted_allocator.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

// A Huffman table as a JPEG file defines it: counts[l] codes of length l
// (1 to 16; counts[0] unused), then the symbols in code order.
struct HuffmanCodes {
  std::array<std::uint8_t, 17> counts{};
  std::array<std::uint8_t, 256> symbols{};
};

struct DcScanComponent {
  int h_samples = 1;  // sampling factors, 1 to 4
  int v_samples = 1;
  std::uint16_t dc_quantizer = 1;
  HuffmanCodes dc_table;
  HuffmanCodes ac_table;
};

// One scan holding every component of the picture (interleaved when there
// are three), Huffman-coded, 8-bit samples.
struct DcScanLayout {
  std::uint32_t width = 0;  // of the picture, in pixels
  std::uint32_t height = 0;
  // 1 (grey) or 3 (Y Cb Cr), in scan order.
  std::vector<DcScanComponent> components;
  std::uint32_t restart_interval = 0;  // MCUs between restart markers, 0 for none
};

struct DcScanOptions {
  // 1 decodes on the calling thread alone; 2 adds a second thread when the
  // data is at least `min_parallel_bytes` long.
  int threads = 2;
  std::size_t min_parallel_bytes = std::size_t{1} << 20;
  // Where the second thread starts, as a fraction of the data.
  double split = 0.5;
};

// What happened, for tests and benchmarks.
struct DcScanReport {
  bool parallel = false;  // a second thread ran
  bool joined = false;    // and its blocks were used
  std::uint64_t first_thread_mcus = 0;
};

// DC coefficients as coded (before multiplying by the quantizer), one per
// block, per component, blocks in rows.
struct DcPlanes {
  struct Plane {
    std::uint32_t blocks_across = 0;
    std::uint32_t blocks_down = 0;
    std::vector<std::int16_t, PrefaultedAllocator<std::int16_t>> dc;
  };
  std::vector<Plane> planes;
};

// Whether the layout is one this decoder takes (1 or 3 components, valid
// sampling factors and tables, at most `max_blocks` blocks in all).
[[nodiscard]] bool DcScanLayoutUsable(const DcScanLayout& layout, std::uint64_t max_blocks);

// Decodes the entropy-coded data of a scan: the `size` bytes of `source`
// from `origin` on (just after the SOS segment, and may run on to the end of
// the file), read a piece at a time. False when it is not a complete,
// well-formed scan of `layout` (a damaged or truncated file): the caller
// then decodes the file some other way.
[[nodiscard]] bool DecodeDcScan(const DcScanLayout& layout, const ByteSource& source,
                                std::uint64_t origin, std::size_t size,
                                const DcScanOptions& options, DcPlanes& planes,
                                DcScanReport* report = nullptr);
// The same for data in memory.
[[nodiscard]] bool DecodeDcScan(const DcScanLayout& layout, const std::uint8_t* data,
                                std::size_t size, const DcScanOptions& options, DcPlanes& planes,
                                DcScanReport* report = nullptr);

// The picture at 1/8 scale, ceil(width / 8) x ceil(height / 8), as RGBA rows
// to `sink` (whose Begin() the caller has already called): the rows of the
// MCU rows `planes` hold, which start at MCU row `first_mcu_row` (its block
// rows are the planes' first). An MCU row is 8 pixel rows of a grey
// picture, 8 times the largest vertical sampling factor of a colour one.
void DeliverDcPixels(const DcScanLayout& layout, const DcPlanes& planes, RowSink& sink,
                     std::uint32_t first_mcu_row = 0);

}  // namespace vistamere::picture
