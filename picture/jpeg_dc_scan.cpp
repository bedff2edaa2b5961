#include "picture/jpeg_dc_scan.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "picture/jpeg_bit_reader.h"
#include "picture/jpeg_huffman_lookup.h"
#include "picture/memory_source.h"

namespace vistamere::picture {
namespace {

constexpr std::size_t kMaxBlocksPerMcu = 10;  // the format's own limit
constexpr std::size_t kMaxComponents = 3;
// Positions are kept as 32-bit bit counts from where the second thread starts.
constexpr std::size_t kMaxDataBytes = std::size_t{1} << 28;

struct Slot {
  std::size_t component;
  std::uint32_t dx;  // block within the component's part of the MCU
  std::uint32_t dy;
};

// Everything decoding needs, worked out from the layout once.
struct ScanPlan {
  std::size_t components = 0;
  std::array<HuffmanLookup, kMaxComponents> dc{};
  std::array<AcSkipLookup, kMaxComponents> ac{};
  std::vector<Slot> slots;  // one MCU's blocks in coding order
  std::array<std::size_t, kMaxComponents> last_slot{};
  std::array<std::uint32_t, kMaxComponents> h{};  // blocks per MCU across
  std::array<std::uint32_t, kMaxComponents> v{};  // and down
  std::uint32_t mcus_across = 0;
  std::uint32_t mcus_down = 0;
  std::uint64_t mcu_count = 0;
  std::uint32_t restart_interval = 0;
};

// A DC code's value is the size of the difference that follows, at most 15
// bits: a table naming more is refused whole, used or not, as libjpeg-turbo
// refuses it.
bool DcValueSizesValid(const HuffmanCodes& codes) {
  int count = 0;
  for (std::size_t length = 1; length < codes.counts.size(); ++length)
    count += codes.counts[length];
  for (int i = 0; i < count && i < 256; ++i) {
    if (codes.symbols[static_cast<std::size_t>(i)] > 15) return false;
  }
  return true;
}

std::uint32_t CeilDiv(std::uint32_t value, std::uint32_t divisor) {
  return static_cast<std::uint32_t>((std::uint64_t{value} + divisor - 1) / divisor);
}

[[nodiscard]] bool MakePlan(const DcScanLayout& layout, ScanPlan& plan) {
  const std::size_t count = layout.components.size();
  if ((count != 1 && count != 3) || layout.width == 0 || layout.height == 0) return false;
  plan.components = count;
  std::uint32_t h_max = 1;
  std::uint32_t v_max = 1;
  for (std::size_t c = 0; c < count; ++c) {
    const DcScanComponent& component = layout.components[c];
    if (component.h_samples < 1 || component.h_samples > 4 || component.v_samples < 1 ||
        component.v_samples > 4) {
      return false;
    }
    // A scan of one component has one block per MCU, whatever its factors.
    plan.h[c] = count == 1 ? 1 : static_cast<std::uint32_t>(component.h_samples);
    plan.v[c] = count == 1 ? 1 : static_cast<std::uint32_t>(component.v_samples);
    h_max = std::max(h_max, plan.h[c]);
    v_max = std::max(v_max, plan.v[c]);
    if (!DcValueSizesValid(component.dc_table) || !plan.dc[c].Build(component.dc_table) ||
        !plan.ac[c].Build(component.ac_table)) {
      return false;
    }
  }
  plan.slots.clear();
  for (std::size_t c = 0; c < count; ++c) {
    for (std::uint32_t dy = 0; dy < plan.v[c]; ++dy) {
      for (std::uint32_t dx = 0; dx < plan.h[c]; ++dx) plan.slots.push_back({c, dx, dy});
    }
    plan.last_slot[c] = plan.slots.size() - 1;
  }
  if (plan.slots.size() > kMaxBlocksPerMcu) return false;
  plan.mcus_across = CeilDiv(layout.width, 8 * h_max);
  plan.mcus_down = CeilDiv(layout.height, 8 * v_max);
  plan.mcu_count = std::uint64_t{plan.mcus_across} * plan.mcus_down;
  plan.restart_interval = layout.restart_interval;
  return true;
}

// Decodes one MCU: the DC value of each block, in slot order, into `dc`.
// `predictors` carry each component's last DC value; all arithmetic is
// modulo 2^32 (and the values kept modulo 2^16), so that values decoded
// from a wrong start differ from the true ones by one constant.
[[nodiscard]] bool DecodeMcu(const ScanPlan& plan, JpegBitReader& reader, std::uint32_t* predictors,
                             std::uint16_t* dc) {
  for (std::size_t i = 0; i < plan.slots.size(); ++i) {
    const std::size_t c = plan.slots[i].component;
    reader.Fill();
    const std::uint16_t entry = plan.dc[c].Short(reader.Peek(kLookaheadBits));
    int length = entry >> 8;
    int size = entry & 0xFF;
    if (entry == 0) {
      std::uint8_t symbol = 0;
      length = plan.dc[c].Long(reader.Peek(16), symbol);
      if (length == 0) return false;
      size = symbol;
    }
    if (size > 15) return false;
    reader.Skip(length);
    if (size != 0) {
      const std::uint32_t bits = reader.Peek(size);
      reader.Skip(size);
      // A leading 0 bit marks a negative difference.
      const std::uint32_t half = std::uint32_t{1} << (size - 1);
      predictors[c] += bits < half ? bits - (half << 1) + 1 : bits;
    }
    dc[i] = static_cast<std::uint16_t>(predictors[c]);

    // A lookup takes at most 26 bits (a code of up to kLookaheadBits and
    // up to 15 value bits), a long code 31: two lookups to a fill.
    int k = 1;
    while (k <= AcSkipLookup::kLastPairPosition) {
      reader.Fill();
      std::uint16_t step = plan.ac[c].Pair(reader.Peek(kLookaheadBits));
      if (step == 0) {
        step = plan.ac[c].Long(reader.Peek(16));
        if (step == 0) return false;
        reader.Skip(step & 0xFF);
        k += step >> 8;
        continue;
      }
      reader.Skip(step & 0xFF);
      k += step >> 8;
      if (k > AcSkipLookup::kLastPairPosition) break;
      step = plan.ac[c].Pair(reader.Peek(kLookaheadBits));
      if (step == 0) continue;  // a long code: after a fill
      reader.Skip(step & 0xFF);
      k += step >> 8;
    }
    while (k < 64) {
      reader.Fill();
      std::uint16_t step = plan.ac[c].Short(reader.Peek(kLookaheadBits));
      if (step == 0) {
        step = plan.ac[c].Long(reader.Peek(16));
        if (step == 0) return false;
      }
      reader.Skip(step & 0xFF);
      k += step >> 8;
    }
    if (k > 64 && k < AcSkipLookup::kEndOfBlock) return false;
  }
  return true;
}

void StoreMcu(const ScanPlan& plan, DcPlanes& planes, std::uint64_t mcu, const std::uint16_t* dc) {
  const auto mcu_x = static_cast<std::uint32_t>(mcu % plan.mcus_across);
  const auto mcu_y = static_cast<std::uint32_t>(mcu / plan.mcus_across);
  for (std::size_t i = 0; i < plan.slots.size(); ++i) {
    const Slot& slot = plan.slots[i];
    DcPlanes::Plane& plane = planes.planes[slot.component];
    const std::size_t x = std::size_t{mcu_x} * plan.h[slot.component] + slot.dx;
    const std::size_t y = std::size_t{mcu_y} * plan.v[slot.component] + slot.dy;
    plane.dc[y * plane.blocks_across + x] = static_cast<std::int16_t>(dc[i]);
  }
}

// Bits of data (stuffed zeros and restart markers left out) before byte
// `offset`; false when another marker comes first, or any marker when the
// scan has no restart interval.
[[nodiscard]] bool DataBitsBefore(const ScanBytes& bytes, std::size_t offset, bool restarts,
                                  std::uint64_t& bits) {
  std::vector<std::uint8_t> buffer(JpegBitReader::kBufferBytes + 1);
  std::uint64_t count = 0;
  std::size_t i = 0;
  while (i < offset) {
    // A piece, with one byte more to see what follows a 0xFF at its end.
    const std::size_t piece = std::min(offset - i, JpegBitReader::kBufferBytes);
    const std::size_t got = bytes.CopyOut(i, buffer.data(), piece + 1);
    if (got < piece) return false;
    std::size_t j = 0;
    while (j < piece) {
      const void* found = std::memchr(buffer.data() + j, 0xFF, piece - j);
      if (found == nullptr) {
        count += piece - j;
        j = piece;
        break;
      }
      const auto at =
          static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - buffer.data());
      count += at - j;
      if (at + 1 >= got) return false;
      const std::uint8_t next = buffer[at + 1];
      if (next == 0) {
        count += 1;
      } else if (!restarts || (next & 0xF8) != 0xD0) {
        return false;
      }
      j = at + 2;
    }
    i += j;
  }
  bits = count * 8;
  return true;
}

// Where the second thread starts: at `split` of the data, or just after
// the first restart marker from there (where decoding starts afresh).
std::size_t SecondStart(const ScanPlan& plan, const ScanBytes& bytes, double split) {
  const std::size_t size = bytes.size;
  split = std::clamp(split, 0.0, 1.0);
  auto start = static_cast<std::size_t>(static_cast<double>(size) * split);
  start = std::clamp<std::size_t>(start, 1, size - 1);
  std::vector<std::uint8_t> buffer(JpegBitReader::kBufferBytes);
  if (plan.restart_interval != 0) {
    // Markers come every few MCUs: look a few pieces on at most.
    for (std::size_t i = start, pieces = 0; i + 1 < size && pieces < 16; ++pieces) {
      const std::size_t got = bytes.CopyOut(i, buffer.data(), buffer.size());
      if (got < 2) break;
      for (std::size_t j = 0; j + 1 < got; ++j) {
        if (buffer[j] == 0xFF && (buffer[j + 1] & 0xF8) == 0xD0) return i + j + 2;
      }
      i += got - 1;
    }
  }
  // Never just after a 0xFF: that byte belongs with it.
  std::uint8_t before = 0;
  while (start < size && bytes.CopyOut(start - 1, &before, 1) == 1 && before == 0xFF) ++start;
  return start;
}

// What the second thread decodes, from a guessed start: one record per
// MCU. Epochs change where its DC predictors restart from zero (a restart
// marker, or a new attempt after its guess turned out wrong).
struct SecondThreadRecords {
  std::uint64_t base = 0;  // bit position positions count from
  template <typename T>
  using Array = std::vector<T, PrefaultedAllocator<T>>;
  Array<std::uint32_t> position;  // of the MCU's first bit, from `base`
  Array<std::uint32_t> epoch;
  // The restart marker's second byte (0xD0 to 0xD7) where one came just
  // before the MCU, else 0.
  Array<std::uint8_t> restart_code;
  Array<std::uint16_t> dc;  // slots per MCU
  std::size_t capacity = 0;
  // How far the thread has come: the records published, times two, plus
  // one once it has ended. One word, so that the first thread reads both
  // at once and can sleep until it changes.
  std::atomic<std::uint32_t> progress{0};
  std::atomic<bool> stop{false};
  // Read after the thread has ended:
  std::size_t last_attempt_start = 0;
  bool ended_at_marker = false;  // rather than running off the end of the file
};

// Every block takes two bits of data at least (a DC code and an AC code),
// and attempts never overlap: no more records than that fit the word.
static_assert(kMaxDataBytes * 8 / 2 <= std::numeric_limits<std::uint32_t>::max() / 2);

std::uint32_t ProgressWord(std::size_t published, bool finished) {
  return static_cast<std::uint32_t>(published * 2 + (finished ? 1 : 0));
}
std::size_t PublishedIn(std::uint32_t progress) {
  return progress >> 1;
}
bool FinishedIn(std::uint32_t progress) {
  return (progress & 1) != 0;
}

// Publishes the records before `published` (and that the thread has ended)
// and wakes the first thread if it sleeps on the word. notify_one() only
// makes a system call when it sees a thread waiting; the store and the
// waiter's loads are sequentially consistent so that either it sees the
// waiter or the waiter sees the new word and does not sleep.
void Announce(SecondThreadRecords& records, std::size_t published, bool finished) {
  records.progress.store(ProgressWord(published, finished), std::memory_order_seq_cst);
  records.progress.notify_one();
}

void RunSecondThread(const ScanPlan& plan, const ScanBytes& bytes, std::size_t start,
                     SecondThreadRecords& records) {
  JpegBitReader reader(bytes, start, records.base);
  std::array<std::uint32_t, kMaxComponents> predictors{};
  std::array<std::uint16_t, kMaxBlocksPerMcu> dc{};
  const std::size_t slots = plan.slots.size();
  std::uint32_t epoch = 0;
  std::uint8_t restart_code = 0;
  bool fresh = true;
  std::size_t count = 0;
  while (count < records.capacity && !records.stop.load(std::memory_order_relaxed)) {
    if (!fresh && reader.AtRestartMarker()) {
      if (!reader.Restart(-1)) break;
      predictors.fill(0);
      ++epoch;
      restart_code = static_cast<std::uint8_t>(reader.last_restart_code());
    }
    const std::uint64_t position = reader.Position();
    if (!DecodeMcu(plan, reader, predictors.data(), dc.data()) || reader.PastEnd()) {
      // A wrong guess, or the end of the data.
      if (reader.EndedAtRestart()) {
        reader.ResumeAfterMarker();
      } else if (reader.ended()) {
        records.ended_at_marker = !reader.RanOffTheData();
        break;
      } else {
        reader.Reposition(reader.NextByte(), reader.NextBytePosition());
      }
      predictors.fill(0);
      ++epoch;
      fresh = true;
      records.last_attempt_start = count;
      continue;
    }
    records.position[count] = static_cast<std::uint32_t>(position - records.base);
    records.epoch[count] = epoch;
    records.restart_code[count] = restart_code;
    restart_code = 0;
    std::copy_n(dc.data(), slots, records.dc.data() + count * slots);
    ++count;
    Announce(records, count, false);
    fresh = false;
  }
  Announce(records, count, true);
}

}  // namespace

namespace {

void AllocatePlanes(const ScanPlan& plan, DcPlanes& planes) {
  planes.planes.assign(plan.components, DcPlanes::Plane{});
  for (std::size_t c = 0; c < plan.components; ++c) {
    DcPlanes::Plane& plane = planes.planes[c];
    plane.blocks_across = plan.mcus_across * plan.h[c];
    plane.blocks_down = plan.mcus_down * plan.v[c];
    plane.dc.assign(std::size_t{plane.blocks_across} * plane.blocks_down, 0);
  }
}

// Decodes MCUs from `first` on at the reader's place, checking restart
// markers, up to the last one or until `watch` says to stop before one
// (`stopped_at`; a restart marker due before it has been read). With
// `resumed`, the one due before `first` has been read too. False on
// damaged data.
template <typename Watch>
[[nodiscard]] bool DecodeMcus(const ScanPlan& plan, JpegBitReader& reader,
                              std::uint32_t* predictors, DcPlanes& planes, std::uint64_t first,
                              bool resumed, Watch&& watch, std::uint64_t& stopped_at) {
  std::array<std::uint16_t, kMaxBlocksPerMcu> dc{};
  const std::uint32_t interval = plan.restart_interval;
  for (std::uint64_t mcu = first; mcu < plan.mcu_count; ++mcu) {
    if (interval != 0 && mcu != 0 && mcu % interval == 0 && !(resumed && mcu == first)) {
      const auto number = static_cast<int>((mcu / interval - 1) % 8);
      if (!reader.Restart(number)) return false;
      std::fill_n(predictors, plan.components, 0U);
    }
    if (watch(mcu)) {
      stopped_at = mcu;
      return true;
    }
    if (!DecodeMcu(plan, reader, predictors, dc.data())) return false;
    StoreMcu(plan, planes, mcu, dc.data());
    // Damaged data runs on into the zeros past its end: stop at a row's end.
    if ((mcu + 1) % plan.mcus_across == 0 && reader.PastEnd()) return false;
  }
  stopped_at = plan.mcu_count;
  // A complete scan ends at a marker; running off the end of the file
  // without one is a truncation, even when every block came.
  reader.Fill();
  return !reader.PastEnd() && !reader.RanOffTheData();
}

constexpr auto kNeverStop = [](std::uint64_t) { return false; };

// Takes the second thread's MCUs from record `first` on as MCUs `mcu` on,
// the DC values of its first epoch moved by what the first thread's
// predictors say they are there. False when its records do not make up
// exactly the rest of the scan.
[[nodiscard]] bool TakeSecondThreadMcus(const ScanPlan& plan, const SecondThreadRecords& records,
                                        std::size_t first, std::uint64_t mcu,
                                        const std::uint32_t* predictors, DcPlanes& planes) {
  const std::size_t count = PublishedIn(records.progress.load(std::memory_order_acquire));
  if (!records.ended_at_marker || records.last_attempt_start > first ||
      count - first != plan.mcu_count - mcu) {
    return false;
  }
  const std::size_t slots = plan.slots.size();
  // The second thread's predictors where the first thread stopped.
  std::array<std::uint16_t, kMaxComponents> offset{};
  const bool epoch_starts = first == 0 || records.epoch[first] != records.epoch[first - 1];
  for (std::size_t c = 0; c < plan.components; ++c) {
    const std::uint16_t theirs =
        epoch_starts ? 0 : records.dc[(first - 1) * slots + plan.last_slot[c]];
    offset[c] = static_cast<std::uint16_t>(predictors[c] - theirs);
  }
  std::array<std::uint16_t, kMaxBlocksPerMcu> dc{};
  const std::uint32_t interval = plan.restart_interval;
  for (std::size_t k = first; k < count; ++k, ++mcu) {
    if (k != first) {
      // The second thread restarts where the markers are, which must be
      // where the restart interval puts them.
      const bool restarted = records.epoch[k] != records.epoch[k - 1];
      if (restarted != (interval != 0 && mcu % interval == 0)) return false;
      // Numbered in turn, as the first thread checks its own.
      if (restarted && records.restart_code[k] != 0xD0 + (mcu / interval - 1) % 8) return false;
      if (restarted) offset.fill(0);
    }
    for (std::size_t i = 0; i < slots; ++i) {
      dc[i] =
          static_cast<std::uint16_t>(records.dc[k * slots + i] + offset[plan.slots[i].component]);
    }
    StoreMcu(plan, planes, mcu, dc.data());
  }
  return true;
}

[[nodiscard]] bool DecodeAlone(const ScanPlan& plan, const ScanBytes& bytes, DcPlanes& planes) {
  JpegBitReader reader(bytes, 0, 0);
  std::array<std::uint32_t, kMaxComponents> predictors{};
  std::uint64_t stopped_at = 0;
  return DecodeMcus(plan, reader, predictors.data(), planes, 0, false, kNeverStop, stopped_at);
}

[[nodiscard]] bool DecodeOnTwoThreads(const ScanPlan& plan, const ScanBytes& bytes, double split,
                                      DcPlanes& planes, DcScanReport& report) {
  const std::size_t start = SecondStart(plan, bytes, split);
  SecondThreadRecords records;
  if (start >= bytes.size ||
      !DataBitsBefore(bytes, start, plan.restart_interval != 0, records.base)) {
    return DecodeAlone(plan, bytes, planes);
  }
  records.capacity = static_cast<std::size_t>(plan.mcu_count);
  records.position.resize(records.capacity);
  records.epoch.resize(records.capacity);
  records.restart_code.resize(records.capacity);
  records.dc.resize(records.capacity * plan.slots.size());

  std::thread second;
  try {
    second = std::thread([&] { RunSecondThread(plan, bytes, start, records); });
  } catch (const std::system_error&) {
    return DecodeAlone(plan, bytes, planes);
  }
  report.parallel = true;

  // The first thread decodes from the start and, once past where the
  // second one started, looks at each MCU start for one the second thread
  // began at the same bit: decoding from the same bit in the same state
  // gives the same blocks from there on.
  JpegBitReader reader(bytes, 0, 0);
  std::array<std::uint32_t, kMaxComponents> predictors{};
  std::size_t cursor = 0;
  std::uint64_t watch_from = records.base;
  std::size_t joined_record = 0;
  bool joined = false;
  auto watch = [&](std::uint64_t) {
    const std::uint64_t here = reader.Position();
    // Past a marker the reader hands out zeros: no bit there is the data's.
    if (here < watch_from || reader.ended()) return false;
    for (;;) {
      const std::uint32_t progress = records.progress.load(std::memory_order_acquire);
      const std::size_t count = PublishedIn(progress);
      while (cursor < count && records.base + records.position[cursor] < here) ++cursor;
      if (cursor < count) {
        if (records.base + records.position[cursor] == here) {
          joined = true;
          joined_record = cursor;
          return true;
        }
        watch_from = records.base + records.position[cursor];
        return false;
      }
      if (FinishedIn(progress)) {
        watch_from = ~std::uint64_t{0};  // no more MCUs to meet
        return false;
      }
      // The second thread has not come this far yet (it started late, or
      // is still finding its way): wait for it rather than do its work,
      // which it would do all the same. Waiting on the word as read here,
      // a change made since cannot be missed (see Announce).
      records.progress.wait(progress, std::memory_order_seq_cst);
    }
  };
  std::uint64_t stopped_at = 0;
  const bool first_ok =
      DecodeMcus(plan, reader, predictors.data(), planes, 0, false, watch, stopped_at);
  if (!joined) records.stop.store(true, std::memory_order_relaxed);
  second.join();
  report.first_thread_mcus = stopped_at;
  if (!first_ok) return false;
  if (!joined) return true;
  if (TakeSecondThreadMcus(plan, records, joined_record, stopped_at, predictors.data(), planes)) {
    report.joined = true;
    return true;
  }
  // The second thread's blocks do not fit (its guesses filled its records,
  // or the data is damaged after the join): go on alone from there.
  return DecodeMcus(plan, reader, predictors.data(), planes, stopped_at, true, kNeverStop,
                    stopped_at);
}

}  // namespace

bool DcScanLayoutUsable(const DcScanLayout& layout, std::uint64_t max_blocks) {
  auto plan = std::make_unique<ScanPlan>();
  if (!MakePlan(layout, *plan)) return false;
  return plan->mcu_count * plan->slots.size() <= max_blocks;
}

bool DecodeDcScan(const DcScanLayout& layout, const ByteSource& source, std::uint64_t origin,
                  std::size_t size, const DcScanOptions& options, DcPlanes& planes,
                  DcScanReport* report) {
  DcScanReport ignored;
  DcScanReport& said = report != nullptr ? *report : ignored;
  said = {};
  auto plan = std::make_unique<ScanPlan>();
  if (!MakePlan(layout, *plan) || size > kMaxDataBytes) return false;
  AllocatePlanes(*plan, planes);
  const ScanBytes bytes{&source, origin, size};
  const bool parallel = options.threads >= 2 && size >= options.min_parallel_bytes && size >= 2 &&
                        plan->mcu_count >= 2;
  if (!parallel) {
    said.first_thread_mcus = plan->mcu_count;
    return DecodeAlone(*plan, bytes, planes);
  }
  return DecodeOnTwoThreads(*plan, bytes, options.split, planes, said);
}

bool DecodeDcScan(const DcScanLayout& layout, const std::uint8_t* data, std::size_t size,
                  const DcScanOptions& options, DcPlanes& planes, DcScanReport* report) {
  const MemorySource memory(data, size);
  return DecodeDcScan(layout, memory, 0, size, options, planes, report);
}

}  // namespace vistamere::picture
