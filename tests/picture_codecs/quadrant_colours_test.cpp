// Every supported variant of every format decodes the test card to its
// colours, each pixel delivered exactly once, the same when the file's
// bytes come a few at a time.
#include <gtest/gtest.h>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct Variant {
  const char* label;
  Codec codec;
  const char* options;  // ImageMagick options; a "FORMAT:" prefix goes on the file name
  const char* prefix;
  int tolerance;
};

const Variant kVariants[] = {
    {"jpeg_baseline", kJpeg, "-quality 95", "", 12},
    {"jpeg_progressive", kJpeg, "-quality 95 -interlace Plane", "", 12},
    {"jpeg_no_subsampling", kJpeg, "-quality 95 -sampling-factor 1x1", "", 8},
    {"jpeg_cmyk", kJpeg, "-quality 95 -colorspace CMYK", "", 16},
    {"png_rgb", kPng, "", "", 0},
    {"png_16_bit", kPng, "-depth 16", "PNG48:", 0},
    {"png_interlaced", kPng, "-interlace PNG", "", 0},
    {"png_palette", kPng, "", "PNG8:", 0},
    {"png_rgba", kPng, "", "PNG32:", 0},
    {"gif", kGif, "", "", 0},
    {"gif_interlaced", kGif, "-interlace GIF", "", 0},
    {"webp_lossless", kWebp, "-define webp:lossless=true", "", 0},
    {"webp_lossy", kWebp, "-quality 95", "", 24},
    {"tiff_uncompressed", kTiff, "-compress None", "", 0},
    {"tiff_lzw", kTiff, "-compress LZW", "", 0},
    {"tiff_tiled", kTiff, "-compress LZW -define tiff:tile-geometry=16x16", "TIFF:", 0},
    {"tiff_16_bit", kTiff, "-depth 16 -compress Zip", "", 0},
    {"tiff_strips_of_5_rows", kTiff, "-define tiff:rows-per-strip=5", "", 0},
    {"tiff_jpeg", kTiff, "-compress JPEG -quality 95", "", 16},
};

class QuadrantColours : public ::testing::TestWithParam<Variant> {};

TEST_P(QuadrantColours, DecodesEveryPixelOnceWithTheRightColours) {
  const Variant& variant = GetParam();
  const std::string name = std::string(variant.label) + "." + variant.codec.extension;
  const Bytes file = Pictures().Quadrants(variant.options, variant.prefix + name);
  MemoryByteSource source(file);
  CollectingSink sink;
  const DecodeOutcome outcome = variant.codec.decode(source, sink, DecodeRequest{});

  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  ASSERT_EQ(sink.width(), 64u);
  ASSERT_EQ(sink.height(), 32u);
  EXPECT_EQ(sink.orientation(), 1);
  EXPECT_EQ(sink.DeliveredPixels(), 64u * 32u);
  EXPECT_EQ(sink.misplaced(), 0u);
  const struct {
    std::uint32_t x, y;
    Rgba colour;
  } probes[] = {{8, 4, kRed},   {55, 4, kLime},  {8, 27, kBlue},  {55, 27, kWhite},
                {0, 0, kRed},   {63, 0, kLime},  {0, 31, kBlue},  {63, 31, kWhite},
                {24, 12, kRed}, {40, 12, kLime}, {24, 20, kBlue}, {40, 20, kWhite}};
  for (const auto& probe : probes) {
    const Rgba actual = sink.At(probe.x, probe.y);
    EXPECT_TRUE(Near(actual, probe.colour, variant.tolerance))
        << "at " << probe.x << "," << probe.y << ": " << Describe(actual) << " expected "
        << Describe(probe.colour);
  }

  // A source may give fewer bytes than asked for: the decoder reads on.
  MemoryByteSource trickle(file, 7);
  CollectingSink pieces;
  const DecodeOutcome pieced = variant.codec.decode(trickle, pieces, DecodeRequest{});
  ASSERT_EQ(pieced.status, DecodeStatus::kOk) << pieced.reason;
  ASSERT_EQ(pieces.DeliveredPixels(), 64u * 32u);
  for (std::uint32_t y = 0; y < 32; ++y) {
    for (std::uint32_t x = 0; x < 64; ++x) {
      ASSERT_EQ(Describe(pieces.At(x, y)), Describe(sink.At(x, y))) << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, QuadrantColours, ::testing::ValuesIn(kVariants),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
