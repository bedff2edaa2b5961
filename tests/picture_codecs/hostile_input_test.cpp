// Damaged, truncated and oversized input: a clean outcome with a reason,
// never a crash, a pixel out of place or an allocation the size of a lie.
#include <gtest/gtest.h>

#include <algorithm>

#include "decoder_table.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

std::string TruncatedReason(const Codec& codec) {
  return std::string("truncated ") + codec.name + " data";
}

struct TruncationCase {
  const char* label;
  Codec codec;
  const char* options;
  bool rows_survive_a_cut_in_half;  // the format keeps its pixel data in order
};

const TruncationCase kTruncationCases[] = {
    {"jpeg", kJpeg, "-quality 90", true},
    // A cut inside a later scan's header is fatal before any row is out.
    {"jpeg_progressive", kJpeg, "-quality 90 -interlace Plane", false},
    {"png", kPng, "", true},
    {"png_interlaced", kPng, "-interlace PNG", true},
    {"gif", kGif, "", true},
    {"webp_lossy", kWebp, "-quality 90", true},
    {"webp_lossless", kWebp, "-define webp:lossless=true", false},
    {"tiff", kTiff, "-compress LZW", false},  // the directory comes last
};

class Truncation : public ::testing::TestWithParam<TruncationCase> {};

TEST_P(Truncation, EndsCleanlyAtEveryCut) {
  const TruncationCase& test = GetParam();
  const Bytes whole =
      Pictures().Make(std::string("-seed 7 -size 256x128 plasma:fractal ") + test.options,
                      std::string("cut_") + test.label + "." + test.codec.extension);
  for (const double fraction : {0.0, 0.01, 0.1, 0.5, 0.9, 0.99}) {
    const std::size_t cut = std::max<std::size_t>(
        8, static_cast<std::size_t>(static_cast<double>(whole.size()) * fraction));
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
    MemoryByteSource source(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
    CollectingSink sink;
    const DecodeOutcome outcome = test.codec.decode(source, sink, DecodeRequest{});

    EXPECT_NE(outcome.status, DecodeStatus::kOk);
    EXPECT_EQ(outcome.reason, TruncatedReason(test.codec));
    EXPECT_EQ(sink.misplaced(), 0u);
    if (outcome.status == DecodeStatus::kTruncated) {
      EXPECT_GT(sink.DeliveredPixels(), 0u);
    }
    if (fraction == 0.5 && test.rows_survive_a_cut_in_half) {
      EXPECT_EQ(outcome.status, DecodeStatus::kTruncated);
      EXPECT_EQ(outcome.reason, TruncatedReason(test.codec));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Truncation, ::testing::ValuesIn(kTruncationCases),
                         [](const auto& test) { return std::string(test.param.label); });

class SizeLimits : public ::testing::TestWithParam<Codec> {};

TEST_P(SizeLimits, DeclaredSizeAboveTheLimitIsRefusedBeforeDelivery) {
  const Codec& codec = GetParam();
  MemoryByteSource source(Pictures().Quadrants("", std::string("limit.") + codec.extension));
  CollectingSink sink;
  DecodeRequest request;
  request.max_pixels = 64 * 32 - 1;
  const DecodeOutcome outcome = codec.decode(source, sink, request);

  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(outcome.reason, "picture too large (64 x 32)");
  EXPECT_FALSE(sink.begun());
}

TEST_P(SizeLimits, SinkRefusingTheSizeStopsTheDecode) {
  const Codec& codec = GetParam();
  MemoryByteSource source(Pictures().Quadrants("", std::string("refused.") + codec.extension));
  CollectingSink sink(/*max_pixels=*/100);
  const DecodeOutcome outcome = codec.decode(source, sink, DecodeRequest{});

  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(outcome.reason, "picture too large (64 x 32)");
  EXPECT_EQ(sink.misplaced(), 0u);
}

TEST_P(SizeLimits, GarbageAndEmptyInputFail) {
  const Codec& codec = GetParam();
  Bytes garbage(4096);
  std::uint32_t state = 12345;
  for (auto& byte : garbage) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  for (const Bytes& input : {garbage, Bytes{}}) {
    MemoryByteSource source(input);
    CollectingSink sink;
    const DecodeOutcome outcome = codec.decode(source, sink, DecodeRequest{});
    EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_EQ(sink.DeliveredPixels(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, SizeLimits, ::testing::ValuesIn(kAllCodecs),
                         [](const auto& test) { return std::string(test.param.name); });

void PutBigEndian(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    bytes[at + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(value >> (8 * (size - 1 - i)));
  }
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TEST(HugeDeclaredSize, JpegFrameHeaderFailsFast) {
  Bytes jpeg = Pictures().Quadrants("", "huge.jpg");
  const auto frame = std::adjacent_find(jpeg.begin(), jpeg.end(), [](auto a, auto b) {
    return a == 0xFF && (b == 0xC0 || b == 0xC2);
  });
  ASSERT_NE(frame, jpeg.end());
  const auto at = static_cast<std::size_t>(frame - jpeg.begin());
  PutBigEndian(jpeg, at + 5, 60000, 2);  // height
  PutBigEndian(jpeg, at + 7, 60000, 2);  // width
  MemoryByteSource source(jpeg);
  CollectingSink sink;
  const DecodeOutcome outcome = DecodeJpeg(source, sink, DecodeRequest{});
  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(outcome.reason, "picture too large (60000 x 60000)");
  EXPECT_FALSE(sink.begun());
}

TEST(HugeDeclaredSize, PngHeaderFailsFast) {
  Bytes png = Pictures().Quadrants("", "huge.png");
  PutBigEndian(png, 16, 100000, 4);
  PutBigEndian(png, 20, 100000, 4);
  PutBigEndian(png, 29, Crc32(png.data() + 12, 17), 4);
  MemoryByteSource source(png);
  CollectingSink sink;
  const DecodeOutcome outcome = DecodePng(source, sink, DecodeRequest{});
  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(outcome.reason, "picture too large (100000 x 100000)");
  EXPECT_FALSE(sink.begun());
}

TEST(HugeDeclaredSize, GifScreenFailsFast) {
  Bytes gif = Pictures().Quadrants("", "huge.gif");
  for (std::size_t at : {6u, 8u}) gif[at] = gif[at + 1] = 0xFF;
  MemoryByteSource source(gif);
  CollectingSink sink;
  const DecodeOutcome outcome = DecodeGif(source, sink, DecodeRequest{});
  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(outcome.reason, "picture too large (65535 x 65535)");
  EXPECT_FALSE(sink.begun());
}

struct CrcCase {
  const char* label;
  const char* chunk;
  std::size_t offset_in_data;
};

class PngChecksum : public ::testing::TestWithParam<CrcCase> {};

TEST_P(PngChecksum, DamagedChunkIsCorruptData) {
  const CrcCase& test = GetParam();
  Bytes png = Pictures().Make("-seed 3 -size 128x64 plasma:fractal", "crc.png");
  const auto chunk = std::search(png.begin(), png.end(), test.chunk, test.chunk + 4);
  ASSERT_NE(chunk, png.end());
  png[static_cast<std::size_t>(chunk - png.begin()) + 4 + test.offset_in_data] ^= 0x5A;
  MemoryByteSource source(png);
  CollectingSink sink;
  const DecodeOutcome outcome = DecodePng(source, sink, DecodeRequest{});
  EXPECT_NE(outcome.status, DecodeStatus::kOk);
  EXPECT_EQ(outcome.reason, "corrupt PNG data");
  EXPECT_EQ(sink.misplaced(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Chunks, PngChecksum,
                         ::testing::Values(CrcCase{"header", "IHDR", 9},
                                           CrcCase{"image_data", "IDAT", 200}),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
