#include "hostile_bytes.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace vistamere::picture::testing {

void PutLe16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutLe32(Bytes& out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}
void PutBe16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}
void PutBe32(Bytes& out, std::uint32_t value) {
  PutBe16(out, value >> 16);
  PutBe16(out, value & 0xFFFF);
}
void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}
void Append(Bytes& out, std::initializer_list<std::uint8_t> more) {
  out.insert(out.end(), more.begin(), more.end());
}
void Fill(Bytes& out, std::size_t count, std::uint8_t value) {
  for (std::size_t i = 0; i < count; ++i) out.push_back(value);
}
void Append(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

Bytes PngChunk(const std::string& type, const Bytes& data, bool bad_crc) {
  Bytes chunk;
  PutBe32(chunk, static_cast<std::uint32_t>(data.size()));
  Append(chunk, type);
  Append(chunk, data);
  uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  if (bad_crc) crc ^= 0x1;
  PutBe32(chunk, static_cast<std::uint32_t>(crc));
  return chunk;
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())) != Z_OK) {
    throw std::runtime_error("deflate failed");
  }
  out.resize(size);
  return out;
}

Bytes Png(std::uint32_t width, std::uint32_t height, int bit_depth, int colour_type,
          const Bytes& rows, const Bytes& palette) {
  Bytes png;
  png.reserve(1024);
  Append(png, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  Bytes header;
  PutBe32(header, width);
  PutBe32(header, height);
  Append(header,
         {static_cast<std::uint8_t>(bit_depth), static_cast<std::uint8_t>(colour_type), 0, 0, 0});
  Append(png, PngChunk("IHDR", header));
  if (!palette.empty()) Append(png, PngChunk("PLTE", palette));
  Append(png, PngChunk("IDAT", Deflate(rows)));
  Append(png, PngChunk("IEND", {}));
  return png;
}

Bytes Bmp(const BmpFields& f) {
  Bytes info;
  PutLe32(info, 40);
  PutLe32(info, static_cast<std::uint32_t>(f.width));
  PutLe32(info, static_cast<std::uint32_t>(f.height));
  PutLe16(info, 1);
  PutLe16(info, f.bits);
  PutLe32(info, f.compression);
  PutLe32(info, static_cast<std::uint32_t>(f.pixels.size()));
  PutLe32(info, 2835);
  PutLe32(info, 2835);
  PutLe32(info, f.colours_used);
  PutLe32(info, 0);
  for (const std::uint32_t mask : f.masks) PutLe32(info, mask);
  Append(info, f.palette);

  const std::uint32_t offset = f.pixel_offset >= 0 ? static_cast<std::uint32_t>(f.pixel_offset)
                                                   : static_cast<std::uint32_t>(14 + info.size());
  Bytes bmp;
  bmp.reserve(1024);
  Append(bmp, {'B', 'M'});
  PutLe32(bmp, static_cast<std::uint32_t>(14 + info.size() + f.pixels.size()));
  PutLe32(bmp, 0);
  PutLe32(bmp, offset);
  Append(bmp, info);
  Append(bmp, f.pixels);
  return bmp;
}

Bytes JpegWithSize(std::uint32_t width, std::uint32_t height) {
  Bytes jpeg;
  jpeg.reserve(1024);
  Append(jpeg, {0xFF, 0xD8});
  // Quantisation table 0, all ones.
  Append(jpeg, {0xFF, 0xDB, 0x00, 0x43, 0x00});
  Fill(jpeg, 64, 1);
  Append(jpeg, {0xFF, 0xC0, 0x00, 0x11, 0x08});
  PutBe16(jpeg, height);
  PutBe16(jpeg, width);
  Append(jpeg, {0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00});
  // One DC and one AC Huffman table, each with a single one-bit code.
  Append(jpeg, {0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01});
  Fill(jpeg, 15, 0);
  Append(jpeg, {0x00});
  Append(jpeg, {0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01});
  Fill(jpeg, 15, 0);
  Append(jpeg, {0x00});
  Append(jpeg,
         {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x3F, 0x00});
  Fill(jpeg, 64, 0x00);
  Append(jpeg, {0xFF, 0xD9});
  return jpeg;
}

Bytes GifWithSizes(std::uint32_t screen_width, std::uint32_t screen_height, std::uint32_t left,
                   std::uint32_t top, std::uint32_t width, std::uint32_t height) {
  Bytes gif;
  Append(gif, std::string("GIF89a"));
  PutLe16(gif, screen_width);
  PutLe16(gif, screen_height);
  Append(gif, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF});  // 2-entry palette
  Append(gif, {0x2C});
  PutLe16(gif, left);
  PutLe16(gif, top);
  PutLe16(gif, width);
  PutLe16(gif, height);
  // No local palette; LZW minimum code size 2: clear, a few pixels, end.
  Append(gif, {0x00, 0x02, 0x02, 0x4C, 0x01, 0x00, 0x3B});
  return gif;
}

Bytes TiffWithSize(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                   std::uint16_t samples, std::uint32_t strip_offset, std::uint32_t strip_bytes,
                   std::uint16_t planar) {
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t value;
  };
  const Entry entries[] = {
      {256, 4, width},
      {257, 4, height},
      {258, 3, bits},
      {259, 3, 1},
      {262, 3, samples >= 3 ? 2u : 1u},
      {273, 4, strip_offset},
      {277, 3, samples},
      {278, 4, height},
      {279, 4, strip_bytes},
      {284, 3, planar},
  };
  Bytes tiff;
  tiff.reserve(1024);
  Append(tiff, {'I', 'I', 42, 0});
  PutLe32(tiff, 8);
  PutLe16(tiff, static_cast<std::uint32_t>(std::size(entries)));
  for (const Entry& e : entries) {
    PutLe16(tiff, e.tag);
    PutLe16(tiff, e.type);
    PutLe32(tiff, 1);
    if (e.type == 3) {
      PutLe16(tiff, e.value);
      PutLe16(tiff, 0);
    } else {
      PutLe32(tiff, e.value);
    }
  }
  PutLe32(tiff, 0);
  Fill(tiff, 64, 0x80);
  return tiff;
}

Bytes WebpVp8x(std::uint32_t canvas_width, std::uint32_t canvas_height, const Bytes& payload) {
  Bytes body;
  Append(body, std::string("WEBP"));
  Append(body, std::string("VP8X"));
  PutLe32(body, 10);
  PutLe32(body, 0);
  const std::uint32_t w = canvas_width - 1;
  const std::uint32_t h = canvas_height - 1;
  Append(body, {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8),
                static_cast<std::uint8_t>(w >> 16), static_cast<std::uint8_t>(h),
                static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16)});
  Append(body, payload);
  Bytes webp;
  Append(webp, std::string("RIFF"));
  PutLe32(webp, static_cast<std::uint32_t>(body.size()));
  Append(webp, body);
  return webp;
}

const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string name = (std::filesystem::temp_directory_path() / "vistamere-hostile-XXXXXX");
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    static const std::string kept = name;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(kept, ignored);
    });
    return std::filesystem::path(name);
  }();
  return folder;
}

std::string WriteScratchFile(const std::string& name, const Bytes& bytes) {
  const std::filesystem::path path = ScratchFolder() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

Bytes MadeByImageMagick(const std::string& options, const std::string& name) {
  static std::map<std::string, Bytes> made;
  if (auto found = made.find(name); found != made.end()) return found->second;
  const std::filesystem::path path = ScratchFolder() / ("made-" + name);
  const std::string command = "convert " + options + " '" + path.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  made[name] = bytes;
  return bytes;
}

}  // namespace vistamere::picture::testing
