#include "picture/tiff_decoder.h"

#include "picture/decode_outcomes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

namespace vistamere::picture {
namespace {

// The band of rows converted at once is at most this many pixels (and at
// least one row); libtiff's own allocations are capped alike.
constexpr std::uint64_t kMaxBandPixels = std::uint64_t{1} << 24;
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t{256} * 1024 * 1024;
constexpr std::uint32_t kMaxWidth = 1u << 24;

struct TiffStream {
  ByteSource* source = nullptr;
  bool ended = false;
  bool library_error = false;
};

TiffStream& StreamOf(thandle_t handle) {
  return *static_cast<TiffStream*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  TiffStream& stream = StreamOf(handle);
  if (size <= 0) return 0;
  const auto wanted = static_cast<std::size_t>(size);
  const std::size_t got = ReadFully(*stream.source, buffer, wanted);
  if (got < wanted) stream.ended = true;
  return static_cast<tmsize_t>(got);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  ByteSource& source = *StreamOf(handle).source;
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = source.Position();
  if (whence == SEEK_END) base = source.Size();
  const std::uint64_t target = base + offset;
  if (target < base || !source.Seek(target)) return static_cast<toff_t>(-1);
  return target;
}

int CloseProc(thandle_t) {
  return 0;
}
toff_t SizeProc(thandle_t handle) {
  return StreamOf(handle).source->Size();
}
int MapProc(thandle_t, void**, toff_t*) {
  return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int NoteError(TIFF*, void* user, const char*, const char*, va_list) {
  static_cast<TiffStream*>(user)->library_error = true;
  return 1;  // handled: nothing reaches the terminal
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffDeleter {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

class RgbaImage {
 public:
  RgbaImage() = default;
  ~RgbaImage() {
    if (started_) TIFFRGBAImageEnd(&image_);
  }
  RgbaImage(const RgbaImage&) = delete;
  RgbaImage& operator=(const RgbaImage&) = delete;

  [[nodiscard]] bool Begin(TIFF* tiff) {
    char message[1024] = {};
    if (TIFFRGBAImageOK(tiff, message) == 0) return false;
    started_ = TIFFRGBAImageBegin(&image_, tiff, 1, message) != 0;
    return started_;
  }
  TIFFRGBAImage& get() { return image_; }

 private:
  TIFFRGBAImage image_{};
  bool started_ = false;
};

[[nodiscard]] DecodeOutcome Damaged(const TiffStream& stream, bool anything_delivered) {
  return DamagedOutcome("TIFF", stream.ended, anything_delivered);
}

[[nodiscard]] DecodeOutcome TooLarge(std::uint32_t width, std::uint32_t height) {
  return TooLargeOutcome(width, height);
}

// Rows per band: a whole strip or row of tiles when it is small enough.
std::uint32_t BandHeight(TIFF* tiff, std::uint32_t width, std::uint32_t height) {
  std::uint32_t natural = 0;
  if (TIFFIsTiled(tiff)) {
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &natural);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &natural);
  }
  const auto most = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(1, kMaxBandPixels / std::max<std::uint32_t>(width, 1)));
  return std::clamp<std::uint32_t>(natural, 1, std::min(most, height));
}

void PackRow(const std::uint32_t* abgr, std::uint32_t width, std::uint8_t* rgba) {
  for (std::uint32_t x = 0; x < width; ++x) {
    rgba[x * 4 + 0] = static_cast<std::uint8_t>(TIFFGetR(abgr[x]));
    rgba[x * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(abgr[x]));
    rgba[x * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(abgr[x]));
    rgba[x * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(abgr[x]));
  }
}

}  // namespace

DecodeOutcome DecodeTiff(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  TiffStream stream{&source};
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return DecodeOutcome{DecodeStatus::kFailed, "out of memory"};
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibraryAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), NoteError, &stream);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, &stream);
  std::unique_ptr<TIFF, TiffDeleter> tiff(
      TIFFClientOpenExt("picture", "rm", &stream, ReadProc, WriteProc, SeekProc, CloseProc,
                        SizeProc, MapProc, UnmapProc, options.get()));
  if (!tiff) return Damaged(stream, false);

  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) == 0 ||
      TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) == 0 || width == 0 || height == 0) {
    return Damaged(stream, false);
  }
  if (std::uint64_t{width} * height > request.max_pixels || width > kMaxWidth) {
    return TooLarge(width, height);
  }
  RgbaImage image;
  if (!image.Begin(tiff.get())) {
    return DecodeOutcome{DecodeStatus::kFailed, "unsupported kind of TIFF picture"};
  }
  // Rows are converted as stored (no flipping by libtiff); the sink applies
  // the orientation, whose numbering TIFF and EXIF share.
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
  if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) {
    orientation = ORIENTATION_TOPLEFT;
  }
  image.get().req_orientation = orientation;
  if (!sink.Begin(width, height, orientation)) return TooLarge(width, height);

  const std::uint32_t band_height = BandHeight(tiff.get(), width, height);
  std::vector<std::uint32_t> band(static_cast<std::size_t>(width) * band_height);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
  bool anything_delivered = false;
  for (std::uint32_t top = 0; top < height; top += band_height) {
    const std::uint32_t rows = std::min(band_height, height - top);
    image.get().row_offset = static_cast<int>(top);
    image.get().col_offset = 0;
    stream.library_error = false;  // complaints while opening were not fatal
    if (TIFFRGBAImageGet(&image.get(), band.data(), width, rows) == 0 || stream.library_error) {
      return Damaged(stream, anything_delivered);
    }
    for (std::uint32_t i = 0; i < rows; ++i) {
      PackRow(band.data() + static_cast<std::size_t>(i) * width, width, row.data());
      sink.Row(top + i, width, row.data());
    }
    anything_delivered = true;
  }
  return DecodeOutcome{DecodeStatus::kOk, {}};
}

}  // namespace vistamere::picture
