#include "picture/jpeg_progressive_dc.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "picture/jpeg_huffman_lookup.h"

namespace vistamere::picture {
namespace {

constexpr std::size_t kBufferBytes = std::size_t{64} * 1024;
constexpr int kMaxScans = 500;
constexpr std::size_t kMaxBlocksPerMcu = 10;
constexpr int kMaxComponents = 4;
constexpr int kMaxPointTransform = 13;

constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerDqt = 0xDB;
constexpr int kMarkerDri = 0xDD;
constexpr int kMarkerDht = 0xC4;

bool IsRestart(int code) {
  return code >= 0xD0 && code <= 0xD7;
}
// SOI, and every SOFn (C4 is DHT, C8 is reserved, CC is DAC).
bool IsFrameMarker(int code) {
  return code == 0xD8 ||
         (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC);
}

enum class Stop { kNone, kTruncated, kCorrupt };

// The file's bytes through a buffer, read a piece at a time.
class FileBytes {
 public:
  explicit FileBytes(const ByteSource& source)
      : source_(source), size_(source.Size()), buffer_(kBufferBytes) {}

  std::uint64_t size() const { return size_; }

  // The byte at `offset`, or -1 past the end (or where the file cannot be
  // read).
  int At(std::uint64_t offset) {
    if (offset - start_ >= fill_ || offset < start_) Load(offset);
    return offset - start_ < fill_ && offset >= start_ ? buffer_[offset - start_] : -1;
  }

  // The offset of the first marker from `offset` on: 0xFF followed by a
  // byte other than 0x00 (a stuffed zero), 0xFF (a fill byte) or, with
  // `skip_restarts`, RST0 to RST7; size() when none comes.
  std::uint64_t NextMarker(std::uint64_t offset, bool skip_restarts) {
    while (offset < size_) {
      if (At(offset) < 0) return size_;
      const std::size_t index = offset - start_;
      const void* found = std::memchr(buffer_.data() + index, 0xFF, fill_ - index);
      if (found == nullptr) {
        offset = start_ + fill_;
        continue;
      }
      const std::uint64_t at =
          start_ +
          static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - buffer_.data());
      const int next = At(at + 1);
      if (next < 0) return size_;
      if (next == 0x00 || next == 0xFF || (skip_restarts && IsRestart(next))) {
        offset = at + (next == 0xFF ? 1 : 2);
        continue;
      }
      return at;
    }
    return size_;
  }

  // Copies `count` bytes from `offset`; false when the file ends first.
  bool Copy(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& out) {
    out.resize(count);
    if (offset > size_ || count > size_ - offset) return false;
    return source_.ReadAt(offset, out.data(), count) == count;
  }

 private:
  void Load(std::uint64_t offset) {
    start_ = offset;
    fill_ = offset < size_ ? source_.ReadAt(offset, buffer_.data(), buffer_.size()) : 0;
  }

  const ByteSource& source_;
  std::uint64_t size_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;
  std::size_t fill_ = 0;
};

// Where a reader stands: enough to go on from there later.
struct ReaderState {
  std::uint64_t next = 0;    // the first byte not yet taken
  std::uint64_t window = 0;  // the next bits, from the top
  int bits = 0;              // in the window
  int real = 0;              // of them, read from the data (the rest pad past its end)
  bool at_marker = false;    // the data has ended at `next` (a marker or the file's end)
  bool overran = false;      // bits past the data's end were used
};

// The bits of one scan's entropy-coded data, with stuffed zeros taken out;
// past its end (a marker or the end of the file) zeros.
class EntropyReader {
 public:
  explicit EntropyReader(FileBytes& bytes) : bytes_(bytes) {}

  const ReaderState& state() const { return state_; }
  void Restore(const ReaderState& state) { state_ = state; }
  void Start(std::uint64_t offset) { state_ = ReaderState{offset, 0, 0, 0, false, false}; }

  // At least 57 bits in the window.
  void Fill() {
    while (state_.bits <= 56) {
      const int byte = NextDataByte();
      if (byte >= 0) {
        state_.window |= static_cast<std::uint64_t>(byte) << (56 - state_.bits);
        state_.real += 8;
      }
      state_.bits += 8;
    }
  }
  std::uint32_t Peek(int count) const {
    return static_cast<std::uint32_t>(state_.window >> (64 - count));
  }
  void Skip(int count) {
    if (count > state_.real) state_.overran = true;
    state_.real = std::max(0, state_.real - count);
    state_.window <<= count;
    state_.bits -= count;
  }
  bool overran() const { return state_.overran; }

  // Steps over the restart marker RSTn (n = `number`) that ends the data
  // so far, dropping what is left of it.
  Stop Restart(int number) {
    const std::uint64_t at = EndOfData(false);
    if (at >= bytes_.size()) return Stop::kTruncated;
    const int code = bytes_.At(at + 1);
    if (code == 0xD0 + number) {
      Start(at + 2);
      return Stop::kNone;
    }
    // Another marker: the scan ended early.
    return IsRestart(code) ? Stop::kCorrupt : Stop::kTruncated;
  }

  // The offset of the marker that ends the scan's data (size() if none).
  std::uint64_t EndOfData(bool skip_restarts) {
    return bytes_.NextMarker(state_.next, skip_restarts);
  }

 private:
  int NextDataByte() {
    if (state_.at_marker) return -1;
    const int byte = bytes_.At(state_.next);
    if (byte != 0xFF) {
      if (byte < 0) {
        state_.at_marker = true;
        return -1;
      }
      ++state_.next;
      return byte;
    }
    if (bytes_.At(state_.next + 1) == 0x00) {
      state_.next += 2;
      return 0xFF;
    }
    state_.at_marker = true;
    return -1;
  }

  FileBytes& bytes_;
  ReaderState state_;
};

// A DC value's size is at most 15 bits: a table naming more is refused
// whole, as libjpeg-turbo refuses it.
bool DcSizesValid(const HuffmanCodes& codes) {
  int count = 0;
  for (std::size_t length = 1; length < codes.counts.size(); ++length)
    count += codes.counts[length];
  for (int i = 0; i < count && i < 256; ++i) {
    if (codes.symbols[static_cast<std::size_t>(i)] > 15) return false;
  }
  return count <= 256;
}

struct Checkpoint {
  bool set = false;
  ReaderState reader;
  std::array<std::uint32_t, kMaxComponents> predictors{};
};

// One DC scan, as the first pass found it.
struct DcScan {
  bool refinement = false;
  int al = 0;
  std::vector<int> components;
  std::vector<std::unique_ptr<HuffmanLookup>> tables;  // first scans: per component
  std::uint32_t restart_interval = 0;
  std::uint64_t data_offset = 0;
  std::uint32_t units_across = 0;  // MCUs, or the component's blocks when alone
  std::uint32_t units_down = 0;
  std::uint32_t rows_per_band = 0;      // unit rows
  std::uint64_t units_done = 0;         // decoded before the data ended or broke
  std::vector<Checkpoint> checkpoints;  // per band, at its first unit
};

struct ComponentState {
  int id = 0;
  int h = 1;  // blocks per MCU across and down; 1 and 1 in a grey picture
  int v = 1;
  std::uint32_t blocks_across = 0;  // its own blocks, without MCU padding
  std::uint32_t blocks_down = 0;
  std::uint32_t plane_across = 0;  // with MCU padding
  int quant_table = 0;
  bool latched = false;  // its quantizer is fixed (its first scan has come)
  bool started = false;  // its first DC scan has come
  int al = 0;            // the lowest bit its DC values have so far
  int first_scan = -1;   // index of that scan
};

class ProgressiveWalk {
 public:
  ProgressiveWalk(const ProgressiveStart& start, const ByteSource& source)
      : start_(start), bytes_(source), reader_(bytes_), layout_(start.layout) {}

  ProgressiveResult Run(int orientation, RowSink& sink, std::size_t band_bytes);

 private:
  bool SetUpFrame(std::size_t band_bytes);
  Stop FirstPass();
  Stop TakeScan(const ProgressiveScanHeader& header, std::uint64_t data_offset, std::uint64_t& end);
  Stop ReadMarkers(std::uint64_t offset, ProgressiveScanHeader& header, std::uint64_t& data_offset,
                   bool& ended);
  Stop ReadSegment(int code, const std::vector<std::uint8_t>& segment,
                   ProgressiveScanHeader& header);
  bool Complete() const;
  Stop DecodeUnits(DcScan& scan, std::uint64_t first, std::uint64_t end, std::uint32_t band,
                   bool record, std::uint64_t& stopped_at);
  void StoreBlock(int component, std::uint32_t x, std::uint32_t y, std::uint32_t band,
                  const DcScan& scan, std::uint32_t value);
  void BlackenUnreached(std::uint32_t band);
  void DecodeBand(std::uint32_t band);

  const ProgressiveStart& start_;
  FileBytes bytes_;
  EntropyReader reader_;
  DcScanLayout layout_;
  std::vector<ComponentState> components_;
  std::array<std::optional<std::uint16_t>, 4> quantizers_;
  std::array<std::optional<HuffmanCodes>, 4> dc_tables_;
  std::uint32_t restart_interval_ = 0;
  std::uint32_t mcus_across_ = 0;
  std::uint32_t mcus_down_ = 0;
  int h_max_ = 1;
  int v_max_ = 1;
  std::uint32_t band_mcu_rows_ = 0;
  std::uint32_t bands_ = 0;
  std::vector<DcScan> scans_;
  int scans_seen_ = 0;
  DcPlanes planes_;
};

std::uint32_t CeilDiv(std::uint64_t value, std::uint64_t divisor) {
  return static_cast<std::uint32_t>((value + divisor - 1) / divisor);
}

bool ProgressiveWalk::SetUpFrame(std::size_t band_bytes) {
  const std::size_t count = layout_.components.size();
  if ((count != 1 && count != 3) || start_.component_ids.size() != count ||
      start_.quant_tables.size() != count || layout_.width == 0 || layout_.height == 0) {
    return false;
  }
  for (const DcScanComponent& component : layout_.components) {
    if (component.h_samples < 1 || component.h_samples > 4 || component.v_samples < 1 ||
        component.v_samples > 4) {
      return false;
    }
    h_max_ = std::max(h_max_, component.h_samples);
    v_max_ = std::max(v_max_, component.v_samples);
  }
  components_.assign(count, ComponentState{});
  std::uint64_t bytes_per_mcu_row = 0;
  for (std::size_t c = 0; c < count; ++c) {
    ComponentState& state = components_[c];
    const DcScanComponent& component = layout_.components[c];
    state.id = start_.component_ids[c];
    state.quant_table = start_.quant_tables[c];
    if (state.quant_table < 0 || state.quant_table > 3) return false;
    const std::uint32_t width =
        CeilDiv(std::uint64_t{layout_.width} * static_cast<std::uint64_t>(component.h_samples),
                static_cast<std::uint64_t>(h_max_));
    const std::uint32_t height =
        CeilDiv(std::uint64_t{layout_.height} * static_cast<std::uint64_t>(component.v_samples),
                static_cast<std::uint64_t>(v_max_));
    state.blocks_across = CeilDiv(width, 8);
    state.blocks_down = CeilDiv(height, 8);
    state.h = count == 1 ? 1 : component.h_samples;
    state.v = count == 1 ? 1 : component.v_samples;
  }
  const int mcu_width = count == 1 ? 8 : 8 * h_max_;
  const int mcu_height = count == 1 ? 8 : 8 * v_max_;
  mcus_across_ = CeilDiv(layout_.width, static_cast<std::uint64_t>(mcu_width));
  mcus_down_ = CeilDiv(layout_.height, static_cast<std::uint64_t>(mcu_height));
  for (ComponentState& state : components_) {
    state.plane_across = mcus_across_ * static_cast<std::uint32_t>(state.h);
    bytes_per_mcu_row += std::uint64_t{state.plane_across} * static_cast<std::uint64_t>(state.v) *
                         sizeof(std::int16_t);
  }
  band_mcu_rows_ = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(band_bytes / bytes_per_mcu_row, 1, mcus_down_));
  bands_ = CeilDiv(mcus_down_, band_mcu_rows_);
  planes_.planes.assign(count, DcPlanes::Plane{});
  for (std::size_t c = 0; c < count; ++c) {
    planes_.planes[c].blocks_across = components_[c].plane_across;
    planes_.planes[c].blocks_down = band_mcu_rows_ * static_cast<std::uint32_t>(components_[c].v);
    planes_.planes[c].dc.assign(
        std::size_t{planes_.planes[c].blocks_across} * planes_.planes[c].blocks_down, 0);
  }
  quantizers_ = start_.dc_quantizers;
  dc_tables_ = start_.dc_tables;
  restart_interval_ = layout_.restart_interval;
  return true;
}

bool ProgressiveWalk::Complete() const {
  return std::all_of(components_.begin(), components_.end(),
                     [](const ComponentState& state) { return state.started && state.al == 0; });
}

// Stores one block's value where the band being decoded holds it: a first
// scan's value shifted up by the scan's point transform, a refinement's bit
// at it.
void ProgressiveWalk::StoreBlock(int component, std::uint32_t x, std::uint32_t y,
                                 std::uint32_t band, const DcScan& scan, std::uint32_t value) {
  const auto c = static_cast<std::size_t>(component);
  const std::uint32_t rows = band_mcu_rows_ * static_cast<std::uint32_t>(components_[c].v);
  const std::uint64_t first_row = std::uint64_t{band} * rows;
  if (y < first_row || y - first_row >= rows) return;
  DcPlanes::Plane& plane = planes_.planes[c];
  std::int16_t& dc = plane.dc[(y - first_row) * plane.blocks_across + x];
  if (scan.refinement) {
    if (value != 0) dc = static_cast<std::int16_t>(dc | (1 << scan.al));
  } else {
    dc = static_cast<std::int16_t>(static_cast<std::uint16_t>(value << scan.al));
  }
}

// Decodes units `first` to `end` (exclusive) at the reader's place, storing
// the blocks of `band`; with `record`, notes each band's starting place.
Stop ProgressiveWalk::DecodeUnits(DcScan& scan, std::uint64_t first, std::uint64_t end,
                                  std::uint32_t band, bool record, std::uint64_t& stopped_at) {
  std::array<std::uint32_t, kMaxComponents> predictors{};
  if (!record && band < scan.checkpoints.size()) predictors = scan.checkpoints[band].predictors;
  const bool interleaved = scan.components.size() > 1;
  std::array<std::uint32_t, kMaxBlocksPerMcu> values{};
  for (std::uint64_t unit = first; unit < end; ++unit) {
    const auto unit_x = static_cast<std::uint32_t>(unit % scan.units_across);
    const auto unit_y = static_cast<std::uint32_t>(unit / scan.units_across);
    if (record && unit_x == 0 && unit_y % scan.rows_per_band == 0) {
      Checkpoint& checkpoint = scan.checkpoints[unit_y / scan.rows_per_band];
      checkpoint.set = true;
      checkpoint.reader = reader_.state();
      checkpoint.predictors = predictors;
    }
    const std::uint32_t interval = scan.restart_interval;
    if (interval != 0 && unit != 0 && unit % interval == 0) {
      const Stop stop = reader_.Restart(static_cast<int>((unit / interval - 1) % 8));
      if (stop != Stop::kNone) {
        stopped_at = unit;
        return stop;
      }
      predictors.fill(0);
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i < scan.components.size(); ++i) {
      const ComponentState& component = components_[static_cast<std::size_t>(scan.components[i])];
      const int blocks = interleaved ? component.h * component.v : 1;
      for (int b = 0; b < blocks; ++b) {
        reader_.Fill();
        if (scan.refinement) {
          values[count++] = reader_.Peek(1);
          reader_.Skip(1);
          continue;
        }
        const HuffmanLookup& table = *scan.tables[i];
        const std::uint16_t entry = table.Short(reader_.Peek(kLookaheadBits));
        int length = entry >> 8;
        int size = entry & 0xFF;
        if (entry == 0) {
          std::uint8_t symbol = 0;
          length = table.Long(reader_.Peek(16), symbol);
          size = symbol;
          if (length == 0) {
            stopped_at = unit;
            return reader_.overran() ? Stop::kTruncated : Stop::kCorrupt;
          }
        }
        reader_.Skip(length);
        if (size != 0) {
          const std::uint32_t bits = reader_.Peek(size);
          reader_.Skip(size);
          // A leading 0 bit marks a negative difference.
          const std::uint32_t half = std::uint32_t{1} << (size - 1);
          predictors[i] += bits < half ? bits - (half << 1) + 1 : bits;
        }
        values[count++] = predictors[i];
      }
    }
    if (reader_.overran()) {
      stopped_at = unit;
      return Stop::kTruncated;
    }
    count = 0;
    for (const int c : scan.components) {
      const ComponentState& component = components_[static_cast<std::size_t>(c)];
      if (!interleaved) {
        StoreBlock(c, unit_x, unit_y, band, scan, values[count++]);
        continue;
      }
      for (int dy = 0; dy < component.v; ++dy) {
        for (int dx = 0; dx < component.h; ++dx) {
          StoreBlock(
              c, unit_x * static_cast<std::uint32_t>(component.h) + static_cast<std::uint32_t>(dx),
              unit_y * static_cast<std::uint32_t>(component.v) + static_cast<std::uint32_t>(dy),
              band, scan, values[count++]);
        }
      }
    }
  }
  stopped_at = end;
  return Stop::kNone;
}

// Takes one scan: a DC scan is decoded, an AC scan stepped over; `end` is
// where its data ends (at the first marker other than a restart marker).
Stop ProgressiveWalk::TakeScan(const ProgressiveScanHeader& header, std::uint64_t data_offset,
                               std::uint64_t& end) {
  if (++scans_seen_ > kMaxScans) return Stop::kCorrupt;
  const std::size_t count = header.components.size();
  if (count < 1 || count > kMaxComponents || header.dc_tables.size() != count ||
      header.ah > kMaxPointTransform || header.al > kMaxPointTransform || header.ah < 0 ||
      header.al < 0) {
    return Stop::kCorrupt;
  }
  // Each component's quantizer is fixed at its first scan of any kind.
  for (const int c : header.components) {
    ComponentState& component = components_[static_cast<std::size_t>(c)];
    if (component.latched) continue;
    const auto& quantizer = quantizers_[static_cast<std::size_t>(component.quant_table)];
    if (!quantizer) return Stop::kCorrupt;
    layout_.components[static_cast<std::size_t>(c)].dc_quantizer = *quantizer;
    component.latched = true;
  }
  if (header.ss != 0) {
    // AC coefficients: one component a scan; their data is not needed.
    if (count != 1 || header.se < header.ss || header.se > 63) return Stop::kCorrupt;
    end = bytes_.NextMarker(data_offset, true);
    return Stop::kNone;
  }
  if (header.se != 0) return Stop::kCorrupt;
  DcScan scan;
  scan.refinement = header.ah != 0;
  scan.al = header.al;
  scan.components = header.components;
  scan.restart_interval = restart_interval_;
  scan.data_offset = data_offset;
  std::size_t blocks = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int c = header.components[i];
    ComponentState& component = components_[static_cast<std::size_t>(c)];
    blocks += static_cast<std::size_t>(component.h * component.v);
    if (scan.refinement) {
      if (!component.started || component.al != header.ah || header.al != header.ah - 1) {
        return Stop::kCorrupt;
      }
    } else {
      const int table = header.dc_tables[i];
      if (component.started || table < 0 || table > 3 ||
          !dc_tables_[static_cast<std::size_t>(table)] ||
          !DcSizesValid(*dc_tables_[static_cast<std::size_t>(table)])) {
        return Stop::kCorrupt;
      }
      auto lookup = std::make_unique<HuffmanLookup>();
      if (!lookup->Build(*dc_tables_[static_cast<std::size_t>(table)])) return Stop::kCorrupt;
      scan.tables.push_back(std::move(lookup));
    }
  }
  if (count > 1 && blocks > kMaxBlocksPerMcu) return Stop::kCorrupt;
  if (count > 1) {
    scan.units_across = mcus_across_;
    scan.units_down = mcus_down_;
    scan.rows_per_band = band_mcu_rows_;
  } else {
    const ComponentState& component = components_[static_cast<std::size_t>(header.components[0])];
    scan.units_across = component.blocks_across;
    scan.units_down = component.blocks_down;
    scan.rows_per_band = band_mcu_rows_ * static_cast<std::uint32_t>(component.v);
  }
  scan.checkpoints.resize(bands_);
  for (const int c : header.components) {
    ComponentState& component = components_[static_cast<std::size_t>(c)];
    if (!component.started) component.first_scan = static_cast<int>(scans_.size());
    component.started = true;
    component.al = header.al;
  }
  scans_.push_back(std::move(scan));
  DcScan& taken = scans_.back();
  reader_.Start(data_offset);
  const std::uint64_t units = std::uint64_t{taken.units_across} * taken.units_down;
  std::uint64_t done = 0;
  const Stop stop = DecodeUnits(taken, 0, units, 0, true, done);
  taken.units_done = done;
  end = reader_.EndOfData(true);
  return stop;
}

Stop ProgressiveWalk::ReadSegment(int code, const std::vector<std::uint8_t>& segment,
                                  ProgressiveScanHeader& header) {
  std::size_t at = 0;
  const std::size_t size = segment.size();
  switch (code) {
    case kMarkerDht:
      while (at < size) {
        const int kind = segment[at] >> 4;
        const int number = segment[at] & 15;
        if (kind > 1 || number > 3 || size - at < 17) return Stop::kCorrupt;
        HuffmanCodes codes;
        std::size_t symbols = 0;
        for (std::size_t length = 1; length <= 16; ++length) {
          codes.counts[length] = segment[at + length];
          symbols += codes.counts[length];
        }
        at += 17;
        if (symbols > 256 || size - at < symbols) return Stop::kCorrupt;
        std::copy_n(segment.begin() + static_cast<std::ptrdiff_t>(at), symbols,
                    codes.symbols.begin());
        at += symbols;
        if (kind == 0) dc_tables_[static_cast<std::size_t>(number)] = codes;
      }
      return Stop::kNone;
    case kMarkerDqt:
      while (at < size) {
        const int precision = segment[at] >> 4;
        const int number = segment[at] & 15;
        const std::size_t length = precision == 0 ? 64 : 128;
        if (precision > 1 || number > 3 || size - at - 1 < length) return Stop::kCorrupt;
        quantizers_[static_cast<std::size_t>(number)] =
            precision == 0 ? segment[at + 1]
                           : static_cast<std::uint16_t>((segment[at + 1] << 8) | segment[at + 2]);
        at += 1 + length;
      }
      return Stop::kNone;
    case kMarkerDri:
      if (size != 2) return Stop::kCorrupt;
      restart_interval_ = static_cast<std::uint32_t>((segment[0] << 8) | segment[1]);
      return Stop::kNone;
    case kMarkerSos: {
      if (size < 1) return Stop::kCorrupt;
      const std::size_t count = segment[0];
      if (count < 1 || count > kMaxComponents || size != 1 + 2 * count + 3) return Stop::kCorrupt;
      header = ProgressiveScanHeader{};
      for (std::size_t i = 0; i < count; ++i) {
        const int id = segment[1 + 2 * i];
        const auto found = std::find_if(components_.begin(), components_.end(),
                                        [id](const ComponentState& c) { return c.id == id; });
        if (found == components_.end()) return Stop::kCorrupt;
        const int index = static_cast<int>(found - components_.begin());
        if (std::find(header.components.begin(), header.components.end(), index) !=
            header.components.end()) {
          return Stop::kCorrupt;
        }
        header.components.push_back(index);
        header.dc_tables.push_back(segment[2 + 2 * i] >> 4);
      }
      header.ss = segment[1 + 2 * count];
      header.se = segment[2 + 2 * count];
      header.ah = segment[3 + 2 * count] >> 4;
      header.al = segment[3 + 2 * count] & 15;
      return Stop::kNone;
    }
    default:
      return Stop::kNone;
  }
}

// Reads the markers from `offset` on up to the next scan's data (`header`,
// `data_offset`), or to EOI (`ended`).
Stop ProgressiveWalk::ReadMarkers(std::uint64_t offset, ProgressiveScanHeader& header,
                                  std::uint64_t& data_offset, bool& ended) {
  std::vector<std::uint8_t> segment;
  for (;;) {
    offset = bytes_.NextMarker(offset, true);
    if (offset >= bytes_.size()) return Stop::kTruncated;
    const int code = bytes_.At(offset + 1);
    if (code == kMarkerEoi) {
      ended = true;
      return Stop::kNone;
    }
    if (IsFrameMarker(code)) return Stop::kCorrupt;
    const int high = bytes_.At(offset + 2);
    const int low = bytes_.At(offset + 3);
    if (high < 0 || low < 0) return Stop::kTruncated;
    const auto length = static_cast<std::size_t>((high << 8) | low);
    if (length < 2) return Stop::kCorrupt;
    const bool needed =
        code == kMarkerDht || code == kMarkerDqt || code == kMarkerDri || code == kMarkerSos;
    if (needed && !bytes_.Copy(offset + 4, length - 2, segment)) return Stop::kTruncated;
    if (needed) {
      const Stop stop = ReadSegment(code, segment, header);
      if (stop != Stop::kNone) return stop;
    }
    offset += 2 + length;
    if (code == kMarkerSos) {
      data_offset = offset;
      return Stop::kNone;
    }
  }
}

Stop ProgressiveWalk::FirstPass() {
  ProgressiveScanHeader header = start_.first_scan;
  std::uint64_t data_offset = start_.data_offset;
  for (;;) {
    std::uint64_t end = 0;
    const Stop taken = TakeScan(header, data_offset, end);
    if (taken != Stop::kNone || Complete()) return taken;
    bool ended = false;
    const Stop stop = ReadMarkers(end, header, data_offset, ended);
    if (stop != Stop::kNone) return stop;
    if (ended) return Stop::kTruncated;
  }
}

// Makes the blocks of the first component (grey, or luma) that its first
// DC scan never reached black.
void ProgressiveWalk::BlackenUnreached(std::uint32_t band) {
  const ComponentState& component = components_[0];
  const DcScan* scan =
      component.first_scan >= 0 ? &scans_[static_cast<std::size_t>(component.first_scan)] : nullptr;
  const std::uint64_t units =
      scan != nullptr ? std::uint64_t{scan->units_across} * scan->units_down : 0;
  if (scan != nullptr && scan->units_done == units) return;
  const std::int32_t quantizer = std::max<std::int32_t>(layout_.components[0].dc_quantizer, 1);
  const auto black = static_cast<std::int16_t>(-((1024 + 4 + quantizer - 1) / quantizer));
  DcPlanes::Plane& plane = planes_.planes[0];
  const std::uint64_t first_row = std::uint64_t{band} * plane.blocks_down;
  for (std::uint32_t row = 0; row < plane.blocks_down; ++row) {
    const std::uint64_t y = first_row + row;
    for (std::uint32_t x = 0; x < plane.blocks_across; ++x) {
      std::uint64_t unit = units;
      if (scan != nullptr && scan->components.size() > 1) {
        unit = y / static_cast<std::uint64_t>(component.v) * scan->units_across +
               x / static_cast<std::uint32_t>(component.h);
      } else if (scan != nullptr && x < scan->units_across && y < scan->units_down) {
        unit = y * scan->units_across + x;
      }
      if (scan == nullptr || unit >= scan->units_done) {
        plane.dc[std::size_t{row} * plane.blocks_across + x] = black;
      }
    }
  }
}

void ProgressiveWalk::DecodeBand(std::uint32_t band) {
  for (DcPlanes::Plane& plane : planes_.planes) std::fill(plane.dc.begin(), plane.dc.end(), 0);
  for (DcScan& scan : scans_) {
    if (band >= scan.checkpoints.size() || !scan.checkpoints[band].set) continue;
    const std::uint64_t first = std::uint64_t{band} * scan.rows_per_band * scan.units_across;
    const std::uint64_t end =
        std::min(first + std::uint64_t{scan.rows_per_band} * scan.units_across, scan.units_done);
    if (first >= end) continue;
    reader_.Restore(scan.checkpoints[band].reader);
    std::uint64_t stopped_at = 0;
    static_cast<void>(DecodeUnits(scan, first, end, band, false, stopped_at));
  }
}

ProgressiveResult ProgressiveWalk::Run(int orientation, RowSink& sink, std::size_t band_bytes) {
  ProgressiveResult result;
  if (!SetUpFrame(band_bytes)) return result;
  result.bands = bands_;
  const Stop stop = FirstPass();
  result.ending = stop == Stop::kNone        ? ProgressiveEnding::kComplete
                  : stop == Stop::kTruncated ? ProgressiveEnding::kTruncated
                                             : ProgressiveEnding::kCorrupt;
  const bool any = std::any_of(scans_.begin(), scans_.end(), [](const DcScan& scan) {
    return !scan.refinement && scan.units_done > 0;
  });
  if (!any) return result;
  if (!sink.Begin(CeilDiv(layout_.width, 8), CeilDiv(layout_.height, 8), orientation)) {
    result.ending = ProgressiveEnding::kRefused;
    return result;
  }
  // The first pass kept the first band; each later one is decoded again
  // from the places the first pass noted.
  for (std::uint32_t band = 0; band < bands_; ++band) {
    if (band > 0) DecodeBand(band);
    BlackenUnreached(band);
    DeliverDcPixels(layout_, planes_, sink, band * band_mcu_rows_);
  }
  result.delivered = true;
  return result;
}

}  // namespace

ProgressiveResult DecodeProgressiveDc(const ProgressiveStart& start, const ByteSource& source,
                                      int orientation, RowSink& sink, std::size_t band_bytes) {
  try {
    auto walk = std::make_unique<ProgressiveWalk>(start, source);
    return walk->Run(orientation, sink, band_bytes);
  } catch (const std::bad_alloc&) {
    return ProgressiveResult{};
  }
}

}  // namespace vistamere::picture
