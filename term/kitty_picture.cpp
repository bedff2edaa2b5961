#include "term/kitty_picture.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <vector>

#include "term/escape_sequences.h"

namespace vistamere::term {
namespace {

constexpr int kPictureImage = 1;
constexpr int kBoxImage = 2;
// Below the text; the boxes between the picture and the text.
constexpr int kPictureLayer = -2;
constexpr int kBoxLayer = -1;
// The protocol takes a command's data in pieces of at most this many
// base64 characters.
constexpr std::size_t kChunk = 4096;

void AppendNumber(int value, std::string& out) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  escape::AppendDecimal(static_cast<std::uint32_t>(value), out);
}

std::string Base64(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (std::size_t i = 0; i < size; i += 3) {
    const std::uint32_t a = data[i];
    const std::uint32_t b = i + 1 < size ? data[i + 1] : 0;
    const std::uint32_t c = i + 2 < size ? data[i + 2] : 0;
    const std::uint32_t triple = (a << 16) | (b << 8) | c;
    out += kDigits[(triple >> 18) & 63];
    out += kDigits[(triple >> 12) & 63];
    out += i + 1 < size ? kDigits[(triple >> 6) & 63] : '=';
    out += i + 2 < size ? kDigits[triple & 63] : '=';
  }
  return out;
}

// The image's control data ("a=t,...") and its payload, in pieces.
void AppendChunked(const std::string& control, const std::string& payload, std::string& out) {
  for (std::size_t at = 0; at == 0 || at < payload.size(); at += kChunk) {
    const bool more = at + kChunk < payload.size();
    out += "\x1b_G";
    if (at == 0) {
      out += control;
      out += ',';
    }
    out += more ? "m=1" : "m=0";
    out += ';';
    out.append(payload, at, kChunk);
    out += "\x1b\\";
  }
}

}  // namespace

KittyPicture::KittyPicture(const picture::Canvas& canvas, int columns, int rows)
    : columns_(columns), rows_(rows) {
  int width = canvas.width;
  int height = canvas.height;
  std::vector<std::uint8_t> black(3, 0);
  const std::uint8_t* pixels = canvas.rgb.data();
  if (width <= 0 || height <= 0) {
    width = 1;
    height = 1;
    pixels = black.data();
  }
  const auto size = static_cast<uLong>(width) * static_cast<uLong>(height) * 3;
  std::vector<std::uint8_t> packed(compressBound(size));
  uLongf packed_size = packed.size();
  std::string control = "a=t,q=2,i=" + std::to_string(kPictureImage) +
                        ",f=24,s=" + std::to_string(width) + ",v=" + std::to_string(height);
  std::string payload;
  if (compress2(packed.data(), &packed_size, pixels, size, Z_BEST_SPEED) == Z_OK) {
    control += ",o=z";
    payload = Base64(packed.data(), packed_size);
  } else {
    payload = Base64(pixels, size);
  }
  AppendChunked(control, payload, transmit_);
  const std::array<std::uint8_t, 3> box{0, 0, 0};
  AppendChunked("a=t,q=2,i=" + std::to_string(kBoxImage) + ",f=24,s=1,v=1",
                Base64(box.data(), box.size()), transmit_);
}

void KittyPicture::AppendPlace(std::string& out) const {
  out += "\x1b_Ga=p,q=2,C=1,i=";
  AppendNumber(kPictureImage, out);
  out += ",p=1,c=";
  AppendNumber(columns_, out);
  out += ",r=";
  AppendNumber(rows_, out);
  out += ",z=";
  AppendNumber(kPictureLayer, out);
  out += "\x1b\\";
}

void KittyPicture::AppendRemoveBoxes(std::string& out) {
  // Lower-case d: the placements go, the image stays for the next boxes.
  out += "\x1b_Ga=d,q=2,d=i,i=";
  AppendNumber(kBoxImage, out);
  out += "\x1b\\";
}

void KittyPicture::AppendBox(int count, std::string& out) {
  out += "\x1b_Ga=p,q=2,C=1,i=";
  AppendNumber(kBoxImage, out);
  out += ",c=";
  AppendNumber(count, out);
  out += ",r=1,z=";
  AppendNumber(kBoxLayer, out);
  out += "\x1b\\";
}

}  // namespace vistamere::term
