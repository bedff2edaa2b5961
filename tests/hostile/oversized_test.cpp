// Declared sizes up to 2^31 (and 2^32 - 1) per side, products that
// overflow 32 and 64 bits, and sizes right at the pixel limit with no data
// behind them: each refused or ended cleanly, within the memory budget.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "expectations.h"
#include "hostile_bytes.h"

namespace vistamere::picture::testing {
namespace {

constexpr std::uint32_t kMax31 = 0x7FFFFFFF;

struct OversizedCase {
  const char* label;
  std::function<Bytes()> make;
  Expect expect;
  const char* reason;
};

void PrintTo(const OversizedCase& test, std::ostream* out) {
  *out << test.label;
}

Bytes BmpSized(std::int32_t width, std::int32_t height, std::uint16_t bits) {
  BmpFields f;
  f.width = width;
  f.height = height;
  f.bits = bits;
  f.pixels = Bytes(64, 0x55);
  return Bmp(f);
}

Bytes PngSized(std::uint32_t width, std::uint32_t height, int depth, int colour_type) {
  return Png(width, height, depth, colour_type, Bytes(64, 0));
}

const OversizedCase kCases[] = {
    {"bmp_2p31_square", [] { return BmpSized(kMax31, kMax31, 24); }, Expect::kNotShown,
     "picture too large (2147483647 x 2147483647)"},
    {"bmp_product_2p32", [] { return BmpSized(65536, 65536, 24); }, Expect::kNotShown,
     "picture too large (65536 x 65536)"},
    {"bmp_row_bytes_past_2p32", [] { return BmpSized(kMax31, 1, 64); }, Expect::kNotShown,
     "picture too large (2147483647 x 1)"},
    {"bmp_height_int_min", [] { return BmpSized(1, INT32_MIN, 24); }, Expect::kNotShown,
     "corrupt BMP data"},
    {"bmp_negative_width", [] { return BmpSized(-8, 8, 24); }, Expect::kNotShown,
     "corrupt BMP data"},
    {"bmp_at_the_limit_no_data", [] { return BmpSized(32768, 32768, 32); }, Expect::kPart,
     "truncated BMP data"},
    {"png_2p31_square_rgba16", [] { return PngSized(kMax31, kMax31, 16, 6); }, Expect::kNotShown,
     "picture too large (2147483647 x 2147483647)"},
    {"png_width_2p31", [] { return PngSized(0x80000000u, 1, 8, 0); }, Expect::kNotShown,
     "corrupt PNG data"},
    {"png_product_2p32", [] { return PngSized(65536, 65536, 8, 2); }, Expect::kNotShown,
     "picture too large (65536 x 65536)"},
    // Within the pixel limit, but each row costs its own work.
    {"png_16_wide_2p26_tall", [] { return PngSized(16, 1u << 26, 8, 0); }, Expect::kNotShown,
     "picture too large (16 x 67108864)"},
    {"tiff_1_wide_2p30_tall", [] { return TiffWithSize(1, 1u << 30, 8, 1, 200, 64); },
     Expect::kNotShown, "picture too large (1 x 1073741824)"},
    {"png_at_the_limit_no_data", [] { return PngSized(32768, 32768, 8, 0); }, Expect::kNotShown,
     "corrupt PNG data"},
    // libjpeg's own limit is 65500 per side.
    {"jpeg_65535_square", [] { return JpegWithSize(65535, 65535); }, Expect::kNotShown,
     "corrupt JPEG data"},
    {"jpeg_65500_square", [] { return JpegWithSize(65500, 65500); }, Expect::kNotShown,
     "picture too large (65500 x 65500)"},
    {"jpeg_just_over_the_limit", [] { return JpegWithSize(65500, 16394); }, Expect::kNotShown,
     "picture too large (65500 x 16394)"},
    // The scan ends at EOI at once: libjpeg pads the rest, at 1/8 scale.
    {"jpeg_at_the_limit_no_data", [] { return JpegWithSize(32768, 32768); }, Expect::kShown, ""},
    {"jpeg_zero_height", [] { return JpegWithSize(8, 0); }, Expect::kNotShown, "corrupt JPEG data"},
    {"gif_screen_65535_square", [] { return GifWithSizes(65535, 65535, 0, 0, 4, 4); },
     Expect::kNotShown, "picture too large (65535 x 65535)"},
    {"gif_image_leaves_the_screen", [] { return GifWithSizes(8, 8, 65535, 65535, 65535, 65535); },
     Expect::kNotShown, "frame outside the picture"},
    {"gif_image_larger_than_screen", [] { return GifWithSizes(4, 4, 0, 0, 60000, 60000); },
     Expect::kNotShown, "picture too large (60000 x 60000)"},
    {"gif_zero_screen", [] { return GifWithSizes(0, 0, 0, 0, 4, 4); }, Expect::kNotShown,
     "corrupt GIF data"},
    {"tiff_2p32_minus_1_square_rgba16",
     [] { return TiffWithSize(0xFFFFFFFF, 0xFFFFFFFF, 16, 4, 200, 64); }, Expect::kNotShown,
     "picture too large (4294967295 x 4294967295)"},
    {"tiff_2p31_square", [] { return TiffWithSize(kMax31, kMax31, 8, 3, 200, 64); },
     Expect::kNotShown, "picture too large (2147483647 x 2147483647)"},
    {"tiff_product_2p32", [] { return TiffWithSize(65536, 65536, 8, 3, 200, 64); },
     Expect::kNotShown, "picture too large (65536 x 65536)"},
    // One strip per plane: converting it whole would take 3 x 1 GiB.
    {"tiff_at_the_limit_one_strip_per_plane",
     [] { return TiffWithSize(32768, 32768, 8, 3, 200, 64, 2); }, Expect::kNotShown,
     "too large to decode (48 MiB)"},
    {"tiff_at_the_limit_strip_past_end",
     [] { return TiffWithSize(32768, 32768, 8, 1, 0xFFFFFF00, 0xFFFFFFFF); }, Expect::kNotShown,
     "truncated TIFF data"},
    // libwebp itself refuses canvases of 2^32 pixels or more.
    {"webp_vp8x_2p24_square", [] { return WebpVp8x(1u << 24, 1u << 24); }, Expect::kNotShown,
     "picture too large (16777216 x 16777216)"},
    {"webp_vp8x_2p31_pixels", [] { return WebpVp8x(65536, 32768); }, Expect::kNotShown,
     "picture too large (65536 x 32768)"},
    {"webp_vp8x_at_the_limit_no_image", [] { return WebpVp8x(32768, 32768); }, Expect::kNotShown,
     "truncated WebP data"},
};

class Oversized : public ::testing::TestWithParam<OversizedCase> {};

TEST_P(Oversized, IsRefusedOrEndsCleanlyWithinTheBudget) {
  const OversizedCase& test = GetParam();
  const std::string path = WriteScratchFile(std::string("oversized_") + test.label, test.make());
  CheckLoad(LoadGuarded(path), test.expect, test.reason);
}

INSTANTIATE_TEST_SUITE_P(Formats, Oversized, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
