#include "picture/png_decoder.h"

#include "picture/decode_outcomes.h"

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <png.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "picture/exif_orientation.h"
#include "picture/png_idat.h"
#include "picture/png_rows.h"
#include "picture/prefaulted_allocator.h"

namespace vistamere::picture {
namespace {

// Of the ancillary chunks only eXIf is read (tRNS is handled like the
// critical chunks); libpng skips the rest unread, so no chunk buffer grows
// past the EXIF block's size.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{4} * 1024 * 1024;
constexpr png_uint_32 kMaxChunkCount = 1000;
// A row is held in memory whole: refuse absurd widths before allocating.
constexpr std::uint32_t kMaxWidth = 1u << 24;
// libpng's own per-side limit: what the format allows.
constexpr png_uint_32 kMaxSide = PNG_UINT_31_MAX;
// The file is read in pieces this large; libpng asks for a few KiB at a time.
constexpr std::size_t kReadChunk = std::size_t{256} * 1024;
// Signature (8) and the IHDR chunk (8 + 13 + 4): once libpng reads past
// them it has checked the header.
constexpr std::uint64_t kHeaderEnd = 33;

// Rows are decoded on a thread of their own while the caller's thread hands
// them to the sink, through a queue of up to this many bytes of rows.
// Waking a sleeping thread costs tens of microseconds on some machines:
// the ring is long so that it happens rarely. Rows too wide for
// kMinQueueSlots of them to fit are decoded on the caller's thread, and so
// are rows narrower than kMinQueuedRowBytes, whose handing over through the
// queue's lock would cost more than decoding them.
constexpr std::size_t kQueueBytes = 4u << 20;
constexpr std::size_t kMaxQueueSlots = 128;
constexpr std::size_t kMinQueueSlots = 4;
constexpr std::size_t kMinQueuedRowBytes = 1024;

constexpr std::uint32_t kAdam7XStart[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr std::uint32_t kAdam7XStep[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr std::uint32_t kAdam7YStart[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr std::uint32_t kAdam7YStep[7] = {8, 8, 8, 4, 4, 2, 2};

// Where one interlace pass's pixels stand in a row `width` pixels wide.
struct PassLayout {
  std::uint32_t x_start;
  std::uint32_t x_step;
  std::uint32_t count;
};

PassLayout LayoutOfPass(int pass, std::uint32_t width) {
  const std::uint32_t x_start = kAdam7XStart[pass];
  const std::uint32_t x_step = kAdam7XStep[pass];
  return {x_start, x_step, x_start < width ? (width - x_start + x_step - 1) / x_step : 0};
}

// Decoding an interlaced picture at 1/2^shift of its size on both axes
// takes its first passes alone: they hold every pixel whose row and column
// are multiples of 2^shift (shift 3: pass 1; 2: passes 1-3; 1: 1-5).
constexpr int kPassesForShift[4] = {7, 5, 3, 1};
constexpr std::uint32_t kMaxShift = 3;

std::uint32_t Shrunk(std::uint32_t size, std::uint32_t shift) {
  return static_cast<std::uint32_t>((std::uint64_t{size} + (1u << shift) - 1) >> shift);
}

// The largest shift whose picture still covers the target on both axes, or
// keeps 7/8 of the detail shown. A turned picture's stored rows become its
// columns, so its axes are compared the other way round.
std::uint32_t ChooseShift(const DecodeRequest& request, std::uint32_t width, std::uint32_t height,
                          bool turned) {
  std::uint64_t target_width = request.target_width;
  std::uint64_t target_height = request.target_height;
  std::uint64_t shown_width = request.shown_width;
  std::uint64_t shown_height = request.shown_height;
  const bool shown_given = shown_width != 0 && shown_height != 0;
  if (turned) {
    std::swap(target_width, target_height);
    std::swap(shown_width, shown_height);
  }
  for (std::uint32_t shift = kMaxShift; shift > 0; --shift) {
    const std::uint64_t w = Shrunk(width, shift);
    const std::uint64_t h = Shrunk(height, shift);
    if (w >= target_width && h >= target_height) return shift;
    if (shown_given && w * 8 >= shown_width * 7 && h * 8 >= shown_height * 7) return shift;
  }
  return 0;
}

// Everything libpng's callbacks and the setjmp frames below touch. It lives
// in DecodePng's frame; the functions that call setjmp hold nothing but
// plain values, so a longjmp out of libpng destroys no object.
struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ByteSource* source = nullptr;
  std::uint64_t max_pixels = 0;

  std::uint8_t* buffer = nullptr;  // kReadChunk bytes
  std::size_t buffered = 0;
  std::size_t taken = 0;
  std::uint64_t handed = 0;  // bytes given to libpng so far

  bool ended = false;      // the file ran out
  bool too_large = false;  // the header declares more than we take
  bool header_checked = false;

  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool interlaced = false;
  std::uint32_t shift = 0;  // of an interlaced picture: see kPassesForShift
  // libpng's rows: grey, grey and alpha, RGB or RGBA (1 to 4 channels) of
  // 8 or 16 bits (1 or 2 bytes, the more significant first).
  std::uint32_t channels = 4;
  std::uint32_t sample_bytes = 1;
  int orientation = 1;
  bool anything_delivered = false;
  // The last 8 bytes libpng asked for in one piece: after png_read_info,
  // the first IDAT chunk's length and type.
  std::uint8_t last_eight[8] = {};
};

std::size_t PixelBytes(const PngRead& read) {
  return std::size_t{read.channels} * read.sample_bytes;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) {
  std::longjmp(png_jmpbuf(png), 1);
}

void OnWarning(png_structp, png_const_charp) {}

// libpng has checked the IHDR (CRC and fields) before it asks for the bytes
// after it: refuse a too large picture there, before the chunks that follow
// are read and before anything is allocated for its rows.
void CheckDeclaredSize(PngRead& read) {
  read.header_checked = true;
  const png_uint_32 width = png_get_image_width(read.png, read.info);
  const png_uint_32 height = png_get_image_height(read.png, read.info);
  if (width == 0 || height == 0) return;  // libpng fails on its own
  if (std::uint64_t{width} * height > read.max_pixels || width > kMaxWidth) {
    read.too_large = true;
    read.width = width;
    read.height = height;
    png_error(read.png, "too large");
  }
}

void ReadData(png_structp png, png_bytep destination, png_size_t length) {
  auto& read = *static_cast<PngRead*>(png_get_io_ptr(png));
  if (!read.header_checked && read.handed >= kHeaderEnd) CheckDeclaredSize(read);
  const png_bytep start = destination;
  const png_size_t asked = length;
  while (length > 0) {
    if (read.taken == read.buffered) {
      read.taken = 0;
      read.buffered = read.source->Read(read.buffer, kReadChunk);
      if (read.buffered == 0) {
        read.ended = true;
        png_error(png, "truncated");
      }
    }
    const std::size_t count = std::min(length, read.buffered - read.taken);
    std::memcpy(destination, read.buffer + read.taken, count);
    read.taken += count;
    read.handed += count;
    destination += count;
    length -= count;
  }
  if (asked == sizeof read.last_eight) std::memcpy(read.last_eight, start, asked);
}

int OrientationOf(png_structp png, png_infop info) {
  png_uint_32 length = 0;
  png_bytep exif = nullptr;
  if (png_get_eXIf_1(png, info, &length, &exif) == 0 || exif == nullptr) return 1;
  return OrientationFromTiffStructure(exif, length);
}

// libpng can add the alpha channel, turn grey into RGB and drop the lower
// byte of 16-bit samples itself, but on the decoding thread that costs more
// than here, on the sink's (the threads then share the work): see
// ChannelsToRgba and NarrowSamples.

// Bytes the sink's side needs to turn a row of `width` pixels into RGBA.
std::size_t RgbaBufferBytes(const PngRead& read) {
  if (read.channels == 4 && read.sample_bytes == 1) return 0;
  const std::size_t narrowed = read.sample_bytes == 2 && read.channels < 4 ? read.channels : 0;
  return (4 + narrowed) * read.width;
}

// `count` of libpng's pixels as RGBA: `pixels` themselves or `buffer`
// (RgbaBufferBytes long) filled.
const std::uint8_t* AsRgba(const PngRead& read, const std::uint8_t* pixels, std::uint32_t count,
                           std::uint8_t* buffer) {
  if (read.sample_bytes == 2) {
    if (read.channels == 4) {
      NarrowSamples(pixels, std::size_t{count} * 4, buffer);
      return buffer;
    }
    std::uint8_t* narrowed = buffer + std::size_t{read.width} * 4;
    NarrowSamples(pixels, std::size_t{count} * read.channels, narrowed);
    pixels = narrowed;
  }
  if (read.channels == 4) return pixels;
  ChannelsToRgba(static_cast<int>(read.channels), pixels, count, buffer);
  return buffer;
}

// Reads the chunks up to the image data. False when libpng gave up.
[[nodiscard]] bool ReadInfo(PngRead& read) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  png_set_read_fn(read.png, &read, ReadData);
  png_set_user_limits(read.png, kMaxSide, kMaxSide);
  png_set_chunk_cache_max(read.png, kMaxChunkCount);
  png_set_chunk_malloc_max(read.png, kMaxChunkBytes);
  png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  static constexpr png_byte kExif[] = {'e', 'X', 'I', 'f', '\0'};
  png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_AS_DEFAULT, kExif, 1);
  // Damage in ancillary chunks is not worth refusing a picture for.
  png_set_benign_errors(read.png, 1);
  // The CRC of every IDAT chunk already covers the compressed data.
  png_set_option(read.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  png_read_info(read.png, read.info);
  if (!read.header_checked) CheckDeclaredSize(read);

  read.width = png_get_image_width(read.png, read.info);
  read.height = png_get_image_height(read.png, read.info);
  read.interlaced = png_get_interlace_type(read.png, read.info) != PNG_INTERLACE_NONE;
  read.orientation = OrientationOf(read.png, read.info);
  return true;
}

// Sets libpng's conversion of every colour type and depth to 8-bit RGB or
// RGBA. False when libpng gave up.
[[nodiscard]] bool SetTransforms(PngRead& read) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  png_set_expand(read.png);
  if (png_get_valid(read.png, read.info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(read.png);
  png_read_update_info(read.png, read.info);
  read.channels = png_get_channels(read.png, read.info);
  read.sample_bytes = png_get_bit_depth(read.png, read.info) == 16 ? 2 : 1;
  if (read.channels < 1 || read.channels > 4 ||
      png_get_rowbytes(read.png, read.info) != PixelBytes(read) * read.width) {
    png_error(read.png, "unexpected row size");
  }
  return true;
}

// Where a row's pixels go: RowSink::Pixels's arguments, in the delivered
// (possibly shrunk) picture.
struct Placement {
  std::uint32_t y = 0;
  std::uint32_t x_start = 0;
  std::uint32_t x_step = 1;
  std::uint32_t count = 0;
};

// Reads every row of the picture, or of each interlace pass, in file order,
// each straight into its buffer: libpng (left to interlace nothing itself)
// gives a pass's rows as they are stored, its pixels side by side, and
// passes that hold no pixel not at all. `claim()` gives the buffer a row's
// pixels go into (nullptr: stop), and `deliver(where, pixels)` takes them
// once they are there. At a shift, only the passes it needs are read, and
// the rest of the file is left unread. False when libpng gave up or
// claim() said to stop.
template <typename Claim, typename Deliver>
[[nodiscard]] bool WalkRows(PngRead& read, Claim claim, Deliver deliver) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  const std::uint32_t width = read.width;
  const std::uint32_t height = read.height;
  if (!read.interlaced) {
    for (std::uint32_t y = 0; y < height; ++y) {
      std::uint8_t* pixels = claim();
      if (pixels == nullptr) return false;
      png_read_row(read.png, pixels, nullptr);
      deliver(Placement{y, 0, 1, width}, pixels);
    }
    return true;
  }
  const std::uint32_t shift = read.shift;
  for (int pass = 0; pass < kPassesForShift[shift]; ++pass) {
    const PassLayout layout = LayoutOfPass(pass, width);
    if (layout.count == 0) continue;
    for (std::uint32_t y = kAdam7YStart[pass]; y < height; y += kAdam7YStep[pass]) {
      std::uint8_t* pixels = claim();
      if (pixels == nullptr) return false;
      png_read_row(read.png, pixels, nullptr);
      deliver(Placement{y >> shift, layout.x_start >> shift, layout.x_step >> shift, layout.count},
              pixels);
    }
  }
  return true;
}

// Reads every row and hands it to the sink as RGBA through `rgba`
// (RgbaBufferBytes long); `row` is a row of libpng's. False when libpng
// gave up.
[[nodiscard]] bool ReadRows(PngRead& read, RowSink& sink, std::uint8_t* row, std::uint8_t* rgba) {
  return WalkRows(
      read, [row] { return row; },
      [&read, &sink, rgba](const Placement& where, const std::uint8_t* pixels) {
        sink.Pixels(where.y, where.x_start, where.x_step, where.count,
                    AsRgba(read, pixels, where.count, rgba));
        read.anything_delivered = true;
      });
}

// A ring of row buffers between the decoding thread (the producer) and the
// sink's thread (the consumer). Each side sleeps until three quarters of
// the ring are ready for it, so the threads wake each other about once per
// ring, not per row.
class RowQueue {
 public:
  RowQueue(std::size_t slots, std::size_t row_bytes)
      : slots_(slots),
        batch_(slots - slots / 4),
        row_bytes_(row_bytes),
        rows_(slots * row_bytes),
        placements_(slots) {}

  // Producer: the buffer for the next row; nullptr once the consumer stopped.
  [[nodiscard]] std::uint8_t* Claim() {
    std::unique_lock lock(mutex_);
    if (tail_ - head_ == slots_ && !stopped_) {
      producer_waiting_ = true;
      room_.wait(lock, [this] { return tail_ - head_ <= slots_ - batch_ || stopped_; });
      producer_waiting_ = false;
    }
    if (stopped_) return nullptr;
    return rows_.data() + (tail_ % slots_) * row_bytes_;
  }

  // Producer: the buffer for the next rows, `count` (at least 1) of them
  // side by side; nullptr once the consumer stopped. A full ring is claimed
  // again once a quarter of it is free.
  [[nodiscard]] std::uint8_t* ClaimRun(std::size_t& count) {
    if (Claim() == nullptr) return nullptr;
    std::lock_guard lock(mutex_);
    const std::size_t slot = tail_ % slots_;
    count = std::min(slots_ - static_cast<std::size_t>(tail_ - head_), slots_ - slot);
    return rows_.data() + slot * row_bytes_;
  }

  // Producer: the first `count` rows of the run are filled, whole rows of
  // the picture from row `y` on.
  void PublishRun(std::size_t count, std::uint32_t y, std::uint32_t width) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count; ++i) {
      placements_[(tail_ + i) % slots_] = Placement{y + static_cast<std::uint32_t>(i), 0, 1, width};
    }
    tail_ += count;
    if (consumer_waiting_ && tail_ - head_ >= batch_) ready_.notify_one();
  }

  // Producer: the claimed row is filled.
  void Publish(const Placement& where) {
    std::lock_guard lock(mutex_);
    placements_[tail_ % slots_] = where;
    ++tail_;
    if (consumer_waiting_ && tail_ - head_ >= batch_) ready_.notify_one();
  }

  // Producer: no more rows.
  void Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    ready_.notify_one();
  }

  // Consumer: the oldest row not yet released; false when there is none
  // left and none will come.
  [[nodiscard]] bool Next(Placement& where, const std::uint8_t*& pixels) {
    std::unique_lock lock(mutex_);
    if (tail_ == head_ && !finished_) {
      consumer_waiting_ = true;
      ready_.wait(lock, [this] { return tail_ - head_ >= batch_ || finished_; });
      consumer_waiting_ = false;
    }
    if (tail_ == head_) return false;
    where = placements_[head_ % slots_];
    pixels = rows_.data() + (head_ % slots_) * row_bytes_;
    return true;
  }

  // Consumer: the row after the one Next() gave, when it is there already
  // (nullptr when not).
  [[nodiscard]] const std::uint8_t* Second() {
    std::lock_guard lock(mutex_);
    if (tail_ - head_ < 2) return nullptr;
    return rows_.data() + ((head_ + 1) % slots_) * row_bytes_;
  }

  // Consumer: done with the row Next() gave (and with `count` - 1 more).
  void Release(std::size_t count = 1) {
    std::lock_guard lock(mutex_);
    head_ += count;
    if (producer_waiting_ && tail_ - head_ <= slots_ - batch_) room_.notify_one();
  }

  // Consumer: wants no more rows.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_one();
  }

 private:
  const std::size_t slots_;
  const std::size_t batch_;
  const std::size_t row_bytes_;
  std::vector<std::uint8_t, PrefaultedAllocator<std::uint8_t>> rows_;
  std::vector<Placement> placements_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable room_;
  std::uint64_t head_ = 0;  // rows released by the consumer
  std::uint64_t tail_ = 0;  // rows published by the producer
  bool producer_waiting_ = false;
  bool consumer_waiting_ = false;
  bool finished_ = false;
  bool stopped_ = false;
};

// ReadRows for the decoding thread: rows go into the queue. False when
// libpng gave up or the consumer stopped.
[[nodiscard]] bool ReadRowsQueued(PngRead& read, RowQueue& queue) {
  return WalkRows(
      read, [&queue] { return queue.Claim(); },
      [&queue](const Placement& where, const std::uint8_t*) { queue.Publish(where); });
}

enum class Threaded { kDecoded, kGaveUp, kNoThread };

// Decodes on a second thread and delivers here.
[[nodiscard]] Threaded ReadRowsOnThread(PngRead& read, RowSink& sink, std::size_t slots) {
  const std::size_t row_bytes = PixelBytes(read) * read.width;
  RowQueue queue(slots, row_bytes);
  std::vector<std::uint8_t> rgba(RgbaBufferBytes(read));
  bool decoded = false;
  {
    std::thread decoder;
    try {
      decoder = std::thread([&] {
        decoded = ReadRowsQueued(read, queue);
        queue.Finish();
      });
    } catch (const std::system_error&) {
      return Threaded::kNoThread;
    }
    // Whatever the sink does, the decoder stops before the queue goes away.
    struct Join {
      RowQueue& queue;
      std::thread& thread;
      ~Join() {
        queue.Stop();
        thread.join();
      }
    } join{queue, decoder};
    Placement where;
    const std::uint8_t* pixels = nullptr;
    while (queue.Next(where, pixels)) {
      sink.Pixels(where.y, where.x_start, where.x_step, where.count,
                  AsRgba(read, pixels, where.count, rgba.data()));
      read.anything_delivered = true;
      queue.Release();
    }
  }
  return decoded ? Threaded::kDecoded : Threaded::kGaveUp;
}

[[nodiscard]] DecodeOutcome Damaged(const PngRead& read) {
  return DamagedOutcome("PNG", read.ended, read.anything_delivered);
}

[[nodiscard]] DecodeOutcome TooLarge(std::uint32_t width, std::uint32_t height) {
  return TooLargeOutcome(width, height);
}

// Frees libpng's structures whichever way the decode ends.
class Structs {
 public:
  explicit Structs(PngRead& read) : read_(read) {
    read_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (read_.png != nullptr) read_.info = png_create_info_struct(read_.png);
  }
  ~Structs() {
    if (read_.png != nullptr) png_destroy_read_struct(&read_.png, &read_.info, nullptr);
  }
  Structs(const Structs&) = delete;
  Structs& operator=(const Structs&) = delete;
  bool ok() const { return read_.png != nullptr && read_.info != nullptr; }

 private:
  PngRead& read_;
};

// The image data of a picture that is not interlaced is read here, not by
// libpng: ISA-L inflates it, several times faster than zlib, and the rows
// are unfiltered on the sink's thread, so that the two threads share the
// work. libpng still reads every chunk before the image data, and decides
// what a file shows whenever its data are not as they should be (a bad
// CRC or zlib stream, a bad filter type, a chunk amid the data): the
// picture is then decoded again by libpng from the start, the rows already
// delivered skipped.

enum class FastEnd { kDone, kTruncated, kIrregular };

// The pixel format of a picture the fast path takes: false for an
// interlaced one and anything unusual.
[[nodiscard]] bool FastFormat(const PngRead& read, PngPixelFormat& format) {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colour_type = 0;
  int interlace = 0;
  int compression = 0;
  int filter = 0;
  if (png_get_IHDR(read.png, read.info, &width, &height, &depth, &colour_type, &interlace,
                   &compression, &filter) == 0) {
    return false;
  }
  if (interlace != PNG_INTERLACE_NONE || compression != PNG_COMPRESSION_TYPE_BASE ||
      filter != PNG_FILTER_TYPE_BASE || std::memcmp(read.last_eight + 4, "IDAT", 4) != 0) {
    return false;
  }
  format.width = width;
  format.colour_type = colour_type;
  format.bit_depth = depth;
  if (!PngFormatValid(format)) return false;
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(read.png, read.info, &palette, &count) == 0 || palette == nullptr) {
      return false;
    }
    for (int i = 0; i < count; ++i) {
      format.palette.insert(format.palette.end(),
                            {palette[i].red, palette[i].green, palette[i].blue});
    }
  }
  if (png_get_valid(read.png, read.info, PNG_INFO_tRNS) != 0) {
    png_bytep alpha = nullptr;
    int count = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(read.png, read.info, &alpha, &count, &key) == 0) return false;
    if (colour_type == PNG_COLOR_TYPE_PALETTE) {
      if (alpha != nullptr) format.palette_alpha.assign(alpha, alpha + count);
    } else if (key != nullptr) {
      format.has_key = true;
      format.key = colour_type == PNG_COLOR_TYPE_GRAY
                       ? std::array<std::uint16_t, 3>{key->gray, 0, 0}
                       : std::array<std::uint16_t, 3>{key->red, key->green, key->blue};
    }
  }
  return true;
}

// Stored rows (their filter type byte first) to RGBA, to the sink.
class RowDecoder {
 public:
  RowDecoder(const PngPixelFormat& format, RowSink& sink)
      : converter_(format),
        sink_(sink),
        size_(PngRowBytes(format)),
        bpp_(PngFilterBpp(format)),
        width_(format.width) {
    for (auto& row : rows_) row.assign(size_, 0);
  }

  // Delivers row y from `stored`, and row y + 1 from `next` (when given)
  // too if both are filtered by Paeth: two such rows go faster at once.
  // Returns how many rows were delivered, 0 for a bad filter type.
  [[nodiscard]] std::uint32_t Deliver(std::uint32_t y, const std::uint8_t* stored,
                                      const std::uint8_t* next) {
    // Rows take turns in three buffers: the one before row y holds its
    // upper neighbours (zeros above row 0).
    std::uint8_t* out = rows_[y % 3].data();
    const std::uint8_t* previous = rows_[(y + 2) % 3].data();
    if (next != nullptr && stored[0] == kPngFilterPaeth && next[0] == kPngFilterPaeth) {
      std::uint8_t* next_out = rows_[(y + 1) % 3].data();
      if (UnfilterPngPaethPair(stored + 1, next + 1, previous, out, next_out, size_, bpp_)) {
        Hand(y, out);
        Hand(y + 1, next_out);
        return 2;
      }
    }
    if (!UnfilterPngRow(stored[0], stored + 1, previous, out, size_, bpp_)) return 0;
    Hand(y, out);
    return 1;
  }

  [[nodiscard]] std::uint32_t delivered() const { return delivered_; }

 private:
  void Hand(std::uint32_t y, const std::uint8_t* row) {
    sink_.Pixels(y, 0, 1, width_, converter_.ToRgba(row));
    delivered_ = y + 1;
  }

  PngRowConverter converter_;
  RowSink& sink_;
  std::size_t size_;
  std::size_t bpp_;
  std::uint32_t width_;
  std::vector<std::uint8_t> rows_[3];
  std::uint32_t delivered_ = 0;
};

// Inflates the picture's stored rows (`stride` bytes each) into the room
// claim(count) gives: `count` rows side by side, the first already holding
// what the last call left of a row. publish(y, rows, keep) takes the first
// `rows` of them, whole, as rows y...; `keep` bytes after them stay for the
// next claim. The last row is published only once the stream's end and its
// chunk's CRC are checked (libpng delivers it only then). Either callback
// returning nullptr or false stops the inflating (kIrregular).
template <typename Claim, typename Publish>
[[nodiscard]] FastEnd InflateRows(PngIdatInflater& inflater, std::uint32_t height,
                                  std::size_t stride, std::size_t max_run, Claim claim,
                                  Publish publish) {
  std::uint32_t y = 0;
  std::size_t partial = 0;
  while (y < height) {
    std::size_t count = 0;
    std::uint8_t* run = claim(count);
    if (run == nullptr) return FastEnd::kIrregular;
    count = std::min({count, max_run, std::size_t{height - y}});
    const std::size_t filled = partial + inflater.Inflate(run + partial, count * stride - partial);
    auto rows = static_cast<std::uint32_t>(filled / stride);
    const bool complete = y + rows == height;
    if (complete) {
      --rows;
      // libpng looks at the last row's filter type before the stream's end.
      if (run[std::size_t{rows} * stride] > kPngFilterPaeth) return FastEnd::kIrregular;
    }
    partial = filled - std::size_t{rows} * stride;
    if (rows > 0 && !publish(y, rows, partial)) return FastEnd::kIrregular;
    y += rows;
    if (complete) {
      inflater.Finish();
      if (inflater.state() != PngIdatInflater::State::kDone) break;
      if (!publish(y, 1, 0)) return FastEnd::kIrregular;
      return FastEnd::kDone;
    }
    if (inflater.state() != PngIdatInflater::State::kRunning) break;
  }
  return inflater.state() == PngIdatInflater::State::kTruncated ? FastEnd::kTruncated
                                                                : FastEnd::kIrregular;
}

// Inflates on a second thread and unfilters and delivers here.
[[nodiscard]] FastEnd FastRowsOnThread(PngIdatInflater& inflater, RowDecoder& decoder,
                                       std::uint32_t height, std::uint32_t width,
                                       std::size_t stride, std::size_t slots, bool& no_thread) {
  RowQueue queue(slots, stride);
  FastEnd end = FastEnd::kIrregular;
  bool bad_filter = false;
  {
    std::thread inflating;
    try {
      inflating = std::thread([&] {
        end = InflateRows(
            inflater, height, stride, std::max<std::size_t>(1, slots / 8),
            [&queue](std::size_t& count) { return queue.ClaimRun(count); },
            [&queue, width](std::uint32_t y, std::uint32_t rows, std::size_t) {
              queue.PublishRun(rows, y, width);
              return true;
            });
        queue.Finish();
      });
    } catch (const std::system_error&) {
      no_thread = true;
      return FastEnd::kIrregular;
    }
    struct Join {
      RowQueue& queue;
      std::thread& thread;
      ~Join() {
        queue.Stop();
        thread.join();
      }
    } join{queue, inflating};
    Placement where;
    const std::uint8_t* stored = nullptr;
    while (queue.Next(where, stored)) {
      const std::uint32_t delivered = decoder.Deliver(where.y, stored, queue.Second());
      if (delivered == 0) {
        bad_filter = true;
        break;
      }
      queue.Release(delivered);
    }
  }
  return bad_filter ? FastEnd::kIrregular : end;
}

// The same on this thread, a few hundred KiB of rows at a time.
[[nodiscard]] FastEnd FastRowsHere(PngIdatInflater& inflater, RowDecoder& decoder,
                                   std::uint32_t height, std::size_t stride) {
  const std::size_t rows = std::max<std::size_t>(1, kReadChunk / stride);
  std::vector<std::uint8_t> buffer(rows * stride);
  return InflateRows(
      inflater, height, stride, rows,
      [&buffer, rows](std::size_t& count) {
        count = rows;
        return buffer.data();
      },
      [&buffer, &decoder, stride](std::uint32_t y, std::uint32_t count, std::size_t keep) {
        for (std::uint32_t i = 0; i < count;) {
          const std::uint8_t* stored = buffer.data() + std::size_t{i} * stride;
          const std::uint32_t delivered =
              decoder.Deliver(y + i, stored, i + 1 < count ? stored + stride : nullptr);
          if (delivered == 0) return false;
          i += delivered;
        }
        std::memmove(buffer.data(), buffer.data() + std::size_t{count} * stride, keep);
        return true;
      });
}

// Decodes the image data after ReadInfo; `delivered` tells how many rows
// (from the top) the sink has.
[[nodiscard]] FastEnd DecodeFast(PngRead& read, const PngPixelFormat& format, RowSink& sink,
                                 std::uint32_t& delivered) {
  const std::uint32_t first_length = (std::uint32_t{read.last_eight[0]} << 24) |
                                     (std::uint32_t{read.last_eight[1]} << 16) |
                                     (std::uint32_t{read.last_eight[2]} << 8) | read.last_eight[3];
  const std::uint64_t limit =
      PngIdatLimit(read.width, read.height, png_get_channels(read.png, read.info), format.bit_depth,
                   kMaxChunkBytes);
  PngIdatInflater inflater(*read.source, read.buffer + read.taken, read.buffered - read.taken,
                           first_length, limit);
  RowDecoder decoder(format, sink);
  const std::size_t stride = 1 + PngRowBytes(format);
  const std::size_t slots = std::min(kMaxQueueSlots, kQueueBytes / stride);
  FastEnd end = FastEnd::kIrregular;
  bool no_thread = false;
  if (slots >= kMinQueueSlots && stride >= kMinQueuedRowBytes) {
    end = FastRowsOnThread(inflater, decoder, read.height, read.width, stride, slots, no_thread);
  }
  if (no_thread || slots < kMinQueueSlots || stride < kMinQueuedRowBytes) {
    end = FastRowsHere(inflater, decoder, read.height, stride);
  }
  delivered = decoder.delivered();
  return end;
}

// What libpng delivers when it decodes a picture again from the start: the
// rows the fast path delivered already are left out, and the size the sink
// took then stands.
class SkipRows final : public RowSink {
 public:
  SkipRows(RowSink& sink, std::uint32_t rows) : sink_(sink), rows_(rows) {}
  bool Begin(std::uint32_t, std::uint32_t, int) override { return true; }
  void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
              const std::uint8_t* rgba) override {
    if (y >= rows_) sink_.Pixels(y, x_start, x_step, count, rgba);
  }

 private:
  RowSink& sink_;
  std::uint32_t rows_;
};

// How the fast path went, when it was taken.
struct FastTry {
  bool taken = false;
  FastEnd end = FastEnd::kIrregular;
  std::uint32_t delivered = 0;
};

}  // namespace

namespace {

// One decode from the start of the file: through the fast path when `fast`
// is given and the picture allows it (`fast` then tells how it went and the
// outcome returned means nothing), else through libpng alone.
// `delivered_before`: the sink has rows from an earlier try.
[[nodiscard]] DecodeOutcome Decode(ByteSource& source, RowSink& sink, const DecodeRequest& request,
                                   FastTry* fast, bool delivered_before) {
  std::vector<std::uint8_t> buffer(kReadChunk);
  PngRead read;
  read.source = &source;
  read.max_pixels = request.max_pixels;
  read.buffer = buffer.data();
  read.anything_delivered = delivered_before;
  Structs structs(read);
  if (!structs.ok()) return DecodeOutcome{DecodeStatus::kFailed, "out of memory"};

  if (!ReadInfo(read)) {
    if (read.too_large) return TooLarge(read.width, read.height);
    return Damaged(read);
  }
  PngPixelFormat format;
  if (fast != nullptr && FastFormat(read, format)) {
    if (!sink.Begin(read.width, read.height, read.orientation)) {
      return TooLarge(read.width, read.height);
    }
    fast->taken = true;
    fast->end = DecodeFast(read, format, sink, fast->delivered);
    return {};
  }
  if (!SetTransforms(read)) return Damaged(read);
  if (read.interlaced) {
    read.shift = ChooseShift(request, read.width, read.height, read.orientation >= 5);
  }
  if (!sink.Begin(Shrunk(read.width, read.shift), Shrunk(read.height, read.shift),
                  read.orientation)) {
    return TooLarge(read.width, read.height);
  }
  const std::size_t row_bytes = PixelBytes(read) * read.width;
  const std::size_t slots = std::min(kMaxQueueSlots, kQueueBytes / row_bytes);
  if (slots >= kMinQueueSlots && row_bytes >= kMinQueuedRowBytes) {
    switch (ReadRowsOnThread(read, sink, slots)) {
      case Threaded::kDecoded:
        return DecodeOutcome{DecodeStatus::kOk, {}};
      case Threaded::kGaveUp:
        return Damaged(read);
      case Threaded::kNoThread:
        break;  // decode on this thread
    }
  }
  std::vector<std::uint8_t> row(row_bytes);
  std::vector<std::uint8_t> rgba(RgbaBufferBytes(read));
  if (!ReadRows(read, sink, row.data(), rgba.data())) return Damaged(read);
  return DecodeOutcome{DecodeStatus::kOk, {}};
}

}  // namespace

DecodeOutcome DecodePng(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  FastTry fast;
  DecodeOutcome outcome = Decode(source, sink, request, &fast, false);
  if (!fast.taken) return outcome;
  if (fast.end == FastEnd::kDone) return DecodeOutcome{DecodeStatus::kOk, {}};
  if (fast.end == FastEnd::kTruncated && fast.delivered > 0) {
    return DamagedOutcome("PNG", /*data_ended=*/true, /*anything_delivered=*/true);
  }
  // libpng decides what the rest of the file shows.
  if (!source.Seek(0)) return DamagedOutcome("PNG", true, fast.delivered > 0);
  SkipRows skip(sink, fast.delivered);
  return Decode(source, skip, request, nullptr, fast.delivered > 0);
}

DecodeOutcome DecodePngWithLibpng(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  return Decode(source, sink, request, nullptr, false);
}

}  // namespace vistamere::picture
