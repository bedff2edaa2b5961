// PNGs of grey, grey and alpha, and 16-bit samples decode to the RGBA of
// the same picture stored as 8-bit RGB or RGBA (ImageMagick rounds 16-bit
// samples to 8 bits where the decoder keeps their upper byte: within 1).
#include <gtest/gtest.h>

#include <string>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

constexpr const char* kGrey = "-seed 2 -size 40x20 plasma:fractal -colorspace Gray ";
constexpr const char* kColour = "-seed 2 -size 40x20 plasma:fractal ";
constexpr const char* kAlpha = "\\( -size 40x20 gradient: \\) -compose CopyOpacity -composite ";

struct SampleKind {
  const char* label;
  const char* source;
  bool alpha;
  const char* options;  // after the source (and alpha)
  const char* prefix;   // ImageMagick's PNG variant
};

const SampleKind kKinds[] = {
    {"grey8", kGrey, false, "-type Grayscale -depth 8", ""},
    {"grey16", kGrey, false, "-type Grayscale -depth 16", ""},
    {"grey_alpha8", kGrey, true, "-type GrayscaleAlpha -depth 8", ""},
    {"grey_alpha16", kGrey, true, "-type GrayscaleAlpha -depth 16", ""},
    {"rgb16", kColour, false, "-depth 16", "PNG48:"},
    {"rgba16", kColour, true, "-depth 16", "PNG64:"},
};

void PrintTo(const SampleKind& kind, std::ostream* out) {
  *out << kind.label;
}

CollectingSink Decoded(const std::string& options, const std::string& name) {
  MemoryByteSource source(Pictures().Make(options, name));
  CollectingSink sink;
  const DecodeOutcome outcome = DecodePng(source, sink, DecodeRequest{});
  EXPECT_EQ(outcome.status, DecodeStatus::kOk) << name << ": " << outcome.reason;
  return sink;
}

class PngSampleKinds : public ::testing::TestWithParam<SampleKind> {};

TEST_P(PngSampleKinds, DecodeLikeEightBitRgba) {
  const SampleKind& kind = GetParam();
  const std::string source = std::string(kind.source) + (kind.alpha ? kAlpha : "");
  const CollectingSink reference =
      Decoded(source, std::string(kind.alpha ? "PNG32:" : "PNG24:") + kind.label + "_ref.png");
  const CollectingSink sink =
      Decoded(source + kind.options, std::string(kind.prefix) + kind.label + ".png");
  ASSERT_EQ(sink.width(), 40u);
  ASSERT_EQ(sink.height(), 20u);
  ASSERT_NE(reference.At(0, 0), reference.At(39, 19));
  for (std::uint32_t y = 0; y < 20; ++y) {
    for (std::uint32_t x = 0; x < 40; ++x) {
      ASSERT_TRUE(Near(sink.At(x, y), reference.At(x, y), 1))
          << x << "," << y << ": " << Describe(sink.At(x, y)) << " instead of "
          << Describe(reference.At(x, y));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngSampleKinds, ::testing::ValuesIn(kKinds),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
