// The PNG decoder reads the image data of pictures that are not interlaced
// itself: whatever a file holds, it must show what libpng alone shows,
// pixel for pixel, with the same outcome. Pictures of every colour type,
// bit depth and filter are written by libpng here; damaged image data is
// made by hand around zlib.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "picture/png_decoder.h"
#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct Layout {
  const char* label;
  int colour_type;
  int depth;
  bool transparency;  // a colour key, or a palette's alpha for some entries
};

const Layout kLayouts[] = {
    {"grey1", PNG_COLOR_TYPE_GRAY, 1, false},
    {"grey2_key", PNG_COLOR_TYPE_GRAY, 2, true},
    {"grey4", PNG_COLOR_TYPE_GRAY, 4, false},
    {"grey8", PNG_COLOR_TYPE_GRAY, 8, false},
    {"grey8_key", PNG_COLOR_TYPE_GRAY, 8, true},
    {"grey16", PNG_COLOR_TYPE_GRAY, 16, false},
    {"grey16_key", PNG_COLOR_TYPE_GRAY, 16, true},
    {"grey_alpha8", PNG_COLOR_TYPE_GA, 8, false},
    {"grey_alpha16", PNG_COLOR_TYPE_GA, 16, false},
    {"rgb8", PNG_COLOR_TYPE_RGB, 8, false},
    {"rgb8_key", PNG_COLOR_TYPE_RGB, 8, true},
    {"rgb16", PNG_COLOR_TYPE_RGB, 16, false},
    {"rgb16_key", PNG_COLOR_TYPE_RGB, 16, true},
    {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false},
    {"rgba16", PNG_COLOR_TYPE_RGBA, 16, false},
    {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false},
    {"palette2_alpha", PNG_COLOR_TYPE_PALETTE, 2, true},
    {"palette4", PNG_COLOR_TYPE_PALETTE, 4, true},
    {"palette8_alpha", PNG_COLOR_TYPE_PALETTE, 8, true},
};

// Each filter alone, and libpng's choice per row among all five.
const int kFilters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                        PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};

int Channels(int colour_type) {
  switch (colour_type) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GA:
      return 2;
    case PNG_COLOR_TYPE_RGBA:
      return 4;
    default:
      return 1;
  }
}

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto& out = *static_cast<Bytes*>(png_get_io_ptr(png));
  out.insert(out.end(), data, data + size);
}

// Smooth colour fields with a little noise (so that every filter has work),
// at the layout's depth; the colour key turns up now and then, and palette
// indices run past the palette (libpng shows those black).
Bytes WritePng(const Layout& layout, std::uint32_t width, std::uint32_t height, int filters,
               std::size_t idat_bytes = 8192) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr,
                                            [](png_structp, png_const_charp) {});
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write " << layout.label;
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_benign_errors(png, 1);
  png_set_IHDR(png, info, width, height, layout.depth, layout.colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
  png_set_compression_buffer_size(png, idat_bytes);
  const std::uint32_t max = (1u << layout.depth) - 1;
  png_color palette[256];
  png_byte palette_alpha[256];
  const int entries =
      layout.colour_type == PNG_COLOR_TYPE_PALETTE ? std::max(2, static_cast<int>(max) - 1) : 0;
  for (int i = 0; i < entries; ++i) {
    palette[i] = png_color{static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i),
                           static_cast<png_byte>(i * i)};
    palette_alpha[i] = static_cast<png_byte>(i * 51);
  }
  if (entries > 0) png_set_PLTE(png, info, palette, entries);
  png_color_16 key{};
  key.gray = static_cast<png_uint_16>(max / 3);
  key.red = static_cast<png_uint_16>(max / 2);
  key.green = static_cast<png_uint_16>(max / 4);
  key.blue = static_cast<png_uint_16>(max / 5);
  if (layout.transparency) {
    png_set_tRNS(png, info, palette_alpha, entries / 2, entries > 0 ? nullptr : &key);
  }
  png_write_info(png, info);
  const int channels = Channels(layout.colour_type);
  std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * channels);
  Bytes row((samples.size() * static_cast<std::size_t>(layout.depth) + 7) / 8);
  std::uint32_t noise = 12345;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        noise = noise * 1103515245u + 12345u;
        const std::uint32_t smooth = (x * (3 + c) + y * 5) * (max / 64 + 1);
        samples[x * channels + c] =
            static_cast<std::uint16_t>((smooth + ((noise >> 16) & 7)) & max);
      }
      if (layout.transparency && (x + y) % 7 == 0) {
        const std::uint16_t keyed[3] = {channels == 1 ? key.gray : key.red, key.green, key.blue};
        std::copy_n(keyed, channels == 3 ? 3 : 1, samples.begin() + x * channels);
      }
    }
    std::fill(row.begin(), row.end(), 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      if (layout.depth == 16) {
        row[2 * i] = static_cast<std::uint8_t>(samples[i] >> 8);
        row[2 * i + 1] = static_cast<std::uint8_t>(samples[i]);
      } else {
        const std::size_t bit = i * static_cast<std::size_t>(layout.depth);
        row[bit / 8] |= static_cast<std::uint8_t>(samples[i] << (8 - layout.depth - bit % 8));
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// How far the pixels must agree with libpng's: all of them; or, where the
// data breaks, those both delivered (zlib and ISA-L do not stop at the same
// bit, and libpng asks for more data before it needs it, so the rows shown
// before the break may differ; the outcome is then "truncated" where
// libpng's is "failed" if only ours showed a row).
enum class Agreement { kWhole, kWhereBothDelivered };

// Decodes `bytes` both ways and expects the same outcome and pixels.
void ExpectAsLibpng(const Bytes& bytes, Agreement agreement = Agreement::kWhole,
                    std::size_t most_per_read = SIZE_MAX) {
  DecodeRequest request;
  request.target_width = request.target_height = 1;
  MemoryByteSource source(bytes, most_per_read);
  CollectingSink sink;
  const DecodeOutcome outcome = DecodePng(source, sink, request);
  MemoryByteSource reference_source(bytes);
  CollectingSink reference;
  const DecodeOutcome expected = DecodePngWithLibpng(reference_source, reference, request);

  const bool whole = agreement == Agreement::kWhole || expected.status == DecodeStatus::kOk;
  EXPECT_EQ(outcome.reason, expected.reason);
  if (whole || reference.DeliveredPixels() > 0 || sink.DeliveredPixels() == 0) {
    EXPECT_EQ(outcome.status, expected.status);
  } else {
    EXPECT_EQ(outcome.status, DecodeStatus::kTruncated);
  }
  EXPECT_EQ(sink.misplaced(), 0u);
  ASSERT_EQ(sink.width(), reference.width());
  ASSERT_EQ(sink.height(), reference.height());
  if (whole) {
    EXPECT_EQ(sink.DeliveredPixels(), reference.DeliveredPixels());
  }
  for (std::uint32_t y = 0; y < sink.height(); ++y) {
    for (std::uint32_t x = 0; x < sink.width(); ++x) {
      if (!whole && !(sink.Delivered(x, y) && reference.Delivered(x, y))) continue;
      ASSERT_EQ(sink.At(x, y), reference.At(x, y))
          << x << "," << y << ": " << Describe(sink.At(x, y)) << " instead of "
          << Describe(reference.At(x, y));
    }
  }
}

class PngImageData : public ::testing::TestWithParam<Layout> {};

// Narrow pictures are decoded on one thread, wide ones on two.
TEST_P(PngImageData, EveryFilterAndWidthAsLibpng) {
  for (const std::uint32_t width : {1u, 37u, 1301u}) {
    for (const int filters : kFilters) {
      SCOPED_TRACE(std::to_string(width) + " wide, filters " + std::to_string(filters));
      const Bytes png = WritePng(GetParam(), width, 23, filters);
      ExpectAsLibpng(png);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngImageData, ::testing::ValuesIn(kLayouts),
                         [](const auto& test) { return std::string(test.param.label); });

// A picture of many small IDAT chunks, cut and spoilt in many places.
TEST(PngImageDataDamage, CutsAndBadBytesAsLibpng) {
  const Bytes whole = WritePng(kLayouts[9], 700, 40, PNG_ALL_FILTERS, 1000);
  const std::size_t size = whole.size();
  for (const std::size_t cut : {size / 3, size / 2, size - 40, size - 16, size - 12, size - 1}) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ExpectAsLibpng(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
  }
  for (const std::size_t at : {size / 4, size / 2, size - 30}) {
    SCOPED_TRACE("byte spoilt at " + std::to_string(at));
    Bytes spoilt = whole;
    spoilt[at] ^= 0x21;
    ExpectAsLibpng(spoilt);
  }
  ExpectAsLibpng(whole, Agreement::kWhole, 7);  // a source that gives little at a time
}

// Signature, IHDR of an 8-bit RGB picture, then `chunks`.
Bytes RgbPng(std::uint32_t width, std::uint32_t height, const std::vector<Bytes>& chunks);

Bytes Chunk(const char* type, const Bytes& data) {
  Bytes out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
  }
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(crc32(0, reinterpret_cast<const Bytef*>(type), 4), data.data(),
                          static_cast<uInt>(data.size()));
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(crc >> shift));
  return out;
}

Bytes RgbPng(std::uint32_t width, std::uint32_t height, const std::vector<Bytes>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  for (const std::uint32_t value : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      header.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  header.insert(header.end(), {8, 2, 0, 0, 0});
  const Bytes ihdr = Chunk("IHDR", header);
  out.insert(out.end(), ihdr.begin(), ihdr.end());
  for (const Bytes& chunk : chunks) out.insert(out.end(), chunk.begin(), chunk.end());
  const Bytes iend = Chunk("IEND", {});
  out.insert(out.end(), iend.begin(), iend.end());
  return out;
}

// `raw` (filter type bytes and rows) as a zlib stream; `finish` false leaves
// it without its last block.
Bytes Zlib(const Bytes& raw, bool finish = true) {
  z_stream stream{};
  deflateInit(&stream, 6);
  Bytes out(deflateBound(&stream, static_cast<uLong>(raw.size())) + 64);
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, finish ? Z_FINISH : Z_SYNC_FLUSH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Rows of 8-bit RGB, each with the given filter type byte.
Bytes Raw(std::uint32_t width, std::uint32_t height, std::uint8_t filter,
          std::uint32_t bad_row = ~0u) {
  Bytes raw;
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(y == bad_row ? 5 : filter);
    for (std::uint32_t i = 0; i < width * 3; ++i)
      raw.push_back(static_cast<std::uint8_t>(i * 7 + y));
  }
  return raw;
}

std::vector<Bytes> Idats(const Bytes& stream, std::size_t piece) {
  std::vector<Bytes> chunks;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    const std::size_t end = std::min(stream.size(), at + piece);
    chunks.push_back(Chunk("IDAT", Bytes(stream.begin() + static_cast<long>(at),
                                         stream.begin() + static_cast<long>(end))));
  }
  return chunks;
}

struct OddStream {
  const char* label;
  Bytes (*make)();
};

const OddStream kOddStreams[] = {
    {"one_byte_chunks", [] { return RgbPng(400, 6, Idats(Zlib(Raw(400, 6, 4)), 1)); }},
    {"bad_filter_type", [] { return RgbPng(400, 6, Idats(Zlib(Raw(400, 6, 1, 3)), 100)); }},
    {"too_little_data", [] { return RgbPng(400, 6, Idats(Zlib(Raw(400, 5, 2)), 500)); }},
    {"too_much_data", [] { return RgbPng(400, 6, Idats(Zlib(Raw(400, 9, 3)), 500)); }},
    {"adler_cut_short",
     [] {
       const Bytes stream = Zlib(Raw(400, 6, 3));
       return RgbPng(400, 6, Idats(Bytes(stream.begin(), stream.end() - 2), 500));
     }},
    {"too_much_data_adler_cut_short",
     [] {
       const Bytes stream = Zlib(Raw(400, 7, 3));
       return RgbPng(400, 6, Idats(Bytes(stream.begin(), stream.end() - 1), 500));
     }},
    {"stream_without_end", [] { return RgbPng(400, 6, Idats(Zlib(Raw(400, 6, 1), false), 500)); }},
    {"end_in_a_chunk_of_its_own",
     [] {
       const Bytes stream = Zlib(Raw(400, 6, 2));
       std::vector<Bytes> chunks = Idats(Bytes(stream.begin(), stream.end() - 6), 500);
       chunks.push_back(Chunk("IDAT", Bytes(stream.end() - 6, stream.end())));
       return RgbPng(400, 6, chunks);
     }},
    {"chunk_amid_the_data",
     [] {
       std::vector<Bytes> chunks = Idats(Zlib(Raw(400, 6, 4)), 300);
       chunks.insert(chunks.begin() + 1, Chunk("tEXt", Bytes{'a', 0, 'b'}));
       return RgbPng(400, 6, chunks);
     }},
    {"no_zlib_header",
     [] {
       const Bytes stream = Zlib(Raw(400, 6, 0));
       return RgbPng(400, 6, Idats(Bytes(stream.begin() + 2, stream.end()), 500));
     }},
};

class PngOddStreams : public ::testing::TestWithParam<OddStream> {};

TEST_P(PngOddStreams, AsLibpng) {
  ExpectAsLibpng(GetParam().make());
}

INSTANTIATE_TEST_SUITE_P(Streams, PngOddStreams, ::testing::ValuesIn(kOddStreams),
                         [](const auto& test) { return std::string(test.param.label); });

// The fuzz target's seeds and what it found, less their first byte (the
// target's own); their CRCs are right. As the target checks them.
TEST(PngFuzzFindings, AsLibpng) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VISTAMERE_PNG_SEEDS_DIR)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream file(entry.path(), std::ios::binary);
    const Bytes input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(input.empty());
    ExpectAsLibpng(Bytes(input.begin() + 1, input.end()), Agreement::kWhereBothDelivered);
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace vistamere::picture::testing
