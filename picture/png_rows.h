// A PNG's rows as stored, after inflating: undoing the five filters, and
// turning every colour type and bit depth into RGBA as libpng does with
// png_set_expand and png_set_tRNS_to_alpha (16-bit samples keep their more
// significant byte). For the decoder that reads the image data itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistamere::picture {

// The filter types, as the byte before each row has them.
enum PngFilter : std::uint8_t {
  kPngFilterNone = 0,
  kPngFilterSub = 1,
  kPngFilterUp = 2,
  kPngFilterAverage = 3,
  kPngFilterPaeth = 4,
};

// Undoes `filter` on one row of `size` bytes: `filtered` as stored (after
// its filter type byte), `previous` the row above unfiltered (zeros for the
// first row), `bpp` the bytes of a whole pixel (at least 1). `out` must not
// overlap the other two. False for a filter type above 4.
[[nodiscard]] bool UnfilterPngRow(std::uint8_t filter, const std::uint8_t* filtered,
                                  const std::uint8_t* previous, std::uint8_t* out, std::size_t size,
                                  std::size_t bpp);

// Undoes the Paeth filter on two rows at once, faster than one after the
// other: `first` under `previous`, `second` under `first` (all as for
// UnfilterPngRow). Only for whole pixels of 3 or 4 bytes: false otherwise,
// and nothing done.
[[nodiscard]] bool UnfilterPngPaethPair(const std::uint8_t* first, const std::uint8_t* second,
                                        const std::uint8_t* previous, std::uint8_t* first_out,
                                        std::uint8_t* second_out, std::size_t size,
                                        std::size_t bpp);

// Keeps the more significant (first) byte of each of `count` 16-bit samples.
void NarrowSamples(const std::uint8_t* samples, std::size_t count, std::uint8_t* narrowed);

// `count` pixels of 1 to 4 8-bit channels (grey, grey and alpha, RGB, RGBA)
// as RGBA.
void ChannelsToRgba(int channels, const std::uint8_t* pixels, std::uint32_t count,
                    std::uint8_t* rgba);

// What a picture's rows need to become RGBA: its header and, for a palette
// or a colour key, the PLTE and tRNS chunks as libpng read them.
struct PngPixelFormat {
  std::uint32_t width = 0;
  int colour_type = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  int bit_depth = 8;    // 1, 2, 4, 8 or 16, as the colour type allows
  // Palette entries as R G B (up to 256).
  std::vector<std::uint8_t> palette;
  // A palette's alpha values (up to 256; entries past them are opaque).
  std::vector<std::uint8_t> palette_alpha;
  // The colour key of grey (key[0]) or RGB pictures, when there is one.
  bool has_key = false;
  std::array<std::uint16_t, 3> key{};
};

// The bytes of a row as stored (without the filter type byte), and of a
// whole pixel as the filters count them.
[[nodiscard]] std::size_t PngRowBytes(const PngPixelFormat& format);
[[nodiscard]] std::size_t PngFilterBpp(const PngPixelFormat& format);
// Whether the colour type and bit depth go together.
[[nodiscard]] bool PngFormatValid(const PngPixelFormat& format);

class PngRowConverter {
 public:
  explicit PngRowConverter(const PngPixelFormat& format);

  // The unfiltered row `raw` as `width` RGBA pixels: `raw` itself or the
  // converter's own buffer, valid until the next call.
  [[nodiscard]] const std::uint8_t* ToRgba(const std::uint8_t* raw);

 private:
  enum class Kind {
    kRgba8,     // as stored
    kChannels,  // 8-bit grey, grey and alpha, RGB
    kNarrow,    // 16-bit, no colour key
    kIndexed,   // palette, or grey of up to 8 bits with or without a key: a table
    kKeyRgb8,   // RGB with a colour key
    kKeyWide,   // 16-bit grey or RGB with a colour key
  };
  PngPixelFormat format_;
  Kind kind_ = Kind::kRgba8;
  int channels_ = 4;
  std::array<std::uint32_t, 256> table_{};  // RGBA of each sample value or index
  std::vector<std::uint32_t> byte_pixels_;  // below 8 bits: the pixels of each byte value
  std::vector<std::uint8_t> rgba_;
  std::vector<std::uint8_t> narrowed_;
};

}  // namespace vistamere::picture
