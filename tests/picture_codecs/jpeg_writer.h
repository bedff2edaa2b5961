// JPEG files made in memory by libjpeg-turbo's compressor, with the knobs a
// decoder's fast paths care about (sampling, restart markers, coding mode),
// and test pictures whose entropy data looks like a photograph's: smooth
// gradients and waves with seeded noise on top.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "test_support.h"

namespace vistamere::picture::testing {

// Samples in rows, `channels` bytes a pixel (1: grey, 3: R G B).
struct TestPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int channels = 3;
  Bytes samples;
};

struct TestPictureRecipe {
  std::uint32_t width = 64;
  std::uint32_t height = 64;
  int channels = 3;
  std::uint32_t seed = 1;
  // Each sample gets uniform noise in [-noise, noise].
  int noise = 12;
  // Waves across and down on top of the gradients (a period of about 150
  // pixels); without them and the noise the picture is smooth.
  bool waves = true;
  // Adds squares of pure black, white and primaries, so that blocks sit
  // at the ends of the sample range.
  bool saturated = false;
};

TestPicture MakeTestPicture(const TestPictureRecipe& recipe);

// How the file stores its colours.
enum class JpegColour {
  kYCbCr,  // JFIF, three components
  kGrey,   // one component (an RGB picture is made grey by the encoder)
  kRgb,    // three components stored as R G B (Adobe marker, no transform)
  kCmyk,   // four components (the picture's RGB inverted, black 0)
};

// Sampling factors per component, horizontal and vertical (1 to 4); a
// file with fewer components uses the first ones.
struct JpegSampling {
  std::array<int, 4> h = {1, 1, 1, 1};
  std::array<int, 4> v = {1, 1, 1, 1};
};

inline constexpr JpegSampling k444{{1, 1, 1, 1}, {1, 1, 1, 1}};
inline constexpr JpegSampling k422{{2, 1, 1, 1}, {1, 1, 1, 1}};
inline constexpr JpegSampling k420{{2, 1, 1, 1}, {2, 1, 1, 1}};
inline constexpr JpegSampling k411{{4, 1, 1, 1}, {1, 1, 1, 1}};
inline constexpr JpegSampling k440{{1, 1, 1, 1}, {2, 1, 1, 1}};

// One scan of a scan script: the components (by index, in frame order),
// the coefficients Ss to Se, and the successive approximation bits Ah, Al.
struct JpegScan {
  std::vector<int> components;
  int ss = 0;
  int se = 0;
  int ah = 0;
  int al = 0;
};

struct JpegWriterOptions {
  int quality = 85;
  JpegColour colour = JpegColour::kYCbCr;
  JpegSampling sampling = k420;
  unsigned restart_interval = 0;  // MCUs between restart markers, 0 for none
  bool progressive = false;       // jpeg_simple_progression
  bool arithmetic = false;        // arithmetic instead of Huffman coding
  bool optimize_coding = false;   // Huffman tables made for this picture
  // A sequential file with one scan per component instead of one
  // interleaved scan (ignored with `progressive`).
  bool scan_per_component = false;
  // A script of up to 32 scans of the encoder's own (a progressive one
  // when any scan has Ss > 0, Se < 63 or Al > 0); overrides the above.
  std::vector<JpegScan> scans;
};

// Throws std::runtime_error when libjpeg-turbo refuses the options.
Bytes EncodeJpeg(const TestPicture& picture, const JpegWriterOptions& options);

}  // namespace vistamere::picture::testing
