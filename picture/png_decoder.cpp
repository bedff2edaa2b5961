#include "picture/png_decoder.h"

#include "picture/decode_outcomes.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <png.h>

#include "picture/exif_orientation.h"
#include "picture/png_idat.h"
#include "picture/png_image_data.h"
#include "picture/png_row_queue.h"
#include "picture/png_rows.h"

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
    const JoinProducer join(queue, decoder);
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
// delivered skipped. A file that ends early is judged here (truncated),
// unless not a row came before its end.

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

// Decodes the image data after ReadInfo; `delivered` tells how many rows
// (from the top) the sink has.
[[nodiscard]] PngImageDataEnd DecodeFast(PngRead& read, const PngPixelFormat& format, RowSink& sink,
                                         std::uint32_t& delivered) {
  const std::uint32_t first_length = (std::uint32_t{read.last_eight[0]} << 24) |
                                     (std::uint32_t{read.last_eight[1]} << 16) |
                                     (std::uint32_t{read.last_eight[2]} << 8) | read.last_eight[3];
  const std::uint64_t limit =
      PngIdatLimit(read.width, read.height, png_get_channels(read.png, read.info), format.bit_depth,
                   kMaxChunkBytes);
  PngIdatInflater inflater(*read.source, read.buffer + read.taken, read.buffered - read.taken,
                           first_length, limit);
  return DecodePngImageData(inflater, format, read.height, sink, delivered);
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
  PngImageDataEnd end = PngImageDataEnd::kIrregular;
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
  const std::size_t slots = QueueSlots(row_bytes);
  if (slots > 0) {
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
  if (fast.end == PngImageDataEnd::kDone) return DecodeOutcome{DecodeStatus::kOk, {}};
  if (fast.end == PngImageDataEnd::kTruncated && fast.delivered > 0) {
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
