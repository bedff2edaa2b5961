// The DC-only decode of baseline JPEG scans at 1/8 scale, on files made by
// libjpeg-turbo's compressor: the pixels the blocks' DC values call for
// (read back through libjpeg-turbo's coefficient API) and close to
// libjpeg-turbo's own 1/8 decode; the same pixels on one thread and two
// wherever the second thread starts; the libjpeg-turbo path for the files
// the DC decoder does not take; the same outcome as that path on damaged
// data; and the scale chosen for a shown size.
#include <gtest/gtest.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "jpeg_writer.h"
#include "picture/jpeg_decoder.h"
#include "picture/jpeg_progressive_dc.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

// A decoded picture, R G B A a pixel, rows top to bottom.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes rgba;
};

std::uint32_t Eighth(std::uint32_t length) {
  return (length + 7) / 8;
}

// ---- libjpeg-turbo, called directly -------------------------------------

// The blocks' DC values of one component, dequantized (times the
// quantizer), in rows of blocks.
struct DcComponent {
  int h_samples = 1;
  int v_samples = 1;
  std::uint32_t blocks_across = 0;
  std::vector<int> dc;
};

struct ReadJob {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf escape{};
  // What RunDcRead found.
  int max_h_samples = 1;
  int max_v_samples = 1;
  std::vector<DcComponent> components;
};

[[noreturn]] void EscapeOnError(j_common_ptr info) {
  std::longjmp(static_cast<ReadJob*>(info->client_data)->escape, 1);
}

void IgnoreMessage(j_common_ptr) {}

void StartReading(ReadJob& job, const Bytes& file) {
  job.info.err = jpeg_std_error(&job.errors);
  job.errors.error_exit = EscapeOnError;
  job.errors.output_message = IgnoreMessage;
  job.info.client_data = &job;
  jpeg_create_decompress(&job.info);
  jpeg_mem_src(&job.info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&job.info, TRUE);
}

// libjpeg-turbo's decode at scale_num / 8, as RGBA.
bool RunLibjpegDecode(ReadJob& job, const Bytes& file, unsigned scale_num, Picture& out) {
  if (setjmp(job.escape) != 0) {
    jpeg_destroy_decompress(&job.info);
    return false;
  }
  StartReading(job, file);
  job.info.scale_num = scale_num;
  job.info.scale_denom = 8;
  job.info.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&job.info);
  out.width = job.info.output_width;
  out.height = job.info.output_height;
  out.rgba.assign(std::size_t{out.width} * out.height * 4, 0);
  while (job.info.output_scanline < job.info.output_height) {
    JSAMPROW row = out.rgba.data() + std::size_t{job.info.output_scanline} * out.width * 4;
    jpeg_read_scanlines(&job.info, &row, 1);
  }
  jpeg_finish_decompress(&job.info);
  jpeg_destroy_decompress(&job.info);
  return true;
}

// Reads every block's DC value through libjpeg-turbo's coefficient API.
bool RunDcRead(ReadJob& job, const Bytes& file) {
  if (setjmp(job.escape) != 0) {
    jpeg_destroy_decompress(&job.info);
    return false;
  }
  StartReading(job, file);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&job.info);
  job.max_h_samples = job.info.max_h_samp_factor;
  job.max_v_samples = job.info.max_v_samp_factor;
  job.components.resize(static_cast<std::size_t>(job.info.num_components));
  for (int c = 0; c < job.info.num_components; ++c) {
    const jpeg_component_info& component = job.info.comp_info[c];
    DcComponent& out = job.components[static_cast<std::size_t>(c)];
    out.h_samples = component.h_samp_factor;
    out.v_samples = component.v_samp_factor;
    out.blocks_across = component.width_in_blocks;
    out.dc.assign(std::size_t{component.width_in_blocks} * component.height_in_blocks, 0);
    const int quantizer = component.quant_table->quantval[0];
    for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
      JBLOCKARRAY blocks = (*job.info.mem->access_virt_barray)(
          reinterpret_cast<j_common_ptr>(&job.info), arrays[c], row, 1, FALSE);
      for (JDIMENSION column = 0; column < component.width_in_blocks; ++column)
        out.dc[std::size_t{row} * out.blocks_across + column] = blocks[0][column][0] * quantizer;
    }
  }
  jpeg_finish_decompress(&job.info);
  jpeg_destroy_decompress(&job.info);
  return true;
}

Picture LibjpegDecode(const Bytes& file, unsigned scale_num) {
  auto job = std::make_unique<ReadJob>();
  Picture picture;
  if (!RunLibjpegDecode(*job, file, scale_num, picture))
    ADD_FAILURE() << "libjpeg-turbo could not decode the file";
  return picture;
}

std::uint8_t ToSample(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// The 1/8 picture the DC values call for: each pixel takes the DC value of
// every component's block that covers it, as sample = ((dc * q + 4) >> 3)
// + 128, then JFIF YCbCr to RGB in double precision (a decoder working in
// fixed point may differ by one).
Picture DcPicture(const Bytes& file) {
  auto job = std::make_unique<ReadJob>();
  Picture picture;
  if (!RunDcRead(*job, file)) {
    ADD_FAILURE() << "libjpeg-turbo could not read the coefficients";
    return picture;
  }
  picture.width = Eighth(job->info.image_width);
  picture.height = Eighth(job->info.image_height);
  picture.rgba.assign(std::size_t{picture.width} * picture.height * 4, 255);
  const auto sample = [&job](std::size_t c, std::uint32_t x, std::uint32_t y) {
    const DcComponent& component = job->components[c];
    const std::uint32_t column = x * static_cast<std::uint32_t>(component.h_samples) /
                                 static_cast<std::uint32_t>(job->max_h_samples);
    const std::uint32_t row = y * static_cast<std::uint32_t>(component.v_samples) /
                              static_cast<std::uint32_t>(job->max_v_samples);
    const int dc = component.dc.at(std::size_t{row} * component.blocks_across + column);
    return std::clamp(((dc + 4) >> 3) + 128, 0, 255);
  };
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      std::uint8_t* pixel = picture.rgba.data() + (std::size_t{y} * picture.width + x) * 4;
      const int luma = sample(0, x, y);
      if (job->components.size() == 1) {
        pixel[0] = pixel[1] = pixel[2] = static_cast<std::uint8_t>(luma);
        continue;
      }
      const double cb = sample(1, x, y) - 128.0;
      const double cr = sample(2, x, y) - 128.0;
      pixel[0] = ToSample(luma + 1.402 * cr);
      pixel[1] = ToSample(luma - 0.344136 * cb - 0.714136 * cr);
      pixel[2] = ToSample(luma + 1.772 * cb);
    }
  }
  return picture;
}

// ---- the decoder under test ---------------------------------------------

Picture PixelsOf(const CollectingSink& sink) {
  Picture picture;
  picture.width = sink.width();
  picture.height = sink.height();
  picture.rgba.reserve(std::size_t{picture.width} * picture.height * 4);
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const Rgba colour = sink.At(x, y);
      picture.rgba.insert(picture.rgba.end(), colour.begin(), colour.end());
    }
  }
  return picture;
}

struct Decoded {
  DecodeOutcome outcome;
  JpegReport report;
  CollectingSink sink;

  Picture Pixels() const { return PixelsOf(sink); }
};

DecodeRequest EighthScale() {
  DecodeRequest request;
  request.target_width = 1;
  request.target_height = 1;
  return request;
}

std::unique_ptr<Decoded> Decode(const Bytes& file, const JpegOptions& options,
                                const DecodeRequest& request = EighthScale()) {
  auto decoded = std::make_unique<Decoded>();
  MemoryByteSource source(file);
  decoded->outcome = DecodeJpegWith(source, decoded->sink, request, options, &decoded->report);
  return decoded;
}

JpegOptions DcOn(int threads, double split = 0.5) {
  JpegOptions options;
  options.dc_scan = true;
  options.dc_scan_options.threads = threads;
  options.dc_scan_options.min_parallel_bytes = 0;
  options.dc_scan_options.split = split;
  return options;
}

JpegOptions DcOff() {
  JpegOptions options;
  options.dc_scan = false;
  return options;
}

const char* StatusName(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::kOk:
      return "ok";
    case DecodeStatus::kTruncated:
      return "truncated";
    case DecodeStatus::kFailed:
      return "failed";
  }
  return "?";
}

// How far apart two pictures are: the largest difference of any channel
// (with where it is) and the mean difference over R, G and B.
struct Difference {
  bool same_size = true;
  int largest = 0;
  double mean = 0;
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  Rgba actual{};
  Rgba expected{};
};

Difference Compare(const Picture& actual, const Picture& expected) {
  Difference difference;
  if (actual.width != expected.width || actual.height != expected.height ||
      actual.rgba.size() != expected.rgba.size()) {
    difference.same_size = false;
    difference.largest = 256;
    return difference;
  }
  double sum = 0;
  for (std::size_t i = 0; i < actual.rgba.size(); ++i) {
    const int gap = std::abs(int{actual.rgba[i]} - int{expected.rgba[i]});
    if (i % 4 != 3) sum += gap;
    if (gap > difference.largest) {
      const std::size_t pixel = i / 4;
      difference.largest = gap;
      difference.x = static_cast<std::uint32_t>(pixel % actual.width);
      difference.y = static_cast<std::uint32_t>(pixel / actual.width);
      std::copy_n(actual.rgba.begin() + static_cast<long>(pixel * 4), 4, difference.actual.begin());
      std::copy_n(expected.rgba.begin() + static_cast<long>(pixel * 4), 4,
                  difference.expected.begin());
    }
  }
  if (!actual.rgba.empty()) difference.mean = sum / static_cast<double>(actual.rgba.size() / 4 * 3);
  return difference;
}

std::string SizeOf(const Picture& picture) {
  return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

std::string Explain(const Difference& difference, const Picture& actual, const Picture& expected) {
  if (!difference.same_size) return "sizes differ: " + SizeOf(actual) + " vs " + SizeOf(expected);
  return "largest difference " + std::to_string(difference.largest) + " at (" +
         std::to_string(difference.x) + ", " + std::to_string(difference.y) +
         "): " + Describe(difference.actual) + " vs " + Describe(difference.expected) +
         "; mean difference " + std::to_string(difference.mean);
}

// Files are made once per binary run.
const Bytes& Encoded(const std::string& key, const TestPictureRecipe& recipe,
                     const JpegWriterOptions& writer) {
  static std::map<std::string, Bytes> files;
  auto found = files.find(key);
  if (found == files.end())
    found = files.emplace(key, EncodeJpeg(MakeTestPicture(recipe), writer)).first;
  return found->second;
}

TestPictureRecipe Recipe(std::uint32_t width, std::uint32_t height, int channels, int noise = 12,
                         bool saturated = false, bool waves = true) {
  TestPictureRecipe recipe;
  recipe.waves = waves;
  recipe.width = width;
  recipe.height = height;
  recipe.channels = channels;
  recipe.noise = noise;
  recipe.saturated = saturated;
  recipe.seed = width * 31 + height;
  return recipe;
}

JpegWriterOptions Writer(JpegColour colour, JpegSampling sampling, unsigned restart_interval = 0,
                         int quality = 85, bool optimize_coding = false) {
  JpegWriterOptions writer;
  writer.colour = colour;
  writer.sampling = sampling;
  writer.restart_interval = restart_interval;
  writer.quality = quality;
  writer.optimize_coding = optimize_coding;
  return writer;
}

JpegWriterOptions Grey(unsigned restart_interval = 0, int quality = 85) {
  return Writer(JpegColour::kGrey, k444, restart_interval, quality);
}

JpegWriterOptions Ycc(JpegSampling sampling, unsigned restart_interval = 0, int quality = 85,
                      bool optimize_coding = false) {
  return Writer(JpegColour::kYCbCr, sampling, restart_interval, quality, optimize_coding);
}

// ---- a. the pixels, b. one thread and two ----------------------------------

// How close the DC decoder's pixels must be to libjpeg-turbo's own 1/8
// decode: the largest channel difference and the mean difference.
struct Tolerance {
  int largest;
  double mean;
};

// Grey pictures, and luma generally: the same formula on both sides.
constexpr Tolerance kExact{0, 0.0};
// libjpeg-turbo replicates chroma samples here too (4:4:4, 4:2:2, 4:1:1,
// 4:4:0 at 1/8): only the colour conversion's rounding may differ.
constexpr Tolerance kRounding{1, 0.5};
// With 4:2:0 libjpeg-turbo builds chroma from a 2x2 transform of each
// block, which follows gradients and noise the DC value averages out.
constexpr Tolerance kInterpolated{12, 3.0};
// Pictures of a block or two: a partial block's DC value averages the
// encoder's edge padding as well, libjpeg-turbo's 2x2 transform mostly not.
// Only the DC values are checked.
constexpr Tolerance kNotCompared{-1, 0.0};

struct DcCase {
  const char* label;
  TestPictureRecipe picture;
  JpegWriterOptions writer;
  Tolerance libjpeg;
};

const DcCase kDcCases[] = {
    {"grey_384x256", Recipe(384, 256, 1), Grey(), kExact},
    {"grey_1001x667_restart_7", Recipe(1001, 667, 1), Grey(7), kExact},
    // One component with 2x2 factors: still one block an MCU.
    {"grey_2x2_factors_257x129", Recipe(257, 129, 1), Writer(JpegColour::kGrey, k420), kExact},
    {"grey_2x2_factors_restart_5_257x129", Recipe(257, 129, 1), Writer(JpegColour::kGrey, k420, 5),
     kExact},
    {"grey_9x17", Recipe(9, 17, 1), Grey(), kExact},
    // Quantizers of 1 (DC values up to +-1024) and of the largest kind,
    // with black and white squares: samples beyond 0 and 255 are clamped.
    {"grey_saturated_quality_100_256x256", Recipe(256, 256, 1, 12, true), Grey(0, 100), kExact},
    {"grey_saturated_quality_3_256x256", Recipe(256, 256, 1, 12, true), Grey(0, 3), kExact},
    {"ycc444_384x256", Recipe(384, 256, 3), Ycc(k444), kRounding},
    {"ycc422_384x256", Recipe(384, 256, 3), Ycc(k422), kRounding},
    {"ycc420_384x256", Recipe(384, 256, 3), Ycc(k420), kInterpolated},
    {"ycc411_384x256", Recipe(384, 256, 3), Ycc(k411), kRounding},
    {"ycc440_320x240", Recipe(320, 240, 3), Ycc(k440), kRounding},
    // Gradients alone: 4:2:0 chroma barely changes within a block.
    {"ycc420_smooth_640x480", Recipe(640, 480, 3, 0, false, false), Ycc(k420), Tolerance{5, 1.0}},
    {"ycc420_1001x667", Recipe(1001, 667, 3), Ycc(k420), kInterpolated},
    {"ycc422_257x129", Recipe(257, 129, 3), Ycc(k422), kRounding},
    {"ycc411_257x129", Recipe(257, 129, 3), Ycc(k411), kRounding},
    {"ycc420_8x8", Recipe(8, 8, 3), Ycc(k420), kNotCompared},
    {"ycc420_9x17", Recipe(9, 17, 3), Ycc(k420), kNotCompared},
    {"ycc444_1x1", Recipe(1, 1, 3), Ycc(k444), kRounding},
    {"ycc420_restart_1_320x240", Recipe(320, 240, 3), Ycc(k420, 1), kInterpolated},
    {"ycc420_restart_7_1001x667", Recipe(1001, 667, 3), Ycc(k420, 7), kInterpolated},
    {"ycc422_restart_64_384x256", Recipe(384, 256, 3), Ycc(k422, 64), kRounding},
    {"ycc411_restart_5_257x129", Recipe(257, 129, 3), Ycc(k411, 5), kRounding},
    {"ycc420_optimized_384x256", Recipe(384, 256, 3), Ycc(k420, 0, 85, true), kInterpolated},
    {"ycc420_optimized_restart_3_257x129", Recipe(257, 129, 3), Ycc(k420, 3, 85, true),
     kInterpolated},
    {"ycc444_quality_100_256x256", Recipe(256, 256, 3), Ycc(k444, 0, 100), kRounding},
    {"ycc420_saturated_384x256", Recipe(384, 256, 3, 12, true), Ycc(k420, 0, 90), kInterpolated},
    {"ycc420_saturated_quality_3_320x240", Recipe(320, 240, 3, 12, true), Ycc(k420, 0, 3),
     kInterpolated},
};

void PrintTo(const DcCase& test, std::ostream* out) {
  *out << test.label;
}

class DcScanPicture : public ::testing::TestWithParam<DcCase> {
 protected:
  const Bytes& File() const {
    return Encoded(GetParam().label, GetParam().picture, GetParam().writer);
  }
};

TEST_P(DcScanPicture, GivesTheDcValuesPixels) {
  const DcCase& test = GetParam();
  const Bytes& file = File();
  const auto decoded = Decode(file, DcOn(1));
  ASSERT_EQ(decoded->outcome.status, DecodeStatus::kOk) << decoded->outcome.reason;
  EXPECT_TRUE(decoded->report.dc_scan_used);
  EXPECT_FALSE(decoded->report.dc_scan.parallel);
  EXPECT_EQ(decoded->sink.misplaced(), 0u);
  EXPECT_EQ(decoded->sink.orientation(), 1);
  const Picture actual = decoded->Pixels();
  EXPECT_EQ(actual.width, Eighth(test.picture.width));
  EXPECT_EQ(actual.height, Eighth(test.picture.height));
  EXPECT_EQ(decoded->sink.DeliveredPixels(), std::uint64_t{actual.width} * actual.height);

  const Picture expected = DcPicture(file);
  const Difference from_dc = Compare(actual, expected);
  EXPECT_LE(from_dc.largest, test.picture.channels == 1 ? 0 : 1)
      << "against the DC values: " << Explain(from_dc, actual, expected);

  const Picture reference = LibjpegDecode(file, 1);
  if (test.libjpeg.largest >= 0) {
    const Difference from_libjpeg = Compare(actual, reference);
    EXPECT_LE(from_libjpeg.largest, test.libjpeg.largest)
        << "against libjpeg-turbo at 1/8: " << Explain(from_libjpeg, actual, reference);
    EXPECT_LE(from_libjpeg.mean, test.libjpeg.mean)
        << "against libjpeg-turbo at 1/8: " << Explain(from_libjpeg, actual, reference);
  }

  // Without the DC decoder the same request is libjpeg-turbo's decode.
  const Picture without = Decode(file, DcOff())->Pixels();
  const Difference off = Compare(without, reference);
  EXPECT_EQ(off.largest, 0) << "without the DC decoder: " << Explain(off, without, reference);
}

TEST_P(DcScanPicture, SameOnOneThreadAndTwoWhereverTheSecondStarts) {
  const Bytes& file = File();
  const auto one = Decode(file, DcOn(1));
  ASSERT_EQ(one->outcome.status, DecodeStatus::kOk) << one->outcome.reason;
  ASSERT_TRUE(one->report.dc_scan_used);
  const Picture single = one->Pixels();
  for (const double split : {0.0, 0.001, 0.05, 0.3, 0.5, 0.77, 0.95, 0.999, 1.0}) {
    SCOPED_TRACE("split " + std::to_string(split));
    const auto two = Decode(file, DcOn(2, split));
    ASSERT_EQ(two->outcome.status, DecodeStatus::kOk) << two->outcome.reason;
    EXPECT_TRUE(two->report.dc_scan_used);
    EXPECT_EQ(two->sink.misplaced(), 0u);
    const Picture actual = two->Pixels();
    const Difference difference = Compare(actual, single);
    EXPECT_EQ(difference.largest, 0) << Explain(difference, actual, single);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DcScanPicture, ::testing::ValuesIn(kDcCases),
                         [](const auto& test) { return std::string(test.param.label); });

// ---- b. the second thread's blocks are used ------------------------------

struct JoinCase {
  const char* label;
  TestPictureRecipe picture;
  JpegWriterOptions writer;
  std::uint64_t mcus;  // in the scan
};

void PrintTo(const JoinCase& test, std::ostream* out) {
  *out << test.label;
}

constexpr std::uint64_t Mcus(std::uint32_t width, std::uint32_t height, int mcu_width,
                             int mcu_height) {
  return std::uint64_t{(width + static_cast<std::uint32_t>(mcu_width) - 1) /
                       static_cast<std::uint32_t>(mcu_width)} *
         ((height + static_cast<std::uint32_t>(mcu_height) - 1) /
          static_cast<std::uint32_t>(mcu_height));
}

const JoinCase kJoinCases[] = {
    {"ycc420_noisy_1500x1000", Recipe(1500, 1000, 3, 16), Ycc(k420, 0, 75),
     Mcus(1500, 1000, 16, 16)},
    {"ycc420_restart_16_1200x800", Recipe(1200, 800, 3, 12), Ycc(k420, 16, 75),
     Mcus(1200, 800, 16, 16)},
    {"grey_1504x1000", Recipe(1504, 1000, 1, 16), Grey(0, 75), Mcus(1504, 1000, 8, 8)},
};

class DcScanJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(DcScanJoin, SecondThreadsBlocksAreUsedFromTheMiddle) {
  const JoinCase& test = GetParam();
  const Bytes& file = Encoded(test.label, test.picture, test.writer);
  const auto two = Decode(file, DcOn(2, 0.5));
  ASSERT_EQ(two->outcome.status, DecodeStatus::kOk) << two->outcome.reason;
  ASSERT_TRUE(two->report.dc_scan_used);
  EXPECT_TRUE(two->report.dc_scan.parallel);
  EXPECT_TRUE(two->report.dc_scan.joined);
  // The first thread stopped where it met the second. (Where that is
  // depends on how the threads were scheduled.)
  EXPECT_LT(two->report.dc_scan.first_thread_mcus, test.mcus);

  const auto one = Decode(file, DcOn(1));
  ASSERT_EQ(one->outcome.status, DecodeStatus::kOk) << one->outcome.reason;
  const Picture actual = two->Pixels();
  const Picture single = one->Pixels();
  const Difference difference = Compare(actual, single);
  EXPECT_EQ(difference.largest, 0) << Explain(difference, actual, single);
  EXPECT_EQ(two->sink.misplaced(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, DcScanJoin, ::testing::ValuesIn(kJoinCases),
                         [](const auto& test) { return std::string(test.param.label); });

TEST(DcScanThreads, SmallScansAndOneThreadStayOnTheCallingThread) {
  const Bytes& file = Encoded("threads_ycc420_640x480", Recipe(640, 480, 3), Ycc(k420));
  ASSERT_LT(file.size(), std::size_t{1} << 20);
  const auto defaults = Decode(file, JpegOptions{});  // a second thread from 1 MiB
  ASSERT_EQ(defaults->outcome.status, DecodeStatus::kOk) << defaults->outcome.reason;
  EXPECT_TRUE(defaults->report.dc_scan_used);
  EXPECT_FALSE(defaults->report.dc_scan.parallel);
  const auto one = Decode(file, DcOn(1));
  EXPECT_FALSE(one->report.dc_scan.parallel);

  // DecodeJpeg is DecodeJpegWith with the default options.
  MemoryByteSource source(file);
  CollectingSink sink;
  ASSERT_EQ(DecodeJpeg(source, sink, EighthScale()).status, DecodeStatus::kOk);
  const Picture expected = defaults->Pixels();
  const Picture actual = PixelsOf(sink);
  const Difference difference = Compare(actual, expected);
  EXPECT_EQ(difference.largest, 0) << Explain(difference, actual, expected);
}

// ---- c. files the DC decoder leaves to libjpeg-turbo ---------------------

enum class Path { kLibjpeg, kEither };

struct FallbackCase {
  const char* label;
  TestPictureRecipe picture;
  JpegWriterOptions writer;
  std::uint32_t target_width, target_height;
  Path path;
};

void PrintTo(const FallbackCase& test, std::ostream* out) {
  *out << test.label;
}

JpegWriterOptions Progressive(JpegWriterOptions writer) {
  writer.progressive = true;
  return writer;
}
JpegWriterOptions Arithmetic(JpegWriterOptions writer) {
  writer.arithmetic = true;
  return writer;
}
JpegWriterOptions ScanPerComponent(JpegWriterOptions writer) {
  writer.scan_per_component = true;
  return writer;
}

const FallbackCase kFallbackCases[] = {
    // Progressive, but at 2/8: libjpeg-turbo holds its coefficients.
    {"progressive_quarter_scale_ycc420", Recipe(320, 240, 3), Progressive(Ycc(k420)), 80, 60,
     Path::kLibjpeg},
    {"arithmetic_progressive_ycc420", Recipe(320, 240, 3), Arithmetic(Progressive(Ycc(k420))), 1, 1,
     Path::kLibjpeg},
    {"arithmetic_ycc420", Recipe(320, 240, 3), Arithmetic(Ycc(k420)), 1, 1, Path::kLibjpeg},
    {"arithmetic_grey_restart_7", Recipe(320, 240, 1), Arithmetic(Grey(7)), 1, 1, Path::kLibjpeg},
    {"scan_per_component_ycc420", Recipe(320, 240, 3), ScanPerComponent(Ycc(k420)), 1, 1,
     Path::kLibjpeg},
    {"cmyk", Recipe(320, 240, 3), Writer(JpegColour::kCmyk, k444), 1, 1, Path::kLibjpeg},
    // Stored as R G B: the DC decoder may take it, but the colours must not
    // go through a YCbCr conversion.
    {"rgb_components", Recipe(320, 240, 3), Writer(JpegColour::kRgb, k444), 1, 1, Path::kEither},
    // 1/8 gives 40 x 30; 2/8 is the first to cover.
    {"quarter_scale_ycc420", Recipe(320, 240, 3), Ycc(k420), 80, 60, Path::kLibjpeg},
    // 40 x 30 keeps only 40 of 50 columns' detail: not 7/8.
    {"quarter_scale_not_seven_eighths", Recipe(320, 240, 3), Ycc(k420), 50, 30, Path::kLibjpeg},
    {"full_scale_grey", Recipe(160, 96, 1), Grey(), 160, 96, Path::kLibjpeg},
};

class DcScanFallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(DcScanFallback, DecodesAsLibjpegTurboDoes) {
  const FallbackCase& test = GetParam();
  const Bytes& file = Encoded(std::string("fallback_") + test.label, test.picture, test.writer);
  DecodeRequest request;
  request.target_width = test.target_width;
  request.target_height = test.target_height;
  const auto with = Decode(file, DcOn(2, 0.5), request);
  const auto without = Decode(file, DcOff(), request);
  ASSERT_EQ(without->outcome.status, DecodeStatus::kOk) << without->outcome.reason;
  ASSERT_EQ(with->outcome.status, DecodeStatus::kOk) << with->outcome.reason;
  if (test.path == Path::kLibjpeg) {
    EXPECT_FALSE(with->report.dc_scan_used);
  }
  EXPECT_EQ(with->sink.misplaced(), 0u);
  const Picture actual = with->Pixels();
  const Picture expected = without->Pixels();
  const Difference difference = Compare(actual, expected);
  EXPECT_EQ(difference.largest, 0) << Explain(difference, actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, DcScanFallback, ::testing::ValuesIn(kFallbackCases),
                         [](const auto& test) { return std::string(test.param.label); });

// ---- d. damaged files ------------------------------------------------------

struct DamageCase {
  const char* label;
  TestPictureRecipe picture;
  JpegWriterOptions writer;
};

void PrintTo(const DamageCase& test, std::ostream* out) {
  *out << test.label;
}

const DamageCase kDamageCases[] = {
    {"ycc420_256x160", Recipe(256, 160, 3), Ycc(k420)},
    {"ycc420_restart_7_256x160", Recipe(256, 160, 3), Ycc(k420, 7)},
    {"ycc422_restart_3_257x129", Recipe(257, 129, 3), Ycc(k422, 3)},
    {"ycc411_optimized_300x100", Recipe(300, 100, 3), Ycc(k411, 0, 85, true)},
    {"grey_restart_2_256x160", Recipe(256, 160, 1), Grey(2)},
    {"grey_256x160", Recipe(256, 160, 1), Grey()},
};

// Where the scan's entropy-coded data lies: from just after the SOS
// segment to the EOI marker.
struct EntropyData {
  std::size_t begin = 0;
  std::size_t end = 0;
};

EntropyData FindEntropyData(const Bytes& file) {
  EntropyData data;
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const std::uint8_t marker = file[at + 1];
    const std::size_t length = (std::size_t{file[at + 2]} << 8) | file[at + 3];
    at += 2 + length;
    if (marker == 0xDA) {
      data.begin = at;
      break;
    }
  }
  data.end = file.size() - 2;
  EXPECT_GT(data.begin, 0u);
  EXPECT_EQ(file[data.end], 0xFF);
  EXPECT_EQ(file[data.end + 1], 0xD9);
  return data;
}

struct Damaged {
  std::string what;
  Bytes file;
};

std::vector<Damaged> DamagedCopies(const Bytes& file) {
  const EntropyData data = FindEntropyData(file);
  const std::size_t length = data.end - data.begin;
  std::vector<Damaged> copies;
  const auto cut = [&](std::size_t at) {
    copies.push_back({"cut at " + std::to_string(at),
                      Bytes(file.begin(), file.begin() + static_cast<long>(at))});
  };
  for (std::size_t i = 0; i < 20; ++i) cut(data.begin + length * i / 20);
  for (std::size_t back = 1; back <= 4; ++back) cut(data.end - back);
  cut(data.end);      // just before EOI
  cut(data.end + 1);  // inside EOI

  std::vector<std::size_t> places;
  for (std::size_t i = 0; i < 14; ++i) places.push_back(data.begin + length * i / 14 + i % 5);
  // Around the middle, where the second thread starts.
  for (std::size_t i = 0; i < 3; ++i) places.push_back(data.begin + length / 2 - 1 + i);
  for (const std::size_t at : places) {
    if (at + 2 >= data.end) continue;
    const std::string where = " at " + std::to_string(at);
    const auto changed = [&](const std::string& what, auto change) {
      Bytes copy = file;
      change(copy);
      copies.push_back({what + where, std::move(copy)});
    };
    changed("low bit flipped", [at](Bytes& copy) { copy[at] ^= 0x01; });
    changed("high bit flipped", [at](Bytes& copy) { copy[at] ^= 0x80; });
    changed("byte set to FF", [at](Bytes& copy) { copy[at] = 0xFF; });
    changed("FF D3 written", [at](Bytes& copy) {
      copy[at] = 0xFF;
      copy[at + 1] = 0xD3;
    });
    changed("FF D3 inserted", [at](Bytes& copy) {
      copy.insert(copy.begin() + static_cast<long>(at), {std::uint8_t{0xFF}, std::uint8_t{0xD3}});
    });
    changed("FF D9 inserted", [at](Bytes& copy) {
      copy.insert(copy.begin() + static_cast<long>(at), {std::uint8_t{0xFF}, std::uint8_t{0xD9}});
    });
  }
  // A restart marker numbered out of turn, in each half: the second thread
  // must notice it as the first thread does.
  std::vector<std::size_t> restarts;
  for (std::size_t at = data.begin; at + 1 < data.end; ++at) {
    if (file[at] == 0xFF && (file[at + 1] & 0xF8) == 0xD0) restarts.push_back(at);
  }
  for (const std::size_t pick : {restarts.size() / 4, restarts.size() * 3 / 4}) {
    if (pick >= restarts.size()) continue;
    const std::size_t at = restarts[pick];
    Bytes copy = file;
    copy[at + 1] = static_cast<std::uint8_t>(0xD0 + (copy[at + 1] - 0xD0 + 1) % 8);
    copies.push_back({"restart marker renumbered at " + std::to_string(at), std::move(copy)});
  }
  return copies;
}

// Decodes `file` without the DC decoder, and with it on one thread and on
// two, and lists how the latter differ from the former where they must not:
// the outcome, the size, where pixels went; the pixels themselves when the
// DC decoder declined, and when it took the file, the DC values
// libjpeg-turbo reads from it (within `tolerance`); one thread and two
// alike. Empty when all is well; `dc_used` says whether the DC decoder took
// the file.
std::string ProblemsAgainstLibjpegAlone(const Bytes& file, double split, int tolerance,
                                        bool& dc_used) {
  const auto off = Decode(file, DcOff());
  const auto one = Decode(file, DcOn(1));
  const auto two = Decode(file, DcOn(2, split));
  const Picture plain = off->Pixels();
  Picture read_back;
  std::string problems;
  const auto check = [&problems](bool fine, const std::string& problem) {
    if (!fine) problems += "\n    " + problem;
  };
  for (const auto* decoded : {one.get(), two.get()}) {
    const std::string name = decoded == one.get() ? "one thread: " : "two threads: ";
    const DecodeStatus status = decoded->outcome.status;
    check(status == off->outcome.status,
          name + StatusName(status) + " (" + decoded->outcome.reason +
              "), without: " + StatusName(off->outcome.status) + " (" + off->outcome.reason + ")");
    check(
        status != off->outcome.status || decoded->outcome.reason == off->outcome.reason,
        name + "reason '" + decoded->outcome.reason + "', without: '" + off->outcome.reason + "'");
    check(decoded->sink.misplaced() == 0, name + "pixels misplaced");
    if (status != DecodeStatus::kFailed && off->outcome.status != DecodeStatus::kFailed) {
      check(decoded->sink.width() == off->sink.width() &&
                decoded->sink.height() == off->sink.height(),
            name + "size " + std::to_string(decoded->sink.width()) + "x" +
                std::to_string(decoded->sink.height()) + ", without: " +
                std::to_string(off->sink.width()) + "x" + std::to_string(off->sink.height()));
    }
    if (status == DecodeStatus::kOk) {
      check(decoded->sink.DeliveredPixels() ==
                std::uint64_t{decoded->sink.width()} * decoded->sink.height(),
            name + "ok with pixels missing");
    }
    if (!decoded->report.dc_scan_used) {
      const Picture actual = decoded->Pixels();
      const Difference difference = Compare(actual, plain);
      check(difference.largest == 0, name + "declined, yet not libjpeg-turbo's pixels: " +
                                         Explain(difference, actual, plain));
    } else if (status == DecodeStatus::kOk && off->outcome.status == DecodeStatus::kOk) {
      // Data the DC decoder takes as a whole scan is a scan: libjpeg-turbo
      // reads the same DC values from it.
      if (read_back.rgba.empty()) read_back = DcPicture(file);
      const Picture actual = decoded->Pixels();
      const Difference difference = Compare(actual, read_back);
      check(difference.largest <= tolerance, name + "not the DC values libjpeg-turbo reads: " +
                                                 Explain(difference, actual, read_back));
    }
  }
  check(one->report.dc_scan_used == two->report.dc_scan_used,
        std::string("DC decoder used on one thread: ") + (one->report.dc_scan_used ? "yes" : "no") +
            ", on two: " + (two->report.dc_scan_used ? "yes" : "no"));
  if (one->report.dc_scan_used && two->report.dc_scan_used) {
    const Picture single = one->Pixels();
    const Picture actual = two->Pixels();
    const Difference difference = Compare(actual, single);
    check(difference.largest == 0,
          "two threads' pixels differ from one's: " + Explain(difference, actual, single));
  }
  dc_used = one->report.dc_scan_used;
  return problems;
}

class DcScanDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DcScanDamage, SameOutcomeAsLibjpegTurboAlone) {
  const DamageCase& test = GetParam();
  const Bytes& whole = Encoded(std::string("damage_") + test.label, test.picture, test.writer);
  const double splits[] = {0.5, 0.3, 0.8};
  int failures = 0;
  int dc_decodes = 0;
  std::size_t index = 0;
  for (const Damaged& damaged : DamagedCopies(whole)) {
    const double split = splits[index++ % 3];
    bool dc_used = false;
    const std::string problems = ProblemsAgainstLibjpegAlone(
        damaged.file, split, test.picture.channels == 1 ? 0 : 1, dc_used);
    if (dc_used) ++dc_decodes;
    if (!problems.empty()) {
      ADD_FAILURE() << damaged.what << " (split " << split << "):" << problems;
      if (++failures == 10) {
        ADD_FAILURE() << "stopping after 10 damaged files";
        return;
      }
    }
  }
  // How many damaged files the DC decoder still took as a whole scan (a
  // flipped bit that gives valid codes).
  RecordProperty("dc_decodes", dc_decodes);
}

INSTANTIATE_TEST_SUITE_P(Files, DcScanDamage, ::testing::ValuesIn(kDamageCases),
                         [](const auto& test) { return std::string(test.param.label); });

// Headers changed by hand: table numbers out of range, components in
// another order in the scan than in the frame.
struct HeaderCase {
  const char* label;
  bool grey;
  // Offsets in the file: the marker's 0xFF; `change` edits the copy.
  void (*change)(Bytes& file, std::size_t frame, std::size_t scan);
};

void PrintTo(const HeaderCase& test, std::ostream* out) {
  *out << test.label;
}

std::size_t FindMarker(const Bytes& file, std::uint8_t marker) {
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != marker)
    at += 2 + ((std::size_t{file[at + 2]} << 8) | file[at + 3]);
  EXPECT_TRUE(at + 4 <= file.size() && file[at + 1] == marker);
  return at;
}

// In a frame header, component i's selector bytes start at frame + 10 + 3i
// (id, sampling factors, quantizer table); in a scan header at scan + 5 + 2i
// (id, DC table << 4 | AC table).
const HeaderCase kHeaderCases[] = {
    {"scan_dc_table_11", true,
     [](Bytes& file, std::size_t, std::size_t scan) { file[scan + 6] = 0xB0; }},
    {"scan_ac_table_5", true,
     [](Bytes& file, std::size_t, std::size_t scan) { file[scan + 6] = 0x05; }},
    {"scan_tables_15", false,
     [](Bytes& file, std::size_t, std::size_t scan) { file[scan + 8] = 0xFF; }},
    {"frame_quantizer_table_9", true,
     [](Bytes& file, std::size_t frame, std::size_t) { file[frame + 12] = 9; }},
    {"frame_quantizer_table_200", false,
     [](Bytes& file, std::size_t frame, std::size_t) { file[frame + 15] = 200; }},
    // Cr's blocks before Cb's in each MCU: libjpeg-turbo follows the scan.
    {"scan_cr_before_cb", false,
     [](Bytes& file, std::size_t, std::size_t scan) {
       std::swap(file[scan + 7], file[scan + 9]);
       std::swap(file[scan + 8], file[scan + 10]);
     }},
    // The same, with Cb's and Cr's tables told apart.
    {"scan_cr_before_cb_tables_kept", false,
     [](Bytes& file, std::size_t, std::size_t scan) { std::swap(file[scan + 7], file[scan + 9]); }},
    // The DC table's last value size (11, a code the data never uses) made
    // 0xF2: libjpeg-turbo refuses the whole table. (The first table is the
    // DC one; its values follow the class byte and the 16 counts.)
    {"dc_table_value_size_above_15", true,
     [](Bytes& file, std::size_t, std::size_t) {
       file[FindMarker(file, 0xC4) + 4 + 1 + 16 + 11] = 0xF2;
     }},
};

class DcScanHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(DcScanHeader, SameOutcomeAsLibjpegTurboAlone) {
  const HeaderCase& test = GetParam();
  Bytes file = test.grey ? Encoded("header_grey", Recipe(320, 240, 1), Grey())
                         : Encoded("header_ycc444", Recipe(320, 240, 3), Ycc(k444));
  test.change(file, FindMarker(file, 0xC0), FindMarker(file, 0xDA));
  bool dc_used = false;
  const std::string problems = ProblemsAgainstLibjpegAlone(file, 0.5, test.grey ? 0 : 1, dc_used);
  EXPECT_TRUE(problems.empty()) << problems;
}

INSTANTIATE_TEST_SUITE_P(Files, DcScanHeader, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& test) { return std::string(test.param.label); });

// ---- e. the scale for a shown size -----------------------------------------

struct ShownCase {
  const char* label;
  std::uint32_t width, height;  // as stored
  int orientation;
  std::uint32_t target_width, target_height;
  std::uint32_t shown_width, shown_height;
  std::uint32_t expected_width, expected_height;
};

void PrintTo(const ShownCase& test, std::ostream* out) {
  *out << test.label;
}

const ShownCase kShownCases[] = {
    // 6000 x 4000 for 1024 x 512 shown at 816 x 272, a quarter of it:
    // 188 x 125 keeps 7/8 of 204 x 68; with the target as the shown size
    // it does not, and 375 x 250 is the first to cover.
    {"shown_204x68", 1500, 1000, 1, 256, 128, 204, 68, 188, 125},
    {"shown_unset", 1500, 1000, 1, 256, 128, 0, 0, 375, 250},
    // Turned a quarter: the stored height is shown across.
    {"turned_shown_204x68", 1000, 1500, 6, 256, 128, 204, 68, 125, 188},
    {"turned_shown_unset", 1000, 1500, 6, 256, 128, 0, 0, 250, 375},
    // 300 x 100 against 7/8 of the shown size: 2400 >= 342 * 7, 800 >= 114 * 7.
    {"seven_eighths_exactly", 2400, 800, 1, 600, 150, 342, 114, 300, 100},
    {"one_column_short", 2400, 800, 1, 600, 150, 343, 114, 600, 200},
    {"one_row_short", 2400, 800, 1, 600, 150, 342, 115, 600, 200},
    // No shown size: the target must be covered; no eighth less will do.
    {"no_shown_size", 2400, 800, 1, 342, 114, 0, 0, 600, 200},
    {"no_shown_size_three_eighths", 800, 800, 1, 320, 320, 0, 0, 400, 400},
    // A shown size larger than the target: covering the target is enough.
    {"shown_above_target", 2400, 800, 1, 300, 100, 1000, 1000, 300, 100},
    // Rounded-up sizes: 3/8 of 2049 x 1025 is 769 x 385.
    {"odd_size_three_eighths", 2049, 1025, 1, 1024, 512, 878, 439, 769, 385},
};

class DcScanShownSize : public ::testing::TestWithParam<ShownCase> {};

TEST_P(DcScanShownSize, PicksTheSmallestScaleKeepingTheDetail) {
  const ShownCase& test = GetParam();
  static std::map<std::string, Bytes> made;
  const std::string size = std::to_string(test.width) + "x" + std::to_string(test.height);
  auto found = made.find(size);
  if (found == made.end()) {
    found = made.emplace(size, Pictures().Make("-size " + size + " xc:orange -quality 80",
                                               "shown_" + size + ".jpg"))
                .first;
  }
  Bytes file = found->second;
  if (test.orientation != 1)
    file = WithExifSegment(file, TiffWithOrientation(test.orientation, false));
  DecodeRequest request;
  request.target_width = test.target_width;
  request.target_height = test.target_height;
  request.shown_width = test.shown_width;
  request.shown_height = test.shown_height;
  const auto decoded = Decode(file, DcOn(2), request);

  ASSERT_EQ(decoded->outcome.status, DecodeStatus::kOk) << decoded->outcome.reason;
  EXPECT_EQ(decoded->sink.width(), test.expected_width);
  EXPECT_EQ(decoded->sink.height(), test.expected_height);
  EXPECT_EQ(decoded->sink.orientation(), test.orientation);
  EXPECT_EQ(decoded->report.dc_scan_used, test.expected_width == Eighth(test.width) &&
                                              test.expected_height == Eighth(test.height));
  EXPECT_EQ(decoded->sink.DeliveredPixels(),
            std::uint64_t{test.expected_width} * test.expected_height);
  const Rgba orange = {255, 165, 0, 255};
  const Rgba middle = decoded->sink.At(decoded->sink.width() / 2, decoded->sink.height() / 2);
  EXPECT_TRUE(Near(middle, orange, 12)) << Describe(middle);

  // The plain decoder picks the same size.
  MemoryByteSource source(file);
  CollectingSink sink;
  ASSERT_EQ(DecodeJpeg(source, sink, request).status, DecodeStatus::kOk);
  EXPECT_EQ(sink.width(), test.expected_width);
  EXPECT_EQ(sink.height(), test.expected_height);
}

INSTANTIATE_TEST_SUITE_P(Requests, DcScanShownSize, ::testing::ValuesIn(kShownCases),
                         [](const auto& test) { return std::string(test.param.label); });

// ---- f. progressive files ------------------------------------------------

// DC scans of one component and of two, each component's DC values sent in
// two or three parts, between the AC scans.
JpegWriterOptions SplitDcScans(JpegWriterOptions writer) {
  writer.scans = {{{0}, 0, 0, 0, 2},  {{1, 2}, 0, 0, 0, 1}, {{0}, 1, 63, 0, 0}, {{0}, 0, 0, 2, 1},
                  {{1}, 1, 63, 0, 0}, {{1, 2}, 0, 0, 1, 0}, {{0}, 0, 0, 1, 0},  {{2}, 1, 63, 0, 0}};
  return writer;
}

struct ProgressiveCase {
  const char* label;
  TestPictureRecipe picture;
  JpegWriterOptions writer;
  Tolerance libjpeg;
};

void PrintTo(const ProgressiveCase& test, std::ostream* out) {
  *out << test.label;
}

const ProgressiveCase kProgressiveCases[] = {
    {"grey_384x256", Recipe(384, 256, 1), Progressive(Grey()), kExact},
    {"grey_restart_5_1001x667", Recipe(1001, 667, 1), Progressive(Grey(5)), kExact},
    {"ycc420_1001x667", Recipe(1001, 667, 3), Progressive(Ycc(k420)), kInterpolated},
    {"ycc444_384x256", Recipe(384, 256, 3), Progressive(Ycc(k444)), kRounding},
    {"ycc422_restart_7_257x129", Recipe(257, 129, 3), Progressive(Ycc(k422, 7)), kRounding},
    {"ycc420_split_dc_scans_restart_3_321x243", Recipe(321, 243, 3), SplitDcScans(Ycc(k420, 3)),
     kInterpolated},
    {"ycc444_split_dc_scans_257x129", Recipe(257, 129, 3), SplitDcScans(Ycc(k444)), kRounding},
};

class ProgressiveDc : public ::testing::TestWithParam<ProgressiveCase> {};

// The DC values libjpeg-turbo reads from the file, held in one band or in
// many (decoded again from where each starts), and close to libjpeg-turbo's
// own 1/8 decode.
TEST_P(ProgressiveDc, GivesTheDcValuesPixelsInOneBandOrMany) {
  const ProgressiveCase& test = GetParam();
  const Bytes& file = Encoded(std::string("progressive_") + test.label, test.picture, test.writer);
  const Picture expected = DcPicture(file);
  const Picture reference = LibjpegDecode(file, 1);
  for (const std::size_t band_bytes : {kDefaultDcBandBytes, std::size_t{1}, std::size_t{700}}) {
    SCOPED_TRACE("bands of " + std::to_string(band_bytes) + " bytes");
    JpegOptions options = DcOn(1);
    options.dc_band_bytes = band_bytes;
    const auto decoded = Decode(file, options);
    ASSERT_EQ(decoded->outcome.status, DecodeStatus::kOk) << decoded->outcome.reason;
    EXPECT_TRUE(decoded->report.progressive);
    EXPECT_TRUE(decoded->report.dc_scan_used);
    EXPECT_EQ(decoded->report.dc_bands > 1, band_bytes != kDefaultDcBandBytes);
    EXPECT_EQ(decoded->sink.misplaced(), 0u);
    const Picture actual = decoded->Pixels();
    EXPECT_EQ(decoded->sink.DeliveredPixels(), std::uint64_t{actual.width} * actual.height);

    const Difference from_dc = Compare(actual, expected);
    EXPECT_LE(from_dc.largest, test.picture.channels == 1 ? 0 : 1)
        << "against the DC values: " << Explain(from_dc, actual, expected);
    const Difference from_libjpeg = Compare(actual, reference);
    EXPECT_LE(from_libjpeg.largest, test.libjpeg.largest)
        << "against libjpeg-turbo at 1/8: " << Explain(from_libjpeg, actual, reference);
    EXPECT_LE(from_libjpeg.mean, test.libjpeg.mean)
        << "against libjpeg-turbo at 1/8: " << Explain(from_libjpeg, actual, reference);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ProgressiveDc, ::testing::ValuesIn(kProgressiveCases),
                         [](const auto& test) { return std::string(test.param.label); });

// Each scan's header fields that matter here, and where its data starts.
struct ScanStart {
  int ss = 0;
  int ah = 0;
  std::size_t data = 0;
};

std::vector<ScanStart> ScansOf(const Bytes& file) {
  std::vector<ScanStart> scans;
  std::size_t at = 2;
  while (at + 4 <= file.size()) {
    if (file[at] != 0xFF || file[at + 1] == 0x00 || file[at + 1] == 0xFF ||
        (file[at + 1] & 0xF8) == 0xD0) {
      ++at;  // entropy-coded data
      continue;
    }
    if (file[at + 1] == 0xD9) break;
    const std::size_t length = (std::size_t{file[at + 2]} << 8) | file[at + 3];
    if (file[at + 1] == 0xDA) {
      const std::size_t count = file[at + 4];
      scans.push_back({file[at + 5 + 2 * count], file[at + 7 + 2 * count] >> 4, at + 2 + length});
    }
    at += 2 + length;
  }
  return scans;
}

enum class CutPlace { kFirstScanStart, kFirstScanMiddle, kDcRefinementMiddle, kAfterDcComplete };

struct CutCase {
  const char* label;
  CutPlace place;
  DecodeStatus status;
  int tolerance;        // against the whole file's picture, where shown
  bool last_row_black;  // the blocks never reached
};

void PrintTo(const CutCase& test, std::ostream* out) {
  *out << test.label;
}

const CutCase kCutCases[] = {
    {"at_the_first_scans_data", CutPlace::kFirstScanStart, DecodeStatus::kFailed, 0, false},
    {"inside_the_first_dc_scan", CutPlace::kFirstScanMiddle, DecodeStatus::kTruncated, 4, true},
    {"inside_the_dc_refinement", CutPlace::kDcRefinementMiddle, DecodeStatus::kTruncated, 4, false},
    {"after_the_dc_values_are_complete", CutPlace::kAfterDcComplete, DecodeStatus::kOk, 0, false},
};

class ProgressiveDcCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(ProgressiveDcCut, SaysTruncatedAndShowsTheBlocksDecoded) {
  const CutCase& test = GetParam();
  const Bytes& file =
      Encoded("progressive_cut_ycc420", Recipe(320, 240, 3), Progressive(Ycc(k420, 0, 90)));
  const std::vector<ScanStart> scans = ScansOf(file);
  const auto refinement = std::find_if(scans.begin(), scans.end(),
                                       [](const ScanStart& s) { return s.ss == 0 && s.ah > 0; });
  ASSERT_TRUE(refinement != scans.end() && refinement + 1 != scans.end());
  const auto middle = [&](std::size_t scan) {
    return (scans[scan].data + scans[scan + 1].data) / 2;
  };
  const auto refinement_index = static_cast<std::size_t>(refinement - scans.begin());
  std::size_t cut = 0;
  switch (test.place) {
    case CutPlace::kFirstScanStart:
      cut = scans[0].data;
      break;
    case CutPlace::kFirstScanMiddle:
      cut = middle(0);
      break;
    case CutPlace::kDcRefinementMiddle:
      cut = middle(refinement_index);
      break;
    case CutPlace::kAfterDcComplete:
      cut = middle(refinement_index + 1);
      break;
  }
  const Picture whole = Decode(file, DcOn(1))->Pixels();
  for (const std::size_t band_bytes : {kDefaultDcBandBytes, std::size_t{1}}) {
    SCOPED_TRACE("bands of " + std::to_string(band_bytes) + " bytes");
    JpegOptions options = DcOn(1);
    options.dc_band_bytes = band_bytes;
    const auto decoded =
        Decode(Bytes(file.begin(), file.begin() + static_cast<long>(cut)), options);
    EXPECT_EQ(decoded->outcome.status, test.status) << decoded->outcome.reason;
    if (test.status != DecodeStatus::kOk) {
      EXPECT_EQ(decoded->outcome.reason, "truncated JPEG data");
    }
    if (test.status == DecodeStatus::kFailed) continue;
    const Picture actual = decoded->Pixels();
    ASSERT_EQ(SizeOf(actual), SizeOf(whole));
    EXPECT_EQ(decoded->sink.DeliveredPixels(), std::uint64_t{actual.width} * actual.height);
    const Rgba black = {0, 0, 0, 255};
    for (std::uint32_t x = 0; test.last_row_black && x < actual.width; ++x) {
      EXPECT_EQ(Describe(decoded->sink.At(x, actual.height - 1)), Describe(black)) << "at " << x;
    }
    // The rows shown (the first one, or all) close to the whole file's.
    Picture compared = actual;
    Picture whole_compared = whole;
    if (test.last_row_black) {
      compared.height = whole_compared.height = 1;
      compared.rgba.resize(std::size_t{actual.width} * 4);
      whole_compared.rgba.resize(compared.rgba.size());
    }
    const Difference difference = Compare(compared, whole_compared);
    EXPECT_LE(difference.largest, test.tolerance) << Explain(difference, compared, whole_compared);
  }
}

INSTANTIATE_TEST_SUITE_P(Cuts, ProgressiveDcCut, ::testing::ValuesIn(kCutCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
