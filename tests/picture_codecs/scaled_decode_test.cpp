// JPEG, WebP and interlaced PNG decode at the smallest size that still
// covers the target (turned pictures compare their stored rows with the
// target's columns).
#include <gtest/gtest.h>

#include <algorithm>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct ScaleCase {
  const char* label;
  Codec codec;
  std::uint32_t width, height;  // of the picture as stored
  int orientation;
  std::uint32_t target_width, target_height;
  std::uint32_t expected_width, expected_height;
};

const ScaleCase kCases[] = {
    // 1/8 gives 750 x 500, 2/8 the first to cover 1024 x 512.
    {"jpeg_6000x4000", kJpeg, 6000, 4000, 1, 1024, 512, 1500, 1000},
    {"jpeg_3000x2000", kJpeg, 3000, 2000, 1, 1024, 512, 1125, 750},
    // Turned a quarter: the stored height must cover the target width.
    {"jpeg_3000x2000_turned", kJpeg, 3000, 2000, 6, 1024, 512, 1875, 1250},
    {"jpeg_exact_eighth", kJpeg, 8192, 4096, 1, 1024, 512, 1024, 512},
    {"jpeg_smaller_than_target", kJpeg, 640, 200, 1, 1024, 512, 640, 200},
    {"jpeg_odd_size", kJpeg, 2049, 1025, 1, 1024, 512, 1025, 513},
    {"webp_2048x1024", kWebp, 2048, 1024, 1, 1024, 512, 1024, 512},
    {"webp_wide", kWebp, 4000, 1000, 1, 1024, 512, 2048, 512},
    {"webp_smaller_than_target", kWebp, 300, 600, 1, 1024, 512, 300, 600},
};

class ScaledDecode : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaledDecode, PicksTheSmallestCoveringSize) {
  const ScaleCase& test = GetParam();
  Bytes file = Pictures().Make("-size " + std::to_string(test.width) + "x" +
                                   std::to_string(test.height) + " xc:orange -quality 80",
                               std::string(test.label) + "." + test.codec.extension);
  if (test.orientation != 1)
    file = WithExifSegment(file, TiffWithOrientation(test.orientation, false));
  MemoryByteSource source(std::move(file));
  CollectingSink sink;
  DecodeRequest request;
  request.target_width = test.target_width;
  request.target_height = test.target_height;
  const DecodeOutcome outcome = test.codec.decode(source, sink, request);

  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  EXPECT_EQ(sink.width(), test.expected_width);
  EXPECT_EQ(sink.height(), test.expected_height);
  EXPECT_EQ(sink.orientation(), test.orientation);
  EXPECT_EQ(sink.DeliveredPixels(), std::uint64_t{test.expected_width} * test.expected_height);
  const Rgba orange = {255, 165, 0, 255};
  EXPECT_TRUE(Near(sink.At(sink.width() / 2, sink.height() / 2), orange, 12))
      << Describe(sink.At(sink.width() / 2, sink.height() / 2));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScaledDecode, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.label); });

// An interlaced PNG at 1/2, 1/4 or 1/8 is its first 5, 3 or 1 passes: every
// 2nd, 4th or 8th pixel of every 2nd, 4th or 8th row of the whole picture.
struct PassesCase {
  const char* label;
  std::uint32_t target_width, target_height;
  std::uint32_t shown_width, shown_height;
  std::uint32_t step;  // expected
};

const PassesCase kPassesCases[] = {
    {"whole", 203, 141, 0, 0, 1},
    {"half", 102, 71, 0, 0, 2},
    {"half_by_detail_shown", 1024, 512, 90, 62, 2},
    {"quarter", 51, 36, 0, 0, 4},
    {"eighth", 26, 18, 0, 0, 8},
    {"eighth_for_a_tiny_target", 1, 1, 0, 0, 8},
};

Bytes InterlacedPng() {
  return Pictures().Make("-seed 4 -size 203x141 plasma:fractal -depth 8 -interlace PNG",
                         "interlaced.png");
}

CollectingSink DecodedPng(const Bytes& png, const DecodeRequest& request, DecodeOutcome& outcome) {
  MemoryByteSource source(png);
  CollectingSink sink;
  outcome = DecodePng(source, sink, request);
  return sink;
}

class InterlacedPasses : public ::testing::TestWithParam<PassesCase> {};

TEST_P(InterlacedPasses, ShrunkPictureIsTheWholeOneSampled) {
  const PassesCase& test = GetParam();
  const Bytes png = InterlacedPng();
  DecodeOutcome outcome;
  DecodeRequest whole_request;
  whole_request.target_width = whole_request.target_height = 4096;
  const CollectingSink whole = DecodedPng(png, whole_request, outcome);
  ASSERT_EQ(outcome.status, DecodeStatus::kOk);
  ASSERT_EQ(whole.width(), 203u);

  DecodeRequest request;
  request.target_width = test.target_width;
  request.target_height = test.target_height;
  request.shown_width = test.shown_width;
  request.shown_height = test.shown_height;
  const CollectingSink shrunk = DecodedPng(png, request, outcome);
  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  ASSERT_EQ(shrunk.width(), (203 + test.step - 1) / test.step);
  ASSERT_EQ(shrunk.height(), (141 + test.step - 1) / test.step);
  EXPECT_EQ(shrunk.DeliveredPixels(), std::uint64_t{shrunk.width()} * shrunk.height());
  EXPECT_EQ(shrunk.misplaced(), 0u);
  for (std::uint32_t y = 0; y < shrunk.height(); ++y) {
    for (std::uint32_t x = 0; x < shrunk.width(); ++x) {
      ASSERT_EQ(shrunk.At(x, y), whole.At(x * test.step, y * test.step)) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, InterlacedPasses, ::testing::ValuesIn(kPassesCases),
                         [](const auto& test) { return std::string(test.param.label); });

// Only the passes a scale needs are read: a cut inside them is a truncation,
// a cut after them is not seen.
TEST(InterlacedPasses, CutInANeededPassIsTruncatedAndOneAfterThemIsNotRead) {
  const Bytes png = InterlacedPng();
  const auto idat = std::search(png.begin(), png.end(), std::begin("IDAT"), std::end("IDAT") - 1);
  ASSERT_NE(idat, png.end());
  const auto pass_one_cut = static_cast<std::size_t>(idat - png.begin()) + 4 + 300;
  const std::size_t late_cut = png.size() * 9 / 10;
  DecodeRequest eighth;
  eighth.target_width = eighth.target_height = 1;
  DecodeRequest whole;
  whole.target_width = whole.target_height = 4096;
  struct Cut {
    std::size_t at;
    const DecodeRequest& request;
    DecodeStatus status;
    const char* reason;
  };
  const Cut cuts[] = {
      {pass_one_cut, eighth, DecodeStatus::kFailed, "truncated PNG data"},
      {late_cut, eighth, DecodeStatus::kOk, ""},
      {late_cut, whole, DecodeStatus::kTruncated, "truncated PNG data"},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut.at) + " of " + std::to_string(png.size()));
    DecodeOutcome outcome;
    const CollectingSink sink = DecodedPng(
        Bytes(png.begin(), png.begin() + static_cast<long>(cut.at)), cut.request, outcome);
    EXPECT_EQ(outcome.status, cut.status);
    EXPECT_EQ(outcome.reason, cut.reason);
    EXPECT_EQ(sink.misplaced(), 0u);
  }
}

}  // namespace
}  // namespace vistamere::picture::testing
