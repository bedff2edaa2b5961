// Byte-level builders for hostile picture files: little- and big-endian
// fields, PNG chunks with their CRC, minimal headers of every format with
// the fields an attacker controls, and honest pictures made by ImageMagick.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace vistamere::picture::testing {

using Bytes = std::vector<std::uint8_t>;

void PutLe16(Bytes& out, std::uint32_t value);
void PutLe32(Bytes& out, std::uint32_t value);
void PutBe16(Bytes& out, std::uint32_t value);
void PutBe32(Bytes& out, std::uint32_t value);
void Append(Bytes& out, const Bytes& more);
void Append(Bytes& out, std::initializer_list<std::uint8_t> more);
void Append(Bytes& out, const std::string& text);
void Fill(Bytes& out, std::size_t count, std::uint8_t value);

// A PNG chunk: length, type, data and CRC (`bad_crc` spoils the CRC).
Bytes PngChunk(const std::string& type, const Bytes& data, bool bad_crc = false);
// Signature, IHDR, optional PLTE, one IDAT of `rows` deflated, IEND.
Bytes Png(std::uint32_t width, std::uint32_t height, int bit_depth, int colour_type,
          const Bytes& rows, const Bytes& palette = {});
Bytes Deflate(const Bytes& raw);

struct BmpFields {
  std::int32_t width = 8;
  std::int32_t height = 8;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
  std::uint32_t colours_used = 0;
  std::vector<std::uint32_t> masks;  // after the 40-byte header, for bit fields
  Bytes palette;                     // 4 bytes per entry
  Bytes pixels;
  std::int64_t pixel_offset = -1;  // -1: right after the palette
};
Bytes Bmp(const BmpFields& fields);

// SOI, SOF0 with the given size and three components, SOS, a little
// entropy-coded junk, EOI.
Bytes JpegWithSize(std::uint32_t width, std::uint32_t height);
// A GIF with the given logical screen and one image of the given place and
// size, a two-entry global palette and a tiny LZW stream.
Bytes GifWithSizes(std::uint32_t screen_width, std::uint32_t screen_height, std::uint32_t left,
                   std::uint32_t top, std::uint32_t width, std::uint32_t height);
// A little-endian TIFF with one strip at `strip_offset` of `strip_bytes`
// (`planar` 2: the samples in planes, that strip for each).
Bytes TiffWithSize(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                   std::uint16_t samples, std::uint32_t strip_offset, std::uint32_t strip_bytes,
                   std::uint16_t planar = 1);
// RIFF WEBP with a VP8X chunk declaring the canvas, then `payload`.
Bytes WebpVp8x(std::uint32_t canvas_width, std::uint32_t canvas_height, const Bytes& payload = {});

// Honest pictures: `convert <options> <folder>/<name>`, cached per name.
Bytes MadeByImageMagick(const std::string& options, const std::string& name);

// A scratch folder for this test binary, removed at exit.
const std::filesystem::path& ScratchFolder();
std::string WriteScratchFile(const std::string& name, const Bytes& bytes);

}  // namespace vistamere::picture::testing
