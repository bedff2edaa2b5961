// Damaged files of every format through the whole load: cut short at many
// points, offsets past the end, palette indices out of range, run-length
// runs and deltas leaving the picture, odd bit-field masks, bad PNG CRCs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <set>
#include <string>

#include "expectations.h"
#include "hostile_bytes.h"

namespace vistamere::picture::testing {
namespace {

struct HonestPicture {
  const char* label;
  const char* options;  // after the plasma source
  const char* extension;
  const char* format;  // as the reasons name it
};

void PrintTo(const HonestPicture& test, std::ostream* out) {
  *out << test.label;
}

const HonestPicture kHonest[] = {
    {"bmp", "-type TrueColor", "bmp", "BMP"},
    {"bmp_rle8", "-colors 60 -compress RLE", "bmp", "BMP"},
    {"jpeg", "-quality 85", "jpg", "JPEG"},
    {"jpeg_progressive", "-quality 85 -interlace Plane", "jpg", "JPEG"},
    {"png", "", "png", "PNG"},
    {"png_interlaced", "-interlace PNG", "png", "PNG"},
    {"gif", "-colors 32", "gif", "GIF"},
    {"webp_lossy", "-quality 70", "webp", "WebP"},
    {"webp_lossless", "-define webp:lossless=true", "webp", "WebP"},
    {"tiff_lzw", "-compress LZW", "tif", "TIFF"},
};

Bytes Honest(const HonestPicture& picture) {
  return MadeByImageMagick(std::string("-seed 5 -size 64x48 plasma:fractal ") + picture.options,
                           std::string(picture.label) + "." + picture.extension);
}

class Truncated : public ::testing::TestWithParam<HonestPicture> {};

TEST_P(Truncated, EveryCutEndsCleanly) {
  const HonestPicture& picture = GetParam();
  const Bytes whole = Honest(picture);
  ASSERT_GT(whole.size(), 64u);
  CheckLoad(LoadGuarded(WriteScratchFile(std::string("whole_") + picture.label, whole)),
            Expect::kShown);

  // Every cut inside the headers, then cuts spread over the rest.
  std::set<std::size_t> cuts;
  for (std::size_t cut = 1; cut <= 40; ++cut) cuts.insert(cut);
  for (int step = 1; step < 16; ++step) cuts.insert(whole.size() * step / 16);
  cuts.insert(whole.size() - 1);
  // Too short to tell the format by, or cut short: never "corrupt".
  const std::string truncated = std::string("truncated ") + picture.format + " data";
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
    const std::string path = WriteScratchFile(std::string("cut_") + picture.label,
                                              Bytes(whole.begin(), whole.begin() + cut));
    const GuardedLoad load = LoadGuarded(path);
    if (cut <= 12) {
      CheckLoad(load, Expect::kNotShown,
                load.reason == "unknown picture format" ? load.reason : truncated);
    } else if (load.status != DecodeStatus::kOk) {
      CheckLoad(load, load.status == DecodeStatus::kFailed ? Expect::kNotShown : Expect::kPart,
                truncated);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Truncated, ::testing::ValuesIn(kHonest),
                         [](const auto& test) { return std::string(test.param.label); });

struct DamageCase {
  const char* label;
  std::function<Bytes()> make;
  Expect expect;
  const char* reason;
};

void PrintTo(const DamageCase& test, std::ostream* out) {
  *out << test.label;
}

Bytes Grey(int entries) {
  Bytes palette;
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / std::max(entries - 1, 1));
    Append(palette, {v, v, v, 0});
  }
  return palette;
}

Bytes Rle(std::uint32_t compression, std::uint16_t bits, const Bytes& codes) {
  BmpFields f;
  f.bits = bits;
  f.compression = compression;
  f.colours_used = bits == 8 ? 4 : 16;
  f.palette = Grey(static_cast<int>(f.colours_used));
  f.pixels = codes;
  return Bmp(f);
}

Bytes BitFields(std::uint16_t bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  BmpFields f;
  f.bits = bits;
  f.compression = 3;
  f.masks = {red, green, blue};
  f.pixels = Bytes(std::size_t{8} * 8 * (bits / 8), 0xA5);
  return Bmp(f);
}

Bytes PalettedBmp(std::uint16_t bits, std::uint32_t used, std::uint8_t pixel_byte) {
  BmpFields f;
  f.bits = bits;
  f.colours_used = used;
  f.palette = Grey(static_cast<int>(used));
  f.pixels = Bytes(std::size_t{8} * 8, pixel_byte);
  return Bmp(f);
}

Bytes PngWithSpoiltCrc(const std::string& chunk_type) {
  Bytes png = Honest(kHonest[4]);
  // Walk the chunks and flip a bit of the named chunk's CRC.
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length =
        (std::uint32_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    const std::size_t crc_at = at + 8 + length;
    if (crc_at + 4 > png.size()) break;
    if (std::string(png.begin() + static_cast<long>(at) + 4,
                    png.begin() + static_cast<long>(at) + 8) == chunk_type) {
      png[crc_at + 3] ^= 0x01;
      break;
    }
    at = crc_at + 4;
  }
  return png;
}

Bytes PngPaletteIndexOutOfRange() {
  Bytes rows;
  for (int y = 0; y < 4; ++y) Append(rows, {0, 0, 1, 200, 255});
  return Png(4, 4, 8, 3, rows, {0, 0, 0, 255, 255, 255});
}

Bytes TiffIfdPastTheEnd() {
  Bytes tiff = {'I', 'I', 42, 0};
  PutLe32(tiff, 0xFFFFFFF0);
  tiff.insert(tiff.end(), 32, 0);
  return tiff;
}

const DamageCase kCases[] = {
    // Offsets past the end.
    {"bmp_pixel_offset_past_end",
     [] {
       BmpFields f;
       f.pixels = Bytes(8 * 8 * 3, 0x40);
       f.pixel_offset = 0xFFFFFFF0;
       return Bmp(f);
     },
     Expect::kNotShown, "truncated BMP data"},
    {"tiff_strip_past_end", [] { return TiffWithSize(8, 8, 8, 3, 0xFFFFFF00, 192); },
     Expect::kNotShown, "truncated TIFF data"},
    {"tiff_strip_bytes_huge", [] { return TiffWithSize(8, 8, 8, 3, 8, 0xFFFFFFFF); },
     Expect::kNotShown, "truncated TIFF data"},
    {"tiff_ifd_past_end", TiffIfdPastTheEnd, Expect::kNotShown, "truncated TIFF data"},
    // Palette indices out of range.
    {"bmp8_index_past_two_colours", [] { return PalettedBmp(8, 2, 0xFF); }, Expect::kShown, ""},
    {"bmp4_index_past_one_colour", [] { return PalettedBmp(4, 1, 0xFF); }, Expect::kShown, ""},
    {"bmp8_colours_used_huge", [] { return PalettedBmp(8, 0xFFFFFFFF, 0x01); }, Expect::kNotShown,
     "truncated BMP data"},
    {"png_index_past_palette", PngPaletteIndexOutOfRange, Expect::kShown, ""},
    // Run-length codes leaving the picture.
    {"rle8_run_past_the_row",
     [] {
       return Rle(1, 8, {255, 1, 255, 2, 0, 1});
     },
     Expect::kShown, ""},
    {"rle8_delta_out_of_picture",
     [] {
       return Rle(1, 8, {2, 1, 0, 2, 200, 200, 4, 3, 0, 1});
     },
     Expect::kShown, ""},
    {"rle8_delta_then_run_past_row",
     [] {
       return Rle(1, 8, {0, 2, 6, 0, 8, 3, 0, 1});
     },
     Expect::kShown, ""},
    {"rle8_absolute_run_past_row",
     [] {
       Bytes codes = {0, 200};
       codes.insert(codes.end(), 200, 3);
       Append(codes, {0, 1});
       return Rle(1, 8, codes);
     },
     Expect::kShown, ""},
    {"rle8_absolute_run_past_data",
     [] {
       return Rle(1, 8, {0, 250, 1, 2, 3});
     },
     Expect::kPart, "truncated BMP data"},
    {"rle8_end_of_line_past_top",
     [] {
       Bytes codes;
       for (int i = 0; i < 40; ++i) Append(codes, {0, 0, 4, 2});
       return Rle(1, 8, codes);
     },
     Expect::kShown, ""},
    {"rle8_index_past_palette",
     [] {
       return Rle(1, 8, {8, 250, 0, 1});
     },
     Expect::kShown, ""},
    {"rle4_run_and_delta_out",
     [] {
       return Rle(2, 4, {255, 0x12, 0, 2, 255, 255, 9, 0x34, 0, 1});
     },
     Expect::kShown, ""},
    // Bit-field masks.
    {"bitfields16_zero_masks", [] { return BitFields(16, 0, 0, 0); }, Expect::kShown, ""},
    {"bitfields16_overlapping", [] { return BitFields(16, 0xFFFF, 0xFFFF, 0xFFFF); },
     Expect::kShown, ""},
    {"bitfields16_above_depth", [] { return BitFields(16, 0xFFFF0000, 0xF0, 0x0F); },
     Expect::kShown, ""},
    {"bitfields32_zero_masks", [] { return BitFields(32, 0, 0, 0); }, Expect::kShown, ""},
    {"bitfields32_all_ones", [] { return BitFields(32, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF); },
     Expect::kShown, ""},
    {"bitfields32_scattered", [] { return BitFields(32, 0x0F0F0F0F, 0xF0F0F0F0, 0x80000001); },
     Expect::kShown, ""},
    {"bitfields24_depth", [] { return BitFields(24, 0xFF0000, 0xFF00, 0xFF); }, Expect::kNotShown,
     "corrupt BMP data"},
    // CRCs.
    {"png_bad_ihdr_crc", [] { return PngWithSpoiltCrc("IHDR"); }, Expect::kNotShown,
     "corrupt PNG data"},
    // The rows are complete (zlib checks them) before the IDAT CRC is read.
    {"png_bad_idat_crc", [] { return PngWithSpoiltCrc("IDAT"); }, Expect::kPart,
     "corrupt PNG data"},
    {"png_bad_iend_crc", [] { return PngWithSpoiltCrc("IEND"); }, Expect::kShown, ""},
};

class Damaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(Damaged, EndsCleanly) {
  const DamageCase& test = GetParam();
  const std::string path = WriteScratchFile(std::string("damaged_") + test.label, test.make());
  CheckLoad(LoadGuarded(path), test.expect, test.reason);
}

INSTANTIATE_TEST_SUITE_P(Files, Damaged, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
