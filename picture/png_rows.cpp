#include "picture/png_rows.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace vistamere::picture {
namespace {

int ChannelsOf(int colour_type) {
  switch (colour_type) {
    case 0:
    case 3:
      return 1;
    case 2:
      return 3;
    case 4:
      return 2;
    default:
      return 4;
  }
}

void UnfilterSub(const std::uint8_t* filtered, std::uint8_t* out, std::size_t size,
                 std::size_t bpp) {
  std::size_t i = 0;
  for (; i < bpp && i < size; ++i) out[i] = filtered[i];
  for (; i < size; ++i) out[i] = static_cast<std::uint8_t>(filtered[i] + out[i - bpp]);
}

void UnfilterUp(const std::uint8_t* filtered, const std::uint8_t* previous, std::uint8_t* out,
                std::size_t size) {
  std::size_t i = 0;
#ifdef __SSE2__
  for (; i + 16 <= size; i += 16) {
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(filtered + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(f, b));
  }
#endif
  for (; i < size; ++i) out[i] = static_cast<std::uint8_t>(filtered[i] + previous[i]);
}

void UnfilterAverage(const std::uint8_t* filtered, const std::uint8_t* previous, std::uint8_t* out,
                     std::size_t size, std::size_t bpp) {
  std::size_t i = 0;
  for (; i < bpp && i < size; ++i) {
    out[i] = static_cast<std::uint8_t>(filtered[i] + (previous[i] >> 1));
  }
  for (; i < size; ++i) {
    out[i] = static_cast<std::uint8_t>(filtered[i] + ((out[i - bpp] + previous[i]) >> 1));
  }
}

std::uint8_t Paeth(int a, int b, int c) {
  const int pa = b > c ? b - c : c - b;
  const int pb = a > c ? a - c : c - a;
  const int sum = b - c + a - c;
  const int pc = sum < 0 ? -sum : sum;
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

void UnfilterPaeth(const std::uint8_t* filtered, const std::uint8_t* previous, std::uint8_t* out,
                   std::size_t size, std::size_t bpp) {
  std::size_t i = 0;
  for (; i < bpp && i < size; ++i) out[i] = static_cast<std::uint8_t>(filtered[i] + previous[i]);
  for (; i < size; ++i) {
    out[i] = static_cast<std::uint8_t>(filtered[i] +
                                       Paeth(out[i - bpp], previous[i], previous[i - bpp]));
  }
}

#ifdef __SSE2__
// One pixel of kBpp bytes (3, 4, 6 or 8) at a time, in 16-bit lanes: the
// pixel to the left stays in a register, so that the chain from one pixel
// to the next is a few instructions long. Pixels are loaded and stored 4 or
// 8 bytes at a time (a byte or two of the next pixel along, which its own
// step then overwrites) while the row has that many bytes left: copying
// exactly 3 or 6 bytes would cost a stalled load per pixel.
template <std::size_t kBpp>
constexpr std::size_t kWide = kBpp <= 4 ? 4 : 8;

template <std::size_t kBpp>
__m128i LoadWide(const std::uint8_t* at) {
  if constexpr (kWide<kBpp> == 4) {
    std::int32_t bytes = 0;
    std::memcpy(&bytes, at, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128());
  } else {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)),
                             _mm_setzero_si128());
  }
}

template <std::size_t kBpp>
void StoreWide(std::uint8_t* at, __m128i lanes) {
  const __m128i bytes = _mm_packus_epi16(lanes, lanes);
  if constexpr (kWide<kBpp> == 4) {
    const std::int32_t value = _mm_cvtsi128_si32(bytes);
    std::memcpy(at, &value, 4);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), bytes);
  }
}

// The last pixels, exactly.
template <std::size_t kBpp>
__m128i LoadExact(const std::uint8_t* at) {
  std::uint8_t bytes[16] = {};
  std::memcpy(bytes, at, kBpp);
  return _mm_unpacklo_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                           _mm_setzero_si128());
}

template <std::size_t kBpp>
void StoreExact(std::uint8_t* at, __m128i lanes) {
  std::uint8_t bytes[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(lanes, lanes));
  std::memcpy(at, bytes, kBpp);
}

// Runs step(load(filtered), load(previous)) -> the pixel, over the row.
template <std::size_t kBpp, typename Step>
void ForEachPixel(const std::uint8_t* filtered, const std::uint8_t* previous, std::uint8_t* out,
                  std::size_t size, Step step) {
  std::size_t i = 0;
  for (; i + kWide<kBpp> <= size; i += kBpp) {
    StoreWide<kBpp>(out + i, step(LoadWide<kBpp>(filtered + i), LoadWide<kBpp>(previous + i)));
  }
  for (; i + kBpp <= size; i += kBpp) {
    StoreExact<kBpp>(out + i, step(LoadExact<kBpp>(filtered + i), LoadExact<kBpp>(previous + i)));
  }
}

template <std::size_t kBpp>
void UnfilterSubPixels(const std::uint8_t* filtered, const std::uint8_t* previous,
                       std::uint8_t* out, std::size_t size) {
  __m128i a = _mm_setzero_si128();
  const __m128i low = _mm_set1_epi16(0x00FF);
  ForEachPixel<kBpp>(filtered, previous, out, size, [&](__m128i x, __m128i) {
    a = _mm_and_si128(_mm_add_epi16(a, x), low);
    return a;
  });
}

template <std::size_t kBpp>
void UnfilterAveragePixels(const std::uint8_t* filtered, const std::uint8_t* previous,
                           std::uint8_t* out, std::size_t size) {
  __m128i a = _mm_setzero_si128();
  const __m128i low = _mm_set1_epi16(0x00FF);
  ForEachPixel<kBpp>(filtered, previous, out, size, [&](__m128i x, __m128i b) {
    const __m128i average = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
    a = _mm_and_si128(_mm_add_epi16(average, x), low);
    return a;
  });
}

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

__m128i Abs16(__m128i value) {
  return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

// The pixel whose left, upper and upper left neighbours are a, b and c,
// filtered as x.
__m128i PaethStep(__m128i a, __m128i b, __m128i c, __m128i x) {
  const __m128i b_minus_c = _mm_sub_epi16(b, c);
  const __m128i a_minus_c = _mm_sub_epi16(a, c);
  const __m128i pa = Abs16(b_minus_c);
  const __m128i pb = Abs16(a_minus_c);
  const __m128i pc = Abs16(_mm_add_epi16(b_minus_c, a_minus_c));
  const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
  // Ties go to a, then b, then c.
  __m128i nearest = Select(_mm_cmpeq_epi16(smallest, pb), b, c);
  nearest = Select(_mm_cmpeq_epi16(smallest, pa), a, nearest);
  return _mm_and_si128(_mm_add_epi16(nearest, x), _mm_set1_epi16(0x00FF));
}

template <std::size_t kBpp>
void UnfilterPaethPixels(const std::uint8_t* filtered, const std::uint8_t* previous,
                         std::uint8_t* out, std::size_t size) {
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  ForEachPixel<kBpp>(filtered, previous, out, size, [&](__m128i x, __m128i b) {
    a = PaethStep(a, b, c, x);
    c = b;
    return a;
  });
}

// A pixel at `at` of a row of `size` bytes, loaded or stored wide where
// the row allows.
template <std::size_t kBpp>
__m128i LoadPixel(const std::uint8_t* row, std::size_t at, std::size_t size) {
  return at + kWide<kBpp> <= size ? LoadWide<kBpp>(row + at) : LoadExact<kBpp>(row + at);
}

template <std::size_t kBpp>
void StorePixel(std::uint8_t* row, std::size_t at, std::size_t size, __m128i lanes) {
  if (at + kWide<kBpp> <= size) {
    StoreWide<kBpp>(row + at, lanes);
  } else {
    StoreExact<kBpp>(row + at, lanes);
  }
}

// Two rows under Paeth at once, in the two halves of each register: the
// second row's pixel k - 1 beside the first row's pixel k, whose left
// neighbour is the second's upper neighbour. Each step (a chain of a dozen
// instructions from the last) so does two pixels.
template <std::size_t kBpp>
void UnfilterPaethPair(const std::uint8_t* first, const std::uint8_t* second,
                       const std::uint8_t* previous, std::uint8_t* first_out,
                       std::uint8_t* second_out, std::size_t size) {
  const std::size_t pixels = size / kBpp;
  // a: the last step's result; c: the last step's upper neighbours.
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  for (std::size_t k = 0; k <= pixels; ++k) {
    const std::size_t at = k * kBpp;
    const bool in_first = k < pixels;
    const __m128i first_x = in_first ? LoadPixel<kBpp>(first, at, size) : _mm_setzero_si128();
    const __m128i first_b = in_first ? LoadPixel<kBpp>(previous, at, size) : _mm_setzero_si128();
    const __m128i second_x = k > 0 ? LoadPixel<kBpp>(second, at - kBpp, size) : _mm_setzero_si128();
    const __m128i b = _mm_unpacklo_epi64(first_b, a);
    a = PaethStep(a, b, c, _mm_unpacklo_epi64(first_x, second_x));
    c = b;
    if (in_first) StorePixel<kBpp>(first_out, at, size, a);
    if (k > 0) {
      StorePixel<kBpp>(second_out, at - kBpp, size, _mm_unpackhi_epi64(a, a));
    } else {
      a = _mm_unpacklo_epi64(a, _mm_setzero_si128());  // nothing left of the second row
    }
  }
}

template <std::size_t kBpp>
void UnfilterPixels(std::uint8_t filter, const std::uint8_t* filtered, const std::uint8_t* previous,
                    std::uint8_t* out, std::size_t size) {
  switch (filter) {
    case kPngFilterSub:
      UnfilterSubPixels<kBpp>(filtered, previous, out, size);
      break;
    case kPngFilterAverage:
      UnfilterAveragePixels<kBpp>(filtered, previous, out, size);
      break;
    default:
      UnfilterPaethPixels<kBpp>(filtered, previous, out, size);
      break;
  }
}
#endif

}  // namespace

bool UnfilterPngRow(std::uint8_t filter, const std::uint8_t* filtered, const std::uint8_t* previous,
                    std::uint8_t* out, std::size_t size, std::size_t bpp) {
  switch (filter) {
    case kPngFilterNone:
      std::memcpy(out, filtered, size);
      return true;
    case kPngFilterUp:
      UnfilterUp(filtered, previous, out, size);
      return true;
    case kPngFilterSub:
    case kPngFilterAverage:
    case kPngFilterPaeth:
      break;
    default:
      return false;
  }
#ifdef __SSE2__
  // Rows are whole pixels at these depths.
  switch (bpp) {
    case 3:
      UnfilterPixels<3>(filter, filtered, previous, out, size);
      return true;
    case 4:
      UnfilterPixels<4>(filter, filtered, previous, out, size);
      return true;
    case 6:
      UnfilterPixels<6>(filter, filtered, previous, out, size);
      return true;
    case 8:
      UnfilterPixels<8>(filter, filtered, previous, out, size);
      return true;
    default:
      break;
  }
#endif
  if (filter == kPngFilterSub) {
    UnfilterSub(filtered, out, size, bpp);
  } else if (filter == kPngFilterAverage) {
    UnfilterAverage(filtered, previous, out, size, bpp);
  } else {
    UnfilterPaeth(filtered, previous, out, size, bpp);
  }
  return true;
}

bool UnfilterPngPaethPair(const std::uint8_t* first, const std::uint8_t* second,
                          const std::uint8_t* previous, std::uint8_t* first_out,
                          std::uint8_t* second_out, std::size_t size, std::size_t bpp) {
#ifdef __SSE2__
  if (bpp == 3) {
    UnfilterPaethPair<3>(first, second, previous, first_out, second_out, size);
    return true;
  }
  if (bpp == 4) {
    UnfilterPaethPair<4>(first, second, previous, first_out, second_out, size);
    return true;
  }
#endif
  static_cast<void>(first);
  static_cast<void>(second);
  static_cast<void>(previous);
  static_cast<void>(first_out);
  static_cast<void>(second_out);
  static_cast<void>(size);
  static_cast<void>(bpp);
  return false;
}

void NarrowSamples(const std::uint8_t* samples, std::size_t count, std::uint8_t* narrowed) {
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  for (; i + 16 <= count; i += 16) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * i));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * i + 16));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(narrowed + i),
        _mm_packus_epi16(_mm_and_si128(first, low_bytes), _mm_and_si128(second, low_bytes)));
  }
#endif
  for (; i < count; ++i) narrowed[i] = samples[2 * i];
}

namespace {

template <int kChannels>
void ToRgbaOf(const std::uint8_t* pixels, std::uint32_t count, std::uint8_t* rgba) {
  for (std::uint32_t i = 0; i < count; ++i, pixels += kChannels, rgba += 4) {
    if constexpr (kChannels <= 2) {
      rgba[0] = rgba[1] = rgba[2] = pixels[0];
    } else {
      rgba[0] = pixels[0];
      rgba[1] = pixels[1];
      rgba[2] = pixels[2];
    }
    rgba[3] = kChannels % 2 == 0 ? pixels[kChannels - 1] : 0xFF;
  }
}

#ifdef __SSE2__
// RGB to RGBA 16 bytes (5 pixels and a third) at a time: the 4 whole pixels
// of each 12 bytes are spread out by a byte shuffle.
__attribute__((target("ssse3"))) void RgbToRgbaShuffled(const std::uint8_t* pixels,
                                                        std::uint32_t count, std::uint8_t* rgba) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t i = 0;
  // Reads 16 bytes for the 12 of 4 pixels: stops while 16 are there.
  for (; i + 6 <= count; i += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rgba + 4 * i),
                     _mm_or_si128(_mm_shuffle_epi8(in, spread), opaque));
  }
  ToRgbaOf<3>(pixels + 3 * i, count - static_cast<std::uint32_t>(i), rgba + 4 * i);
}

bool HasSsse3() {
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3") != 0);
  return has;
}
#endif

}  // namespace

void ChannelsToRgba(int channels, const std::uint8_t* pixels, std::uint32_t count,
                    std::uint8_t* rgba) {
  switch (channels) {
    case 1:
      ToRgbaOf<1>(pixels, count, rgba);
      break;
    case 2:
      ToRgbaOf<2>(pixels, count, rgba);
      break;
    case 3:
#ifdef __SSE2__
      if (HasSsse3()) {
        RgbToRgbaShuffled(pixels, count, rgba);
        break;
      }
#endif
      ToRgbaOf<3>(pixels, count, rgba);
      break;
    default:
      std::memcpy(rgba, pixels, std::size_t{count} * 4);
      break;
  }
}

bool PngFormatValid(const PngPixelFormat& format) {
  const int depth = format.bit_depth;
  switch (format.colour_type) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::size_t PngRowBytes(const PngPixelFormat& format) {
  const std::uint64_t bits = std::uint64_t{format.width} *
                             static_cast<std::uint64_t>(ChannelsOf(format.colour_type)) *
                             static_cast<std::uint64_t>(format.bit_depth);
  return static_cast<std::size_t>((bits + 7) / 8);
}

std::size_t PngFilterBpp(const PngPixelFormat& format) {
  const int bits = ChannelsOf(format.colour_type) * format.bit_depth;
  return bits < 8 ? 1 : static_cast<std::size_t>(bits / 8);
}

namespace {

std::uint32_t Rgba(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                 static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)};
  std::uint32_t value = 0;
  std::memcpy(&value, bytes, 4);
  return value;
}

}  // namespace

namespace {

// Samples of 1, 2 or 4 bits, kPerByte to a byte, the first in its high
// bits: each byte's pixels come whole from `byte_pixels` (kPerByte RGBA
// pixels for each byte value).
template <std::size_t kPerByte>
void UnpackBytes(const std::uint8_t* raw, std::size_t width, const std::uint32_t* byte_pixels,
                 std::uint8_t* rgba) {
  const std::size_t whole = width / kPerByte;
  for (std::size_t i = 0; i < whole; ++i) {
    std::memcpy(rgba + 4 * kPerByte * i, byte_pixels + kPerByte * raw[i], 4 * kPerByte);
  }
  const std::size_t rest = width - whole * kPerByte;
  if (rest > 0) {
    std::memcpy(rgba + 4 * kPerByte * whole, byte_pixels + kPerByte * raw[whole], 4 * rest);
  }
}

}  // namespace

PngRowConverter::PngRowConverter(const PngPixelFormat& format)
    : format_(format), channels_(ChannelsOf(format.colour_type)) {
  const int depth = format.bit_depth;
  const std::size_t width = format.width;
  if (format.colour_type == 3 || (format.colour_type == 0 && depth <= 8)) {
    kind_ = Kind::kIndexed;
    if (format.colour_type == 3) {
      // libpng's palette has 256 entries, those past the PLTE chunk black;
      // alpha past the tRNS chunk's values is opaque.
      for (std::size_t i = 0; i < 256; ++i) {
        const bool listed = 3 * i + 2 < format.palette.size();
        const std::uint8_t* entry = listed ? format.palette.data() + 3 * i : nullptr;
        const std::uint32_t alpha = i < format.palette_alpha.size() ? format.palette_alpha[i] : 255;
        table_[i] = listed ? Rgba(entry[0], entry[1], entry[2], alpha) : Rgba(0, 0, 0, alpha);
      }
    } else {
      // Grey of fewer bits is scaled up to 8; the key compares the sample's
      // own bits (libpng masks it to the depth).
      const std::uint32_t levels = 1u << depth;
      const std::uint32_t scale = 255 / (levels - 1);
      for (std::uint32_t v = 0; v < levels; ++v) {
        const bool keyed = format.has_key && v == (format.key[0] & (levels - 1));
        table_[v] = Rgba(v * scale, v * scale, v * scale, keyed ? 0 : 255);
      }
    }
    if (depth < 8) {
      const int per_byte = 8 / depth;
      const std::uint32_t mask = (1u << depth) - 1;
      byte_pixels_.resize(256 * static_cast<std::size_t>(per_byte));
      for (std::uint32_t v = 0; v < 256; ++v) {
        for (int i = 0; i < per_byte; ++i) {
          byte_pixels_[v * static_cast<std::uint32_t>(per_byte) + static_cast<std::uint32_t>(i)] =
              table_[(v >> (8 - depth * (i + 1))) & mask];
        }
      }
    }
  } else if (depth == 16) {
    kind_ = format.has_key ? Kind::kKeyWide : Kind::kNarrow;
    narrowed_.resize(width * static_cast<std::size_t>(channels_));
  } else if (format.colour_type == 2 && format.has_key) {
    kind_ = Kind::kKeyRgb8;
  } else {
    kind_ = format.colour_type == 6 ? Kind::kRgba8 : Kind::kChannels;
  }
  if (kind_ != Kind::kRgba8) rgba_.resize(width * 4);
}

const std::uint8_t* PngRowConverter::ToRgba(const std::uint8_t* raw) {
  const std::uint32_t width = format_.width;
  std::uint8_t* rgba = rgba_.data();
  switch (kind_) {
    case Kind::kRgba8:
      return raw;
    case Kind::kChannels:
      ChannelsToRgba(channels_, raw, width, rgba);
      return rgba;
    case Kind::kNarrow:
      if (channels_ == 4) {
        NarrowSamples(raw, std::size_t{width} * 4, rgba);
      } else {
        NarrowSamples(raw, std::size_t{width} * static_cast<std::size_t>(channels_),
                      narrowed_.data());
        ChannelsToRgba(channels_, narrowed_.data(), width, rgba);
      }
      return rgba;
    case Kind::kIndexed: {
      const int depth = format_.bit_depth;
      if (depth == 8) {
        for (std::size_t x = 0; x < width; ++x) std::memcpy(rgba + 4 * x, &table_[raw[x]], 4);
        return rgba;
      }
      switch (depth) {
        case 1:
          UnpackBytes<8>(raw, width, byte_pixels_.data(), rgba);
          break;
        case 2:
          UnpackBytes<4>(raw, width, byte_pixels_.data(), rgba);
          break;
        default:
          UnpackBytes<2>(raw, width, byte_pixels_.data(), rgba);
          break;
      }
      return rgba;
    }
    case Kind::kKeyRgb8: {
      const std::uint8_t r = static_cast<std::uint8_t>(format_.key[0] & 0xFF);
      const std::uint8_t g = static_cast<std::uint8_t>(format_.key[1] & 0xFF);
      const std::uint8_t b = static_cast<std::uint8_t>(format_.key[2] & 0xFF);
      for (std::size_t x = 0; x < width; ++x, raw += 3) {
        rgba[4 * x] = raw[0];
        rgba[4 * x + 1] = raw[1];
        rgba[4 * x + 2] = raw[2];
        rgba[4 * x + 3] = raw[0] == r && raw[1] == g && raw[2] == b ? 0 : 0xFF;
      }
      return rgba;
    }
    case Kind::kKeyWide: {
      const auto samples = static_cast<std::size_t>(channels_);  // 1 or 3
      for (std::size_t x = 0; x < width; ++x, raw += 2 * samples) {
        bool keyed = true;
        for (std::size_t s = 0; s < samples; ++s) {
          const std::uint16_t value =
              static_cast<std::uint16_t>((raw[2 * s] << 8) | raw[2 * s + 1]);
          keyed = keyed && value == format_.key[s];
        }
        rgba[4 * x] = raw[0];
        rgba[4 * x + 1] = samples == 3 ? raw[2] : raw[0];
        rgba[4 * x + 2] = samples == 3 ? raw[4] : raw[0];
        rgba[4 * x + 3] = keyed ? 0 : 0xFF;
      }
      return rgba;
    }
  }
  return raw;
}

}  // namespace vistamere::picture
