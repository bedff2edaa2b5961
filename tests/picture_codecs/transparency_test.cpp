// Transparent pixels come out with alpha 0 (the reducer composes them over
// black); opaque ones keep their colour.
#include <gtest/gtest.h>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct Variant {
  const char* label;
  Codec codec;
  const char* options;
  const char* prefix;
  int tolerance;
};

const Variant kVariants[] = {
    {"png_rgba", kPng, "", "PNG32:", 0},
    {"png_palette_trns", kPng, "", "PNG8:", 0},
    {"png_rgba_16", kPng, "-depth 16", "PNG64:", 0},
    {"gif", kGif, "", "", 0},
    {"webp_lossless", kWebp, "-define webp:lossless=true", "", 0},
    {"webp_lossy", kWebp, "-quality 95", "", 24},
    {"tiff", kTiff, "-compress LZW", "", 0},
};

class Transparency : public ::testing::TestWithParam<Variant> {};

TEST_P(Transparency, LeftHalfOpaqueRedRightHalfTransparent) {
  const Variant& variant = GetParam();
  MemoryByteSource source(Pictures().Make(
      std::string("-size 32x32 xc:red -size 32x32 xc:none +append ") + variant.options,
      std::string(variant.prefix) + variant.label + "_alpha." + variant.codec.extension));
  CollectingSink sink;
  const DecodeOutcome outcome = variant.codec.decode(source, sink, DecodeRequest{});

  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  ASSERT_EQ(sink.width(), 64u);
  ASSERT_EQ(sink.height(), 32u);
  EXPECT_EQ(sink.DeliveredPixels(), 64u * 32u);
  for (std::uint32_t y : {0u, 15u, 31u}) {
    for (std::uint32_t x : {0u, 10u, 28u}) {
      EXPECT_TRUE(Near(sink.At(x, y), kRed, variant.tolerance))
          << x << "," << y << ": " << Describe(sink.At(x, y));
    }
    for (std::uint32_t x : {36u, 50u, 63u}) {
      EXPECT_EQ(sink.At(x, y)[3], 0) << x << "," << y << ": " << Describe(sink.At(x, y));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Transparency, ::testing::ValuesIn(kVariants),
                         [](const auto& test) { return std::string(test.param.label); });

// A GIF frame smaller than its logical screen sits at its offset; the rest
// of the screen is black.
TEST(GifFrame, SitsAtItsOffsetOnABlackScreen) {
  MemoryByteSource source(
      Pictures().Make("-size 10x6 xc:lime -repage 40x20+25+9", "offset_frame.gif"));
  CollectingSink sink;
  const DecodeOutcome outcome = DecodeGif(source, sink, DecodeRequest{});

  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  ASSERT_EQ(sink.width(), 40u);
  ASSERT_EQ(sink.height(), 20u);
  EXPECT_EQ(sink.DeliveredPixels(), 40u * 20u);
  const struct {
    std::uint32_t x, y;
    Rgba colour;
  } probes[] = {{25, 9, kLime},           {34, 14, kLime},         {24, 9, {0, 0, 0, 255}},
                {35, 14, {0, 0, 0, 255}}, {25, 8, {0, 0, 0, 255}}, {30, 15, {0, 0, 0, 255}},
                {0, 0, {0, 0, 0, 255}}};
  for (const auto& probe : probes) {
    EXPECT_EQ(sink.At(probe.x, probe.y), probe.colour) << probe.x << "," << probe.y;
  }
}

}  // namespace
}  // namespace vistamere::picture::testing
