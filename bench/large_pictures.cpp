// vistamere-large-pictures DIR
// Writes the largest pictures the loader admits (about 2^30 pixels), small
// on disk, into DIR unless they are there already, and prints one line per
// file: its path and what it is. Made with the formats' own libraries
// (libtiff, libpng, libjpeg) where they can write such files; the GIF's LZW
// stream is written here, as no encoder keeps a full code table.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSide = 32768;
constexpr std::uint32_t kSideMinusOne = 32767;

// Large squares, alternately set and clear: a 1-bit row of `width` pixels
// packed eight to a byte, most significant bit first.
void SquaresRow(std::uint32_t y, std::uint32_t width, Bytes& row) {
  row.assign((width + 7) / 8, 0);
  for (std::uint32_t x = 0; x < width; ++x) {
    if ((((x >> 12) ^ (y >> 12)) & 1) != 0)
      row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  }
}

bool WriteTiffOneStrip(const std::string& path) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSideMinusOne);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 9);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSideMinusOne);
  Bytes row;
  bool ok = true;
  for (std::uint32_t y = 0; y < kSideMinusOne && ok; ++y) {
    SquaresRow(y, kSide, row);
    ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
  }
  TIFFClose(tiff);
  return ok;
}

// 8-bit RGB in one Deflate strip, interleaved or as three planes of one
// strip each.
bool WriteTiffRgbOneStrip(const std::string& path, bool planes) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSideMinusOne);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, planes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 9);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSideMinusOne);
  Bytes bits;
  Bytes row;
  bool ok = true;
  for (std::uint16_t plane = 0; plane < (planes ? 3 : 1) && ok; ++plane) {
    for (std::uint32_t y = 0; y < kSideMinusOne && ok; ++y) {
      SquaresRow(y, kSide, bits);
      row.assign(std::size_t{kSide} * (planes ? 1 : 3), 0);
      for (std::uint32_t x = 0; x < kSide; ++x) {
        const bool set = (bits[x / 8] & (0x80 >> (x % 8))) != 0;
        if (planes) {
          row[x] = set ? static_cast<std::uint8_t>(80 * plane + 40) : 0;
        } else {
          row[x * 3] = set ? 200 : 20;
          row[x * 3 + 1] = 120;
          row[x * 3 + 2] = set ? 40 : 220;
        }
      }
      ok = TIFFWriteScanline(tiff, row.data(), y, plane) == 1;
    }
  }
  TIFFClose(tiff);
  return ok;
}

// 8-bit RLE8: each row runs of at most 255 pixels of two colours.
bool WriteBmpRle8(const std::string& path) {
  Bytes pixels;
  Bytes bits;
  for (std::uint32_t y = 0; y < kSideMinusOne; ++y) {
    SquaresRow(kSideMinusOne - 1 - y, kSide, bits);  // bottom-up
    for (std::uint32_t x = 0; x < kSide;) {
      const std::uint8_t colour = (bits[x / 8] & (0x80 >> (x % 8))) != 0 ? 1 : 0;
      std::uint32_t run = 1;
      while (run < 255 && x + run < kSide &&
             ((bits[(x + run) / 8] & (0x80 >> ((x + run) % 8))) != 0 ? 1 : 0) == colour) {
        ++run;
      }
      pixels.push_back(static_cast<std::uint8_t>(run));
      pixels.push_back(colour);
      x += run;
    }
    pixels.push_back(0);
    pixels.push_back(y + 1 == kSideMinusOne ? 1 : 0);  // end of line, of bitmap
  }
  auto le32 = [](Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  constexpr std::uint32_t kHeaders = 14 + 40 + 2 * 4;
  Bytes out = {'B', 'M'};
  le32(out, static_cast<std::uint32_t>(kHeaders + pixels.size()));
  le32(out, 0);
  le32(out, kHeaders);
  le32(out, 40);
  le32(out, kSide);
  le32(out, kSideMinusOne);
  le32(out, 1 | (8 << 16));  // planes, bits per pixel
  le32(out, 1);              // RLE8
  le32(out, static_cast<std::uint32_t>(pixels.size()));
  le32(out, 2835);
  le32(out, 2835);
  le32(out, 2);  // colours used
  le32(out, 0);
  le32(out, 0x00A05A28);  // two palette entries, B G R 0
  le32(out, 0x0020C8F0);
  out.insert(out.end(), pixels.begin(), pixels.end());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written;
}

// `row(y, bytes)` fills row y as libpng takes it.
bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height, int depth,
              int colour_type, bool interlaced,
              const std::function<void(std::uint32_t, Bytes&)>& row) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, depth, colour_type,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int passes = interlaced ? png_set_interlace_handling(png) : 1;
  Bytes bytes;
  for (int pass = 0; pass < passes; ++pass) {
    for (std::uint32_t y = 0; y < height; ++y) {
      row(y, bytes);
      png_write_row(png, bytes.data());
    }
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// GIF's variable-width codes, least significant bit first, in sub-blocks.
class GifCodeWriter {
 public:
  explicit GifCodeWriter(Bytes& out) : out_(out) {}
  void Put(std::uint32_t code, int bits) {
    pending_ |= std::uint64_t{code} << pending_bits_;
    pending_bits_ += bits;
    while (pending_bits_ >= 8) {
      Byte(static_cast<std::uint8_t>(pending_));
      pending_ >>= 8;
      pending_bits_ -= 8;
    }
  }
  void Finish() {
    if (pending_bits_ > 0) Byte(static_cast<std::uint8_t>(pending_));
    if (!block_.empty()) Flush();
    out_.push_back(0);
  }

 private:
  void Byte(std::uint8_t value) {
    block_.push_back(value);
    if (block_.size() == 255) Flush();
  }
  void Flush() {
    out_.push_back(static_cast<std::uint8_t>(block_.size()));
    out_.insert(out_.end(), block_.begin(), block_.end());
    block_.clear();
  }
  Bytes& out_;
  Bytes block_;
  std::uint64_t pending_ = 0;
  int pending_bits_ = 0;
};

// One colour throughout, as LZW codes for ever longer runs until the table
// is full (4096 codes), then the longest run again and again.
bool WriteGif(const std::string& path, std::uint32_t width, std::uint32_t height) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  out.reserve(std::size_t{1} << 20);
  auto le16 = [&out](std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
  };
  le16(width);
  le16(height);
  out.insert(out.end(), {0x80, 0, 0, 40, 90, 160, 255, 255, 255});  // two colours
  out.push_back(0x2C);
  le16(0);
  le16(0);
  le16(width);
  le16(height);
  out.push_back(0);
  out.push_back(2);  // minimum code size
  GifCodeWriter codes(out);
  constexpr std::uint32_t kClear = 4;
  constexpr std::uint32_t kEnd = 5;
  // The decoder's view: the code it will assign next and the code width.
  std::uint32_t next = kEnd + 1;
  int bits = 3;
  auto put = [&](std::uint32_t code) {
    codes.Put(code, bits);
    if (next < 4097 && ++next > (1u << bits) && bits < 12) ++bits;
  };
  codes.Put(kClear, bits);
  // Code k of a run of one colour stands for k + 1 pixels: 0 for one, then
  // the entry the previous code made.
  std::uint64_t left = std::uint64_t{width} * height;
  constexpr std::uint32_t kLongestCode = 4094;  // kept clear of the table's last entry
  std::uint32_t code = 0;
  std::uint64_t length = 1;
  while (left > 0) {
    if (length > left) {
      length = left;
      code = length == 1 ? 0 : static_cast<std::uint32_t>(kEnd + length - 1);
    }
    put(code);
    left -= length;
    if (code < kLongestCode) {
      code = code == 0 ? kEnd + 1 : code + 1;
      length = code - kEnd + 1;
    }
  }
  put(kEnd);
  codes.Finish();
  out.push_back(0x3B);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written;
}

bool WriteJpeg(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = kSide;
  info.image_height = kSideMinusOne;
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 75, TRUE);
  jpeg_start_compress(&info, TRUE);
  Bytes bits;
  Bytes row(kSide);
  while (info.next_scanline < info.image_height) {
    SquaresRow(info.next_scanline, kSide, bits);
    for (std::uint32_t x = 0; x < kSide; ++x) row[x] = (bits[x / 8] & (0x80 >> (x % 8))) ? 230 : 30;
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

struct LargePicture {
  const char* name;
  const char* what;
  std::function<bool(const std::string&)> write;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: vistamere-large-pictures DIR\n", stderr);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  auto squares = [](std::uint32_t y, Bytes& row) { SquaresRow(y, kSide, row); };
  const LargePicture pictures[] = {
      {"tiff-1bit-deflate-one-strip.tif", "TIFF 32768x32767 1-bit, Deflate, one strip",
       WriteTiffOneStrip},
      {"tiff-rgb-deflate-one-strip.tif", "TIFF 32768x32767 8-bit RGB, Deflate, one strip",
       [](const std::string& path) { return WriteTiffRgbOneStrip(path, false); }},
      {"tiff-rgb-planes-one-strip.tif",
       "TIFF 32768x32767 8-bit RGB in three planes, Deflate, one strip each",
       [](const std::string& path) { return WriteTiffRgbOneStrip(path, true); }},
      {"png-1bit-interlaced.png", "PNG 32768x32767 1-bit, Adam7",
       [&](const std::string& path) {
         return WritePng(path, kSide, kSideMinusOne, 1, PNG_COLOR_TYPE_GRAY, true, squares);
       }},
      {"png-1bit.png", "PNG 32768x32767 1-bit",
       [&](const std::string& path) {
         return WritePng(path, kSide, kSideMinusOne, 1, PNG_COLOR_TYPE_GRAY, false, squares);
       }},
      {"png-bomb-grey8.png", "PNG 32768x32767 8-bit grey, all zero (1 GiB inflated)",
       [](const std::string& path) {
         return WritePng(path, kSide, kSideMinusOne, 8, PNG_COLOR_TYPE_GRAY, false,
                         [](std::uint32_t, Bytes& row) { row.assign(kSide, 0); });
       }},
      {"png-bomb-rgba16.png", "PNG 32768x32767 16-bit RGBA, all zero (8 GiB inflated)",
       [](const std::string& path) {
         return WritePng(path, kSide, kSideMinusOne, 16, PNG_COLOR_TYPE_RGB_ALPHA, false,
                         [](std::uint32_t, Bytes& row) { row.assign(std::size_t{kSide} * 8, 0); });
       }},
      {"png-narrow-interlaced.png", "PNG 16x33554432 8-bit grey, Adam7 (the most rows admitted)",
       [](const std::string& path) {
         return WritePng(
             path, 16, std::uint32_t{1} << 25, 8, PNG_COLOR_TYPE_GRAY, true,
             [](std::uint32_t y, Bytes& row) { row.assign(16, (y >> 12) % 2 != 0 ? 200 : 30); });
       }},
      {"gif-65535x16384.gif", "GIF 65535x16384, one colour, full LZW table",
       [](const std::string& path) { return WriteGif(path, 65535, 16384); }},
      {"jpeg-grey.jpg", "JPEG 32768x32767 grey, baseline", WriteJpeg},
      {"bmp-rle8.bmp", "BMP 32768x32767 8-bit RLE8", WriteBmpRle8},
  };
  int status = 0;
  for (const LargePicture& picture : pictures) {
    const std::filesystem::path path = dir / picture.name;
    if (!std::filesystem::exists(path)) {
      const std::filesystem::path part = dir / (std::string("part-") + picture.name);
      if (!picture.write(part.string())) {
        std::fprintf(stderr, "vistamere-large-pictures: cannot write %s\n", part.c_str());
        status = 1;
        continue;
      }
      std::filesystem::rename(part, path);
    }
    std::printf("%s\t%s\n", path.c_str(), picture.what);
  }
  return status;
}
