// The orientation a picture declares reaches the sink; the pixels come as
// stored (the sink turns them).
#include <gtest/gtest.h>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct JpegCase {
  int orientation;
  bool big_endian;
};

class JpegExifOrientation : public ::testing::TestWithParam<JpegCase> {};

TEST_P(JpegExifOrientation, ComesFromTheApp1Segment) {
  static const Bytes plain = Pictures().Quadrants("-quality 95", "plain.jpg");
  const JpegCase& test = GetParam();
  MemoryByteSource source(
      WithExifSegment(plain, TiffWithOrientation(test.orientation, test.big_endian)));
  CollectingSink sink;
  const DecodeOutcome outcome = DecodeJpeg(source, sink, DecodeRequest{});

  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  EXPECT_EQ(sink.orientation(), test.orientation);
  ASSERT_EQ(sink.width(), 64u);
  EXPECT_TRUE(Near(sink.At(8, 4), kRed, 12));
  EXPECT_TRUE(Near(sink.At(55, 27), kWhite, 12));
}

INSTANTIATE_TEST_SUITE_P(BothByteOrders, JpegExifOrientation,
                         ::testing::Values(JpegCase{1, false}, JpegCase{3, true},
                                           JpegCase{6, false}, JpegCase{6, true},
                                           JpegCase{8, false}, JpegCase{5, true},
                                           JpegCase{2, false}, JpegCase{7, true},
                                           JpegCase{4, false}));

struct TiffCase {
  const char* imagemagick_name;
  int orientation;
};

class TiffOrientationTag : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffOrientationTag, IsReportedAndThePixelsStayAsStored) {
  const TiffCase& test = GetParam();
  for (const char* layout : {"", "-compress LZW -define tiff:tile-geometry=16x16 "}) {
    MemoryByteSource source(
        Pictures().Quadrants(std::string(layout) + "-orient " + test.imagemagick_name,
                             std::string("TIFF:oriented_") + test.imagemagick_name + ".tif"));
    CollectingSink sink;
    const DecodeOutcome outcome = DecodeTiff(source, sink, DecodeRequest{});

    ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
    EXPECT_EQ(sink.orientation(), test.orientation) << layout;
    ASSERT_EQ(sink.width(), 64u);
    ASSERT_EQ(sink.height(), 32u);
    EXPECT_EQ(sink.At(8, 4), kRed) << layout;
    EXPECT_EQ(sink.At(55, 4), kLime) << layout;
    EXPECT_EQ(sink.At(8, 27), kBlue) << layout;
    EXPECT_EQ(sink.At(55, 27), kWhite) << layout;
  }
}

INSTANTIATE_TEST_SUITE_P(AllEight, TiffOrientationTag,
                         ::testing::Values(TiffCase{"TopLeft", 1}, TiffCase{"TopRight", 2},
                                           TiffCase{"BottomRight", 3}, TiffCase{"BottomLeft", 4},
                                           TiffCase{"LeftTop", 5}, TiffCase{"RightTop", 6},
                                           TiffCase{"RightBottom", 7}, TiffCase{"LeftBottom", 8}));

}  // namespace
}  // namespace vistamere::picture::testing
