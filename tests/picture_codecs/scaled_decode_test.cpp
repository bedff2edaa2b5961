// JPEG and WebP decode at the smallest size that still covers the target
// (turned pictures compare their stored rows with the target's columns).
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vistamere::picture::testing
