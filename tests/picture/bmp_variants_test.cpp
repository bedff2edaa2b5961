// BMP variants built at test time: bit depths, masks, alpha, palettes and
// run lengths the suite does not cover, and broken headers.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "picture/load_picture_file.h"
#include "test_files.h"

namespace vistamere::picture {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::ScratchDir;
using Rgb = std::array<std::uint8_t, 3>;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

const Rgb kBlack{0, 0, 0};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};
const std::vector<std::uint32_t> kPalette = {0x101010, 0xFF0000, 0x00FF00, 0x0000FF};

BmpLayout Layout(std::int32_t width, std::int32_t height, std::uint16_t bits, Bytes pixels,
                 std::uint32_t compression = 0) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bit_count = bits;
  layout.compression = compression;
  layout.pixels = std::move(pixels);
  return layout;
}

BmpLayout WithPalette(BmpLayout layout, std::vector<std::uint32_t> palette) {
  layout.colors_used = static_cast<std::uint32_t>(palette.size());
  layout.palette = std::move(palette);
  return layout;
}

BmpLayout WithMasks(BmpLayout layout, std::vector<std::uint32_t> masks,
                    std::uint32_t header_size = 40) {
  layout.masks = std::move(masks);
  layout.header_size = header_size;
  return layout;
}

struct Case {
  std::string name;
  BmpLayout layout;
  DecodeStatus status;
  std::string reason;
  std::vector<Rgb> expected;  // row by row, top first; empty: not checked
};

std::vector<Case> Cases() {
  const Bytes rows24 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  return {
      {"24 bits, top-down",
       Layout(2, -2, 24, rows24),
       DecodeStatus::kOk,
       "",
       {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}, {12, 11, 10}}},
      {"24 bits, bottom-up",
       Layout(2, 2, 24, rows24),
       DecodeStatus::kOk,
       "",
       {{9, 8, 7}, {12, 11, 10}, {3, 2, 1}, {6, 5, 4}}},
      {"1 bit, an index past the palette shows black",
       WithPalette(Layout(3, 1, 1, {0b01000000, 0, 0, 0}), {0x112233}),
       DecodeStatus::kOk,
       "",
       {{0x11, 0x22, 0x33}, kBlack, {0x11, 0x22, 0x33}}},
      {"2 bits",
       WithPalette(Layout(4, 1, 2, {0b00011011, 0, 0, 0}), kPalette),
       DecodeStatus::kOk,
       "",
       {{16, 16, 16}, kRed, kGreen, kBlue}},
      {"4 bits",
       WithPalette(Layout(3, 1, 4, {0x12, 0x30, 0, 0}), kPalette),
       DecodeStatus::kOk,
       "",
       {kRed, kGreen, kBlue}},
      {"16 bits 5-5-5 by default, top bit unused",
       Layout(2, 1, 16, {0xFF, 0x7F, 0x00, 0x80}),
       DecodeStatus::kOk,
       "",
       {{255, 255, 255}, kBlack}},
      {"16 bits 5-6-5, channels scaled to full range",
       WithMasks(Layout(2, 1, 16, {0x00, 0xF8, 0x00, 0x04}, kBitfields), {0xF800, 0x07E0, 0x001F}),
       DecodeStatus::kOk,
       "",
       {kRed, {0, 130, 0}}},
      {"overlapping and empty masks",
       WithMasks(Layout(1, 1, 32, {0xAB, 0, 0, 0}, kBitfields), {0xFF, 0xFF, 0}),
       DecodeStatus::kOk,
       "",
       {{0xAB, 0xAB, 0}}},
      {"a mask beyond a 16-bit pixel reads zero",
       WithMasks(Layout(2, 1, 16, {0xFF, 0xFF, 0xFF, 0xFF}, kBitfields), {0xFF0000, 0xFF00, 0xFF}),
       DecodeStatus::kOk,
       "",
       {{0, 255, 255}, {0, 255, 255}}},
      {"v5 alpha composes over black",
       WithMasks(Layout(2, 1, 32, {50, 100, 200, 128, 50, 100, 200, 0}, kBitfields),
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 124),
       DecodeStatus::kOk,
       "",
       {{100, 50, 25}, kBlack}},
      {"v5 alpha zero everywhere means opaque",
       WithMasks(Layout(2, 1, 32, {50, 100, 200, 0, 50, 100, 200, 0}, kBitfields),
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 124),
       DecodeStatus::kOk,
       "",
       {{200, 100, 50}, {200, 100, 50}}},
      {"32 bits without masks ignore the fourth byte",
       Layout(1, 1, 32, {50, 100, 200, 128}),
       DecodeStatus::kOk,
       "",
       {{200, 100, 50}}},
      {"alpha bit fields after a 40-byte header",
       WithMasks(Layout(2, 1, 32, {50, 100, 200, 128, 50, 100, 200, 255}, 6),
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
       DecodeStatus::kOk,
       "",
       {{100, 50, 25}, {200, 100, 50}}},
      {"64 bits: linear fixed point to sRGB",
       Layout(2, 1, 64,
              {0x00, 0x20, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20,    // blue 1, green 0.5, alpha 1
               0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x00, 0x20}),  // red over 1 clamps
       DecodeStatus::kOk,
       "",
       {{0, 188, 255}, {255, 0, 0}}},
      {"RLE8 runs, literal, deltas, end of line and of bitmap",
       WithPalette(
           Layout(4, 3, 8, {0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x01, 0x02, 0x00, 0x00,  // y 2
                            0x00, 0x03, 0x03, 0x02, 0x01, 0x00, 0x00, 0x02, 0x00, 0x01,  // y 1
                            0x01, 0x03, 0x00, 0x01},                                     // y 0
                  kRle8),
           kPalette),
       DecodeStatus::kOk,
       "",
       {kBlack, kBlack, kBlack, kBlue, kBlue, kGreen, kRed, kBlack, kRed, kRed, kBlack, kGreen}},
      {"RLE4 runs alternate nibbles, odd literals are padded",
       WithPalette(Layout(5, 2, 4,
                          {0x05, 0x12, 0x00, 0x00,                           // y 1
                           0x00, 0x05, 0x12, 0x31, 0x20, 0x00, 0x00, 0x01},  // y 0
                          kRle4),
                   kPalette),
       DecodeStatus::kOk,
       "",
       {kRed, kGreen, kBlue, kRed, kGreen, kRed, kGreen, kRed, kGreen, kRed}},
      {"RLE runs past the row end are dropped",
       WithPalette(Layout(2, 1, 8, {0x05, 0x01, 0x00, 0x01}, kRle8), kPalette),
       DecodeStatus::kOk,
       "",
       {kRed, kRed}},
      {"RLE data ending early keeps what came",
       WithPalette(Layout(2, 2, 8, {0x02, 0x03, 0x00, 0x00, 0x01}, kRle8), kPalette),
       DecodeStatus::kTruncated,
       "truncated BMP data",
       {kBlack, kBlack, kBlue, kBlue}},
      {"zero width", Layout(0, 1, 24, {0, 0, 0, 0}), DecodeStatus::kFailed, "corrupt BMP data", {}},
      {"7 bits per pixel",
       Layout(1, 1, 7, {0, 0, 0, 0}),
       DecodeStatus::kFailed,
       "corrupt BMP data",
       {}},
      {"RLE8 with 4 bits per pixel",
       Layout(1, 1, 4, {0, 1}, kRle8),
       DecodeStatus::kFailed,
       "corrupt BMP data",
       {}},
      {"top-down RLE",
       WithPalette(Layout(1, -1, 8, {0, 1}, kRle8), kPalette),
       DecodeStatus::kFailed,
       "corrupt BMP data",
       {}},
      {"unknown compression",
       Layout(1, 1, 24, {0, 0, 0, 0}, 9),
       DecodeStatus::kFailed,
       "corrupt BMP data",
       {}},
      {"embedded JPEG",
       Layout(1, 1, 0, {0xFF, 0xD8}, 4),
       DecodeStatus::kFailed,
       "unsupported BMP compression",
       {}},
      {"embedded PNG",
       Layout(1, 1, 0, {0x89, 'P'}, 5),
       DecodeStatus::kFailed,
       "unsupported BMP compression",
       {}},
      {"a huge row and no pixels",
       Layout(1 << 29, 1, 32, {}),
       DecodeStatus::kFailed,
       "truncated BMP data",
       {}},
  };
}

TEST(BmpVariants, DecodeAsStored) {
  ScratchDir dir;
  for (const Case& c : Cases()) {
    std::string path = dir.Write("variant.bmp", BuildBmp(c.layout));
    int width = c.expected.empty() ? 4 : c.layout.width;
    int height = c.expected.empty() ? 4 : std::abs(c.layout.height);
    Canvas canvas;
    LoadOutcome outcome = LoadPictureFile(path, width, height, canvas);
    EXPECT_EQ(outcome.status, c.status) << c.name;
    EXPECT_EQ(outcome.reason, c.reason) << c.name;
    if (c.expected.empty()) continue;
    std::vector<Rgb> got;
    for (std::size_t i = 0; i < canvas.rgb.size(); i += 3) {
      got.push_back({canvas.rgb[i], canvas.rgb[i + 1], canvas.rgb[i + 2]});
    }
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

// A file cut at every length fails cleanly, never reads past what it has,
// and reports success only once every pixel is there (the last row's
// padding is not needed).
TEST(BmpVariants, EveryCutOfAFileFailsCleanly) {
  ScratchDir dir;
  Bytes whole = BuildBmp(WithPalette(Layout(5, 3, 8, Bytes(24, 2)), kPalette));
  const std::size_t last_pixel_end = whole.size() - 3;
  for (std::size_t size = 1; size < whole.size(); ++size) {
    std::string path = dir.Write("cut.bmp", Bytes(whole.begin(), whole.begin() + size));
    Canvas canvas;
    LoadOutcome outcome = LoadPictureFile(path, 5, 3, canvas);
    if (size >= last_pixel_end) {
      EXPECT_EQ(outcome.status, DecodeStatus::kOk) << size;
    } else {
      EXPECT_NE(outcome.status, DecodeStatus::kOk) << size;
      EXPECT_FALSE(outcome.reason.empty()) << size;
    }
  }
}

}  // namespace
}  // namespace vistamere::picture
