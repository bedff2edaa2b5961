// The same samples stored in strips of a few rows or one tall strip (read a
// row at a time), in tiles, uncompressed or crossing the right edge (read a
// row of tiles at a time), or in separate planes (through libtiff's band
// converter) decode to the same pixels, for each kind of sample. The files
// are written here with libtiff.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

enum class Layout { kStrips, kOneStrip, kTiles, kPlanes };

struct SampleKind {
  const char* label;
  std::uint16_t bits;
  std::uint16_t samples;
  std::uint16_t photometric;
  std::uint16_t compression;
  std::uint32_t width;  // past the 2048-pixel pieces rows are converted in
};

constexpr std::uint32_t kHeight = 23;  // three strips of 7 rows, then 2
constexpr std::uint32_t kTileSide = 16;

const SampleKind kKinds[] = {
    // Rows end inside a byte of a 1-bit row, and inside a tile.
    {"bilevel_deflate", 1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, 2100},
    {"palette4_lzw", 4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_LZW, 2112},
    {"palette8_none", 8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, 2100},
    {"grey8_lzw", 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 2100},
    {"grey16_deflate", 16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, 2100},
    {"rgb8_lzw", 8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, 2100},
    {"rgba8_deflate", 8, 4, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 2100},
    {"rgb16_none", 16, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE, 2100},
    {"rgba16_deflate", 16, 4, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 2100},
};

void PrintTo(const SampleKind& kind, std::ostream* out) {
  *out << kind.label;
}

// Sample `s` of pixel (x, y): a pattern that changes in every pixel.
std::uint32_t SampleAt(const SampleKind& kind, std::uint32_t x, std::uint32_t y, std::uint32_t s) {
  const std::uint32_t value = x * 7 + y * 131 + s * 59 + ((x * y) >> 3);
  return (kind.bits == 16 ? value * 2731 : value) & ((1u << kind.bits) - 1);
}

// One row of samples `first` to `first + count - 1` of each pixel, packed as
// TIFF stores them (most significant bits first, 16-bit in native order).
std::vector<std::uint8_t> PackedRow(const SampleKind& kind, std::uint32_t y, std::uint32_t first,
                                    std::uint32_t count) {
  std::vector<std::uint8_t> row((std::size_t{kind.width} * count * kind.bits + 7) / 8);
  std::size_t bit = 0;
  for (std::uint32_t x = 0; x < kind.width; ++x) {
    for (std::uint32_t s = first; s < first + count; ++s, bit += kind.bits) {
      const std::uint32_t value = SampleAt(kind, x, y, s);
      if (kind.bits == 16) {
        const auto sample = static_cast<std::uint16_t>(value);
        std::memcpy(&row[bit / 8], &sample, 2);
      } else {
        row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - kind.bits - bit % 8));
      }
    }
  }
  return row;
}

Bytes Written(const SampleKind& kind, Layout layout) {
  const std::string path =
      (std::filesystem::temp_directory_path() /
       ("vistamere-layout-" + std::to_string(::getpid()) + "-" + kind.label + ".tif"))
          .string();
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return {};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kind.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, kind.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, kind.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, kind.photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, kind.compression);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
               layout == Layout::kPlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  if (kind.samples == 4) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (kind.photometric == PHOTOMETRIC_PALETTE) {
    std::vector<std::uint16_t> red(1u << kind.bits), green(red.size()), blue(red.size());
    for (std::size_t i = 0; i < red.size(); ++i) {
      red[i] = static_cast<std::uint16_t>(i * 40503u);
      green[i] = static_cast<std::uint16_t>(65535 - i * 257);
      blue[i] = static_cast<std::uint16_t>(i * 9000u);
    }
    TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
  }
  bool ok = true;
  if (layout == Layout::kTiles) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, kTileSide);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, kTileSide);
    const auto tile_row = static_cast<std::size_t>(TIFFTileRowSize(tiff));
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tiff)));
    for (std::uint32_t top = 0; top < kHeight; top += kTileSide) {
      for (std::uint32_t left = 0; left < kind.width; left += kTileSide) {
        std::fill(tile.begin(), tile.end(), 0);
        for (std::uint32_t y = top; y < std::min(top + kTileSide, kHeight); ++y) {
          const auto row = PackedRow(kind, y, 0, kind.samples);
          const std::size_t from = std::size_t{left} * kind.samples * kind.bits / 8;
          std::copy_n(row.begin() + static_cast<long>(from), std::min(tile_row, row.size() - from),
                      tile.begin() + static_cast<long>((y - top) * tile_row));
        }
        ok = ok && TIFFWriteTile(tiff, tile.data(), left, top, 0, 0) >= 0;
      }
    }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, layout == Layout::kOneStrip ? kHeight : 7);
    const std::uint32_t planes = layout == Layout::kPlanes ? kind.samples : 1;
    for (std::uint32_t plane = 0; plane < planes; ++plane) {
      for (std::uint32_t y = 0; y < kHeight; ++y) {
        auto row = PackedRow(kind, y, plane, kind.samples / planes);
        ok = ok && TIFFWriteScanline(tiff, row.data(), y, static_cast<std::uint16_t>(plane)) == 1;
      }
    }
  }
  TIFFClose(tiff);
  std::ifstream file(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return ok ? bytes : Bytes{};
}

CollectingSink Decoded(const SampleKind& kind, Layout layout) {
  MemoryByteSource source(Written(kind, layout));
  CollectingSink sink;
  const DecodeOutcome outcome = DecodeTiff(source, sink, DecodeRequest{});
  EXPECT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  EXPECT_EQ(sink.DeliveredPixels(), std::uint64_t{kind.width} * kHeight);
  EXPECT_EQ(sink.misplaced(), 0u);
  return sink;
}

class TiffLayouts : public ::testing::TestWithParam<SampleKind> {};

TEST_P(TiffLayouts, EveryLayoutGivesTheSamePixels) {
  const SampleKind& kind = GetParam();
  // Planes go through libtiff's converter, an independent reference.
  const Layout reference_layout = kind.samples > 1 ? Layout::kPlanes : Layout::kTiles;
  const CollectingSink reference = Decoded(kind, reference_layout);
  ASSERT_EQ(reference.width(), kind.width);
  ASSERT_NE(reference.At(0, 0), reference.At(1, 0)) << "a plain picture would prove nothing";

  const Layout layouts[] = {Layout::kStrips, Layout::kOneStrip, Layout::kTiles};
  for (const Layout layout : layouts) {
    if (layout == reference_layout) continue;
    SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)));
    const CollectingSink sink = Decoded(kind, layout);
    ASSERT_EQ(sink.width(), kind.width);
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      for (std::uint32_t x = 0; x < kind.width; ++x) {
        ASSERT_EQ(sink.At(x, y), reference.At(x, y))
            << "at " << x << "," << y << ": " << Describe(sink.At(x, y));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TiffLayouts, ::testing::ValuesIn(kKinds),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
