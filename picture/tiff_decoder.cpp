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

// Memory bounds. libtiff holds a strip's compressed bytes whole; beyond
// kMaxRawStripBytes a picture is refused as too large to decode. Strips are
// otherwise decoded a row at a time, converted kPieceColumns pixels at once;
// tiles a row of tiles at a time. Separately stored planes and subsampled
// chroma go through libtiff's converter a band of whole strips or tile rows
// at a time (each decoded once). A band and libtiff's buffer for one strip
// or tile together stay within kMaxBandBytes.
// libtiff's own allocations are capped at kMaxLibraryAllocation.
constexpr std::uint64_t kMaxRawStripBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kMaxScanlineBytes = std::uint64_t{32} << 20;
constexpr std::uint32_t kPieceColumns = 2048;
constexpr std::uint64_t kMaxBandBytes = std::uint64_t{48} << 20;
constexpr std::uint64_t kBandPixels = std::uint64_t{1} << 22;
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
  if (target < base || !source.Seek(target)) {
    // What the file says is there lies past its end.
    StreamOf(handle).ended = true;
    return static_cast<toff_t>(-1);
  }
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

// The size the first directory of a classic TIFF declares, read without
// libtiff (which refuses to open a file whose strips it cannot size):
// false when the bytes do not say it.
bool DeclaredSize(ByteSource& source, std::uint64_t& width, std::uint64_t& height) {
  std::uint8_t header[8];
  if (!source.Seek(0) || ReadFully(source, header, sizeof header) != sizeof header) return false;
  const bool big_endian = header[0] == 'M';
  auto number = [big_endian](const std::uint8_t* bytes, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
      value |= std::uint64_t{bytes[big_endian ? size - 1 - i : i]} << (8 * i);
    }
    return value;
  };
  if (number(header + 2, 2) != 42 || !source.Seek(number(header + 4, 4))) return false;
  std::uint8_t count_bytes[2];
  if (ReadFully(source, count_bytes, 2) != 2) return false;
  width = height = 0;
  for (std::uint64_t i = number(count_bytes, 2); i > 0 && (width == 0 || height == 0); --i) {
    std::uint8_t entry[12];
    if (ReadFully(source, entry, sizeof entry) != sizeof entry) return false;
    const std::uint64_t tag = number(entry, 2);
    const std::uint64_t type = number(entry + 2, 2);
    if ((tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH) || (type != 3 && type != 4)) {
      continue;
    }
    (tag == TIFFTAG_IMAGEWIDTH ? width : height) = number(entry + 8, type == 3 ? 2 : 4);
  }
  return width != 0 && height != 0;
}

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

// How many separately stored planes: 1 when the samples are interleaved.
std::uint16_t PlanesOf(TIFF* tiff) {
  std::uint16_t config = PLANARCONFIG_CONTIG;
  std::uint16_t samples = 1;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &config);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  return config == PLANARCONFIG_SEPARATE ? std::max<std::uint16_t>(samples, 1) : 1;
}

// Whether libtiff can hold the compressed bytes of each strip or tile
// holding rows [top, top + rows), as far as they lie in the file.
bool StorageFits(TIFF* tiff, const ByteSource& source, std::uint32_t width, std::uint32_t top,
                 std::uint32_t rows) {
  const bool tiled = TIFFIsTiled(tiff) != 0;
  std::uint32_t step_down = 0;
  std::uint32_t step_across = width;
  if (tiled) {
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &step_down);
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &step_across);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &step_down);
  }
  step_down = std::max<std::uint32_t>(step_down, 1);
  step_across = std::max<std::uint32_t>(step_across, 1);
  const std::uint64_t size = source.Size();
  const std::uint64_t end = std::uint64_t{top} + rows;
  for (std::uint16_t plane = 0; plane < PlanesOf(tiff); ++plane) {
    for (std::uint64_t y = top - top % step_down; y < end; y += step_down) {
      for (std::uint64_t x = 0; x < width; x += step_across) {
        const auto row = static_cast<std::uint32_t>(y);
        const std::uint32_t index =
            tiled ? TIFFComputeTile(tiff, static_cast<std::uint32_t>(x), row, 0, plane)
                  : TIFFComputeStrip(tiff, row, plane);
        const std::uint64_t offset = TIFFGetStrileOffset(tiff, index);
        const std::uint64_t bytes = TIFFGetStrileByteCount(tiff, index);
        const std::uint64_t stored = offset < size ? std::min(bytes, size - offset) : 0;
        if (stored > kMaxRawStripBytes) return false;
      }
    }
  }
  return true;
}

// Rows per band: whole strips (or rows of tiles), as many as fit in
// kBandPixels, at least one; 0 when even one would pass kMaxBandBytes.
std::uint32_t BandHeight(TIFF* tiff, std::uint32_t width, std::uint32_t height) {
  std::uint32_t natural = 0;
  std::uint64_t library_bytes = 0;
  if (TIFFIsTiled(tiff)) {
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &natural);
    library_bytes = TIFFTileSize64(tiff);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &natural);
    library_bytes = TIFFStripSize64(tiff) * PlanesOf(tiff);
  }
  natural = std::clamp<std::uint32_t>(natural, 1, height);
  const std::uint64_t natural_pixels = std::uint64_t{natural} * width;
  if (natural_pixels * 4 + library_bytes > kMaxBandBytes) return 0;
  const std::uint64_t bands = std::max<std::uint64_t>(1, kBandPixels / natural_pixels);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(bands * natural, height));
}

void PackRow(const std::uint32_t* abgr, std::uint32_t width, std::uint8_t* rgba) {
  for (std::uint32_t x = 0; x < width; ++x) {
    rgba[x * 4 + 0] = static_cast<std::uint8_t>(TIFFGetR(abgr[x]));
    rgba[x * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(abgr[x]));
    rgba[x * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(abgr[x]));
    rgba[x * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(abgr[x]));
  }
}

// Whether the rows can be converted one by one by the routine
// TIFFRGBAImageBegin chose: interleaved samples without subsampled chroma
// (whose routines take several rows at once).
bool ConvertsByRow(const TIFFRGBAImage& image) {
  return image.isContig != 0 && image.put.contig != nullptr &&
         image.photometric != PHOTOMETRIC_YCBCR;
}

// Decodes the strips row by row: each strip is decoded once, from its
// start, whatever its height.
DecodeOutcome DecodeByRow(TIFF* tiff, TiffStream& stream, TIFFRGBAImage& image, std::uint32_t width,
                          std::uint32_t height, RowSink& sink) {
  const std::uint64_t scanline_bytes = TIFFScanlineSize64(tiff);
  if (scanline_bytes == 0) return Damaged(stream, false);
  if (scanline_bytes > kMaxScanlineBytes) return TooLargeToDecodeOutcome(kMaxScanlineBytes);
  // A piece starts on a byte: kPieceColumns is a multiple of 8.
  const std::uint64_t bits_per_pixel = std::uint64_t{image.bitspersample} * image.samplesperpixel;
  std::uint32_t rows_per_strip = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
  rows_per_strip = std::max<std::uint32_t>(rows_per_strip, 1);

  std::vector<std::uint8_t> scanline(static_cast<std::size_t>(scanline_bytes));
  std::vector<std::uint32_t> converted(kPieceColumns);
  std::vector<std::uint8_t> rgba(std::size_t{kPieceColumns} * 4);
  bool anything_delivered = false;
  for (std::uint32_t y = 0; y < height; ++y) {
    if (y % rows_per_strip == 0 &&
        !StorageFits(tiff, *stream.source, width, y, std::min(rows_per_strip, height - y))) {
      return TooLargeToDecodeOutcome(kMaxRawStripBytes);
    }
    stream.library_error = false;
    if (TIFFReadScanline(tiff, scanline.data(), y, 0) < 0 || stream.library_error) {
      return Damaged(stream, anything_delivered);
    }
    for (std::uint32_t x = 0; x < width; x += kPieceColumns) {
      const std::uint32_t count = std::min(kPieceColumns, width - x);
      image.put.contig(&image, converted.data(), x, y, count, 1, 0, 0,
                       scanline.data() + x * bits_per_pixel / 8);
      PackRow(converted.data(), count, rgba.data());
      sink.Pixels(y, x, 1, count, rgba.data());
    }
    anything_delivered = true;
  }
  return DecodeOutcome{DecodeStatus::kOk, {}};
}

// Decodes the tiles a row of tiles at a time, each tile once, converting
// each of its rows on its own: libtiff's own tile converter refuses
// uncompressed tiles read from a stream and skips the wrong number of bytes
// after a 16-bit row of a tile that crosses the right edge.
DecodeOutcome DecodeByTile(TIFF* tiff, TiffStream& stream, TIFFRGBAImage& image,
                           std::uint32_t width, std::uint32_t height, RowSink& sink) {
  std::uint32_t tile_width = 0;
  std::uint32_t tile_length = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tile_width);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tile_length);
  const std::uint64_t tile_bytes = TIFFTileSize64(tiff);
  const std::uint64_t tile_row_bytes = TIFFTileRowSize64(tiff);
  if (tile_width == 0 || tile_length == 0 || tile_bytes == 0 || tile_row_bytes == 0) {
    return Damaged(stream, false);
  }
  const std::uint32_t band_rows = std::min(tile_length, height);
  if (std::uint64_t{band_rows} * width * 4 + tile_bytes > kMaxBandBytes) {
    return TooLargeToDecodeOutcome(kMaxBandBytes);
  }
  std::vector<std::uint8_t> tile(static_cast<std::size_t>(tile_bytes));
  std::vector<std::uint32_t> band(std::size_t{band_rows} * width);
  std::vector<std::uint8_t> rgba(std::size_t{width} * 4);
  bool anything_delivered = false;
  for (std::uint32_t top = 0; top < height; top += tile_length) {
    const std::uint32_t rows = std::min(tile_length, height - top);
    if (!StorageFits(tiff, *stream.source, width, top, rows)) {
      return TooLargeToDecodeOutcome(kMaxRawStripBytes);
    }
    for (std::uint32_t left = 0; left < width; left += tile_width) {
      const std::uint32_t columns = std::min(tile_width, width - left);
      stream.library_error = false;
      if (TIFFReadTile(tiff, tile.data(), left, top, 0, 0) < 0 || stream.library_error) {
        return Damaged(stream, anything_delivered);
      }
      for (std::uint32_t row = 0; row < rows; ++row) {
        image.put.contig(&image, band.data() + std::size_t{row} * width + left, left, top + row,
                         columns, 1, 0, 0, tile.data() + row * tile_row_bytes);
      }
    }
    for (std::uint32_t row = 0; row < rows; ++row) {
      PackRow(band.data() + std::size_t{row} * width, width, rgba.data());
      sink.Row(top + row, width, rgba.data());
    }
    anything_delivered = true;
  }
  return DecodeOutcome{DecodeStatus::kOk, {}};
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
  if (!tiff) {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    if (DeclaredSize(source, width, height) &&
        (width * height > request.max_pixels || width > kMaxWidth)) {
      return TooLargeOutcome(width, height);
    }
    return Damaged(stream, false);
  }

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

  if (ConvertsByRow(image.get())) {
    return TIFFIsTiled(tiff.get()) != 0
               ? DecodeByTile(tiff.get(), stream, image.get(), width, height, sink)
               : DecodeByRow(tiff.get(), stream, image.get(), width, height, sink);
  }

  const std::uint32_t band_height = BandHeight(tiff.get(), width, height);
  if (band_height == 0) return TooLargeToDecodeOutcome(kMaxBandBytes);
  std::vector<std::uint32_t> band(static_cast<std::size_t>(width) * band_height);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
  bool anything_delivered = false;
  for (std::uint32_t top = 0; top < height; top += band_height) {
    const std::uint32_t rows = std::min(band_height, height - top);
    if (!StorageFits(tiff.get(), source, width, top, rows)) {
      return TooLargeToDecodeOutcome(kMaxRawStripBytes);
    }
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
