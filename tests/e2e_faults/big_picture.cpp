#include "big_picture.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace vistamere::testing {
namespace {

constexpr std::uint32_t kSide = 16000;

using Bytes = std::vector<std::uint8_t>;

void PutBe32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void WriteBe32(std::ofstream& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.write(bytes, 4);
}

void WriteChunk(std::ofstream& out, const char* type, const std::uint8_t* data, std::size_t size) {
  WriteBe32(out, static_cast<std::uint32_t>(size));
  out.write(type, 4);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  crc = crc32(crc, data, static_cast<uInt>(size));
  WriteBe32(out, static_cast<std::uint32_t>(crc));
}

void WritePng(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const char signature[] = "\x89PNG\r\n\x1a\n";
  out.write(signature, 8);
  Bytes header;
  PutBe32(header, kSide);
  PutBe32(header, kSide);
  for (const std::uint8_t byte : {8, 2, 0, 0, 0}) header.push_back(byte);  // 8-bit RGB
  WriteChunk(out, "IHDR", header.data(), header.size());

  z_stream zs{};
  if (deflateInit(&zs, 1) != Z_OK) throw std::runtime_error("deflateInit failed");
  Bytes row(1 + std::size_t{kSide} * 3);
  Bytes compressed(1 << 20);
  for (std::uint32_t y = 0; y <= kSide; ++y) {
    const bool last = y == kSide;
    if (!last) {
      row[0] = 0;
      for (std::uint32_t x = 0; x < kSide; ++x) {
        row[1 + x * 3] = static_cast<std::uint8_t>(x >> 5);
        row[2 + x * 3] = static_cast<std::uint8_t>(y >> 5);
        row[3 + x * 3] = static_cast<std::uint8_t>((x ^ y) >> 6);
      }
    }
    zs.next_in = last ? nullptr : row.data();
    zs.avail_in = last ? 0 : static_cast<uInt>(row.size());
    do {
      zs.next_out = compressed.data();
      zs.avail_out = static_cast<uInt>(compressed.size());
      deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
      const std::size_t produced = compressed.size() - zs.avail_out;
      if (produced > 0) WriteChunk(out, "IDAT", compressed.data(), produced);
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  WriteChunk(out, "IEND", nullptr, 0);
}

}  // namespace

std::string BigPicture() {
  const std::filesystem::path folder = VISTAMERE_FAULTS_SCRATCH;
  std::filesystem::create_directories(folder);
  const std::filesystem::path path = folder / "big.png";
  if (!std::filesystem::exists(path)) {
    // Written under a private name first: tests running side by side never
    // see half a file.
    const std::filesystem::path part = folder / ("big.png." + std::to_string(::getpid()));
    WritePng(part.string());
    std::filesystem::rename(part, path);
  }
  return path.string();
}

}  // namespace vistamere::testing
