// A PNG's image data read without libpng: the IDAT chunks one after the
// other, each chunk's CRC checked, their zlib stream inflated by ISA-L.
// Anything short of a well-formed stream is reported, not judged: the
// caller lets libpng decide what such a file shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "picture/byte_source.h"

struct inflate_state;

namespace vistamere::picture {

// CRC-32 as PNG chunks (and gzip) have it, continuing from `crc` (0 to start).
[[nodiscard]] std::uint32_t PngCrc(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size);

// What libpng allows an IDAT chunk of a picture (png_check_chunk_length),
// given what it allows any chunk: longer ones are irregular.
[[nodiscard]] std::uint64_t PngIdatLimit(std::uint32_t width, std::uint32_t height, int channels,
                                         int bit_depth, std::uint64_t chunk_limit);

class PngIdatInflater {
 public:
  enum class State {
    kRunning,    // all well so far
    kDone,       // Finish() found the stream's end and the CRCs right
    kTruncated,  // the file ended
    kIrregular,  // a bad CRC, a bad zlib stream, another chunk before its end...
  };

  // Reads from `source`, which stands just after the first IDAT chunk's
  // type (`first_length` its length); `ahead` (`ahead_size` bytes) were
  // already read from there and come first. A chunk longer than
  // `idat_limit` is irregular.
  PngIdatInflater(ByteSource& source, const std::uint8_t* ahead, std::size_t ahead_size,
                  std::uint32_t first_length, std::uint64_t idat_limit);
  ~PngIdatInflater();
  PngIdatInflater(const PngIdatInflater&) = delete;
  PngIdatInflater& operator=(const PngIdatInflater&) = delete;

  // Inflates the next bytes of the image into `out`, up to `capacity` of
  // them, and returns how many. Fewer only once state() is not kRunning (a
  // stream that ends first is irregular). Asks for no more than the image
  // holds: what follows it is Finish()'s.
  [[nodiscard]] std::size_t Inflate(std::uint8_t* out, std::size_t capacity);

  // Once the whole image is out: reads the end of the stream (the end of
  // the deflate data and the Adler-32) and the rest of the chunk that holds
  // it, checking its CRC. The state becomes kDone when all is as libpng
  // takes it without a doubt; data past the image is irregular.
  void Finish();

  [[nodiscard]] State state() const { return state_; }

 private:
  [[nodiscard]] std::size_t ReadBytes(std::uint8_t* out, std::size_t size);
  [[nodiscard]] bool LoadInput();
  [[nodiscard]] bool StartChunk();
  [[nodiscard]] bool CheckCrc();
  [[nodiscard]] bool TakeZlibHeader();
  [[nodiscard]] bool Step(std::uint8_t* out, std::size_t capacity, std::size_t& produced);

  ByteSource& source_;
  const std::uint8_t* ahead_;
  std::size_t ahead_size_;
  std::uint64_t idat_limit_;
  std::unique_ptr<inflate_state> inflate_;
  std::vector<std::uint8_t> input_;
  State state_ = State::kRunning;
  std::uint64_t chunk_left_ = 0;  // data bytes of the current chunk not yet read
  std::uint32_t crc_ = 0;         // of the current chunk so far
  bool crc_pending_ = true;       // the current chunk's CRC is still to be read
  bool file_ended_ = false;       // seen while reading the data now in input_
  bool output_full_ = false;      // the last step filled its output
  bool stream_ended_ = false;
  int header_taken_ = 0;
  std::uint8_t header_[2] = {};
};

}  // namespace vistamere::picture
