// Every picture of the BMP Suite: the good ones must look as ImageMagick
// shows them; the questionable and bad ones must load or fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "picture/load_picture_file.h"
#include "reference_decoder.h"
#include "test_files.h"

namespace vistamere::picture {
namespace {

using testing::BmpSuiteDir;
using testing::DecodeWithImageMagick;
using testing::RgbImage;

std::vector<std::string> SuiteFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(BmpSuiteDir() + "/" + folder)) {
    files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Difference {
  int largest = 0;
  int pixels = 0;  // pixels with any channel off by more than the tolerance
};

Difference Compare(const Canvas& canvas, const RgbImage& reference, int tolerance) {
  Difference d;
  for (std::size_t i = 0; i < reference.rgb.size(); i += 3) {
    int worst = 0;
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(canvas.rgb[i + c] - reference.rgb[i + c]));
    d.largest = std::max(d.largest, worst);
    if (worst > tolerance) ++d.pixels;
  }
  return d;
}

TEST(BmpSuite, GoodPicturesLookAsImageMagickShowsThem) {
  if (!testing::HaveImageMagick()) GTEST_SKIP() << "no ImageMagick";
  for (const std::string& path : SuiteFiles("g")) {
    auto reference = DecodeWithImageMagick(path);
    ASSERT_TRUE(reference) << path;
    Canvas canvas;
    LoadOutcome outcome = LoadPictureFile(path, reference->width, reference->height, canvas);
    EXPECT_EQ(outcome.status, DecodeStatus::kOk) << path << ": " << outcome.reason;
    Difference d = Compare(canvas, *reference, 1);
    EXPECT_EQ(d.pixels, 0) << path << " differs by up to " << d.largest;
  }
}

std::string SuiteFile(const std::string& name) {
  return BmpSuiteDir() + "/" + name;
}

Canvas LoadAtOwnSize(const std::string& path, LoadOutcome& outcome) {
  Canvas canvas;
  outcome = LoadPictureFile(path, 127, 64, canvas);  // every suite picture is 127 x 64
  return canvas;
}

TEST(BmpSuite, QuestionablePicturesLoadOrFailCleanly) {
  const std::set<std::string> refused = {"pal1huffmsb.bmp", "rgb24jpeg.bmp", "rgb24png.bmp"};
  for (const std::string& path : SuiteFiles("q")) {
    LoadOutcome outcome;
    LoadAtOwnSize(path, outcome);
    if (refused.count(std::filesystem::path(path).filename().string()) != 0) {
      EXPECT_EQ(outcome.status, DecodeStatus::kFailed) << path;
      EXPECT_EQ(outcome.reason, "unsupported BMP compression") << path;
    } else {
      EXPECT_EQ(outcome.status, DecodeStatus::kOk) << path << ": " << outcome.reason;
    }
  }
}

TEST(BmpSuite, QuestionablePicturesThatImageMagickReadsRightLookTheSame) {
  if (!testing::HaveImageMagick()) GTEST_SKIP() << "no ImageMagick";
  const char* const names[] = {
      "q/pal1p1.bmp",        "q/pal8offs.bmp",      "q/pal8os2sp.bmp",  "q/pal8os2v2-16.bmp",
      "q/rgb16faketrns.bmp", "q/rgb24largepal.bmp", "q/rgb24lprof.bmp", "q/rgb24prof.bmp",
      "q/rgb32-111110.bmp",  "q/rgb32-xbgr.bmp",    "q/rgb32h52.bmp",   "q/rgba32-1.bmp",
      "q/rgba32-2.bmp",      "q/rgba32h56.bmp",
  };
  for (const char* name : names) {
    auto reference = DecodeWithImageMagick(SuiteFile(name));
    ASSERT_TRUE(reference) << name;
    LoadOutcome outcome;
    Canvas canvas = LoadAtOwnSize(SuiteFile(name), outcome);
    Difference d = Compare(canvas, *reference, 1);
    EXPECT_EQ(d.pixels, 0) << name << " differs by up to " << d.largest;
  }
}

// ImageMagick misreads some OS/2 variants; they show the same picture as
// g/pal8.bmp, which it does read right.
TEST(BmpSuite, Os2AndOddPaletteVariantsShowTheStandardPalettedPicture) {
  LoadOutcome outcome;
  Canvas standard = LoadAtOwnSize(SuiteFile("g/pal8.bmp"), outcome);
  ASSERT_EQ(outcome.status, DecodeStatus::kOk);
  const char* const names[] = {"q/pal8os2v2.bmp",      "q/pal8os2-hs.bmp",
                               "q/pal8os2-sz.bmp",     "q/pal8os2v2-sz.bmp",
                               "q/pal8os2v2-40sz.bmp", "q/pal8oversizepal.bmp"};
  for (const char* name : names) {
    Canvas canvas = LoadAtOwnSize(SuiteFile(name), outcome);
    EXPECT_EQ(outcome.status, DecodeStatus::kOk) << name;
    EXPECT_TRUE(canvas.rgb == standard.rgb) << name;
  }
}

TEST(BmpSuite, BadPicturesFailCleanlyOrLoad) {
  for (const std::string& path : SuiteFiles("b")) {
    for (auto [width, height] : {std::pair{1024, 512}, std::pair{127, 64}, std::pair{7, 3}}) {
      Canvas canvas;
      LoadOutcome outcome = LoadPictureFile(path, width, height, canvas);
      if (outcome.status != DecodeStatus::kOk) {
        EXPECT_FALSE(outcome.reason.empty()) << path;
      }
      EXPECT_EQ(canvas.rgb.size(), static_cast<std::size_t>(width * height * 3));
    }
  }
  struct Case {
    const char* name;
    DecodeStatus status;
    const char* reason;
  };
  const Case cases[] = {
      {"b/reallybig.bmp", DecodeStatus::kFailed, "picture too large (3000000 x 2000000)"},
      {"b/shortfile.bmp", DecodeStatus::kTruncated, "truncated BMP data"},
      {"b/badbitcount.bmp", DecodeStatus::kFailed, "corrupt BMP data"},
      {"b/badheadersize.bmp", DecodeStatus::kFailed, "corrupt BMP data"},
      {"b/badwidth.bmp", DecodeStatus::kFailed, "corrupt BMP data"},
  };
  for (const Case& c : cases) {
    LoadOutcome outcome;
    LoadAtOwnSize(SuiteFile(c.name), outcome);
    EXPECT_EQ(outcome.status, c.status) << c.name;
    EXPECT_EQ(outcome.reason, c.reason) << c.name;
  }
}

}  // namespace
}  // namespace vistamere::picture
