#include "picture/load_picture_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "test_files.h"

namespace vistamere::picture {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::ScratchDir;

// A 24-bit picture, every pixel (r, g, b) = (x, y, 99), bottom-up.
std::vector<std::uint8_t> GradientBmp(int width, int height) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  int stride = (width * 3 + 3) / 4 * 4;
  layout.pixels.assign(static_cast<std::size_t>(stride * height), 0);
  for (int row = 0; row < height; ++row) {
    int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = layout.pixels.data() + row * stride + x * 3;
      p[0] = 99;
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x);
    }
  }
  return BuildBmp(layout);
}

bool AllBlack(const Canvas& canvas) {
  for (std::uint8_t v : canvas.rgb) {
    if (v != 0) return false;
  }
  return true;
}

TEST(LoadPictureFile, GivesAReasonThatCompletesTheNotice) {
  ScratchDir dir;
  dir.Write("notes.jpg", "these are not the pixels you are looking for\n");
  BmpLayout huge;
  huge.width = 40000;
  huge.height = 30000;
  dir.Write("huge.bmp", BuildBmp(huge));
  std::vector<std::uint8_t> cut = GradientBmp(8, 8);
  cut.resize(54);
  dir.Write("headers-only.bmp", cut);

  struct Case {
    std::string name;
    std::string reason;
  };
  const Case cases[] = {
      {"missing.bmp", "no such file"},
      {"notes.jpg", "unknown picture format"},
      {"huge.bmp", "picture too large (40000 x 30000)"},
      {"headers-only.bmp", "truncated BMP data"},
  };
  for (const Case& c : cases) {
    Canvas canvas;
    LoadOutcome outcome = LoadPictureFile(dir.File(c.name), 32, 16, canvas);
    EXPECT_EQ(outcome.status, DecodeStatus::kFailed) << c.name;
    EXPECT_EQ(outcome.reason, c.reason) << c.name;
    EXPECT_EQ(canvas.width, 32);
    EXPECT_EQ(canvas.height, 16);
    EXPECT_TRUE(AllBlack(canvas)) << c.name;
  }
}

TEST(LoadPictureFile, GoesByContentNotByName) {
  ScratchDir dir;
  std::string path = dir.Write("looks-like.png", GradientBmp(4, 3));
  Canvas canvas;
  LoadOutcome outcome = LoadPictureFile(path, 4, 3, canvas);
  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  EXPECT_EQ(outcome.reason, "");
  const std::uint8_t* p = canvas.Pixel(3, 2);
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 99);
}

TEST(LoadPictureFile, KeepsTheDecodedPartOfATruncatedFile) {
  ScratchDir dir;
  std::vector<std::uint8_t> bytes = GradientBmp(4, 4);
  bytes.resize(bytes.size() - 2 * 12 - 5);  // the top two rows and a bit are missing
  std::string path = dir.Write("cut.bmp", bytes);
  Canvas canvas;
  LoadOutcome outcome = LoadPictureFile(path, 4, 4, canvas);
  EXPECT_EQ(outcome.status, DecodeStatus::kTruncated);
  EXPECT_EQ(outcome.reason, "truncated BMP data");
  EXPECT_EQ(canvas.Pixel(2, 3)[2], 99);  // bottom rows decoded
  EXPECT_EQ(canvas.Pixel(0, 2)[2], 99);
  EXPECT_EQ(canvas.Pixel(3, 1)[2], 0);  // the cut pixel and the rows above stay black
  EXPECT_EQ(canvas.Pixel(0, 0)[2], 0);
}

TEST(LoadPictureFile, ShrinksIntoTheCanvasAndReportsProgress) {
  ScratchDir dir;
  std::string path = dir.Write("big.bmp", GradientBmp(256, 200));
  Canvas canvas;
  std::vector<int> reports;
  LoadOutcome outcome = LoadPictureFile(path, 64, 50, canvas, [&](int percent) {
    reports.push_back(percent);
    return true;
  });
  ASSERT_EQ(outcome.status, DecodeStatus::kOk) << outcome.reason;
  // Each canvas pixel averages a 4 x 4 box: x from 4i to 4i+3, y likewise.
  EXPECT_EQ(canvas.Pixel(10, 20)[0], 42);  // (40 + 43) / 2 = 41.5
  EXPECT_EQ(canvas.Pixel(10, 20)[1], 82);
  EXPECT_EQ(canvas.Pixel(10, 20)[2], 99);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), 100);
  EXPECT_LE(reports.size(), 101u);
}

TEST(LoadPictureFile, StopsWhenTheProgressSaysSoAndLeavesNothingHalfDrawn) {
  ScratchDir dir;
  const std::string path = dir.Write("big.bmp", GradientBmp(256, 2000));
  Canvas canvas;
  int last = -1;
  const LoadOutcome outcome = LoadPictureFile(path, 64, 50, canvas, [&](int percent) {
    last = percent;
    return percent < 30;
  });
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(outcome.status, DecodeStatus::kFailed);
  EXPECT_EQ(last, 30) << "nothing read past the stop";
  EXPECT_EQ(canvas.width, 64);
  for (const std::uint8_t value : canvas.rgb) ASSERT_EQ(value, 0);
}

}  // namespace
}  // namespace vistamere::picture

namespace vistamere::picture {
namespace {

// Every format reaches its decoder by content: files made by ImageMagick,
// all named .bmp, showing a red left half and a blue right half.
TEST(LoadPictureFile, DispatchesEveryFormatByContent) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ImageMagick";
  ScratchDir dir;
  for (const char* format : {"png", "jpeg", "gif", "webp", "tiff", "bmp"}) {
    std::string path = dir.File(std::string(format) + "-inside.bmp");
    std::string command = "convert -size 16x8 xc:red -size 16x8 xc:blue +append " +
                          std::string(format) + ":'" + path + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) continue;
    Canvas canvas;
    LoadOutcome outcome = LoadPictureFile(path, 32, 8, canvas);
    ASSERT_EQ(outcome.status, DecodeStatus::kOk) << format << ": " << outcome.reason;
    const std::uint8_t* left = canvas.Pixel(4, 4);
    const std::uint8_t* right = canvas.Pixel(28, 4);
    EXPECT_GT(left[0], 200) << format;
    EXPECT_LT(left[2], 60) << format;
    EXPECT_GT(right[2], 200) << format;
    EXPECT_LT(right[0], 60) << format;
  }
}

}  // namespace
}  // namespace vistamere::picture
