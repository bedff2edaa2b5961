#include "picture/png_idat.h"

#include <algorithm>
#include <cstring>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

namespace vistamere::picture {
namespace {

// Chunks are read into memory this much at a time; a chunk that fits is
// checked against its CRC before any of it is inflated.
constexpr std::size_t kInputBytes = std::size_t{256} * 1024;
constexpr std::uint32_t kMaxLength = 0x7FFFFFFFu;
constexpr std::uint8_t kIdat[4] = {'I', 'D', 'A', 'T'};
// libpng reads a chunk's data in pieces this large (PNG_IDAT_READ_SIZE) and
// inflates none of a piece the file ends in: nor is it here.
constexpr std::size_t kLibpngPiece = 8192;
static_assert(kInputBytes % kLibpngPiece == 0);

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

}  // namespace

std::uint32_t PngCrc(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
  return crc32_gzip_refl(crc, bytes, size);
}

std::uint64_t PngIdatLimit(std::uint32_t width, std::uint32_t height, int channels, int bit_depth,
                           std::uint64_t chunk_limit) {
  // libpng 1.6's arithmetic, in 64 bits.
  std::uint64_t row_factor =
      std::uint64_t{width} * static_cast<std::uint64_t>(channels) * (bit_depth > 8 ? 2u : 1u) + 1;
  std::uint64_t limit = kMaxLength;
  if (height <= 0xFFFFFFFFull / row_factor) limit = height * row_factor;
  row_factor = std::min<std::uint64_t>(row_factor, 32566);
  limit += 6 + 5 * (limit / row_factor + 1);
  limit = std::min<std::uint64_t>(limit, kMaxLength);
  return std::max(limit, std::min<std::uint64_t>(chunk_limit, kMaxLength));
}

PngIdatInflater::PngIdatInflater(ByteSource& source, const std::uint8_t* ahead,
                                 std::size_t ahead_size, std::uint32_t first_length,
                                 std::uint64_t idat_limit)
    : source_(source),
      ahead_(ahead),
      ahead_size_(ahead_size),
      idat_limit_(idat_limit),
      inflate_(std::make_unique<inflate_state>()),
      input_(kInputBytes) {
  isal_inflate_init(inflate_.get());
  inflate_->crc_flag = ISAL_DEFLATE;  // the zlib header is read here; Adler-32 is not checked
  inflate_->avail_in = 0;
  if (first_length > kMaxLength || first_length > idat_limit_) {
    state_ = State::kIrregular;
    return;
  }
  chunk_left_ = first_length;
  crc_ = PngCrc(0, kIdat, 4);
  crc_pending_ = true;
}

PngIdatInflater::~PngIdatInflater() = default;

std::size_t PngIdatInflater::ReadBytes(std::uint8_t* out, std::size_t size) {
  const std::size_t from_ahead = std::min(size, ahead_size_);
  if (from_ahead > 0) {
    std::memcpy(out, ahead_, from_ahead);
    ahead_ += from_ahead;
    ahead_size_ -= from_ahead;
  }
  return from_ahead + ReadFully(source_, out + from_ahead, size - from_ahead);
}

// Reads the current chunk's CRC and compares.
bool PngIdatInflater::CheckCrc() {
  std::uint8_t stored[4];
  if (ReadBytes(stored, 4) < 4) {
    file_ended_ = true;
    return true;  // what was read is still inflated first, as libpng does
  }
  crc_pending_ = false;
  if (BigEndian32(stored) != crc_) {
    state_ = State::kIrregular;
    return false;
  }
  return true;
}

// The header of the chunk after the current one: true when it is an IDAT
// chunk within the limits.
bool PngIdatInflater::StartChunk() {
  std::uint8_t header[8];
  if (ReadBytes(header, 8) < 8) {
    state_ = State::kTruncated;
    return false;
  }
  const std::uint32_t length = BigEndian32(header);
  if (std::memcmp(header + 4, kIdat, 4) != 0 || length > kMaxLength || length > idat_limit_) {
    state_ = State::kIrregular;
    return false;
  }
  chunk_left_ = length;
  crc_ = PngCrc(0, kIdat, 4);
  crc_pending_ = true;
  return true;
}

// The two bytes before the deflate data: deflate, a window of at most
// 32 KiB, no preset dictionary, a valid check (as zlib and libpng have it).
bool PngIdatInflater::TakeZlibHeader() {
  while (header_taken_ < 2 && inflate_->avail_in > 0) {
    header_[header_taken_++] = *inflate_->next_in++;
    --inflate_->avail_in;
  }
  if (header_taken_ < 2) return true;
  const unsigned cmf = header_[0];
  const unsigned flg = header_[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20) != 0) {
    state_ = State::kIrregular;
    return false;
  }
  inflate_->hist_bits = (cmf >> 4) + 8;
  header_taken_ = 3;  // checked
  return true;
}

// Puts the next piece of image data in input_: the rest of the current
// chunk, or of the chunks after it. False when there is none (the state
// says why).
bool PngIdatInflater::LoadInput() {
  while (state_ == State::kRunning) {
    if (file_ended_) {
      state_ = State::kTruncated;
      return false;
    }
    if (chunk_left_ == 0) {
      if (crc_pending_ && !CheckCrc()) return false;
      if (file_ended_) continue;
      if (!StartChunk()) return false;
      continue;
    }
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk_left_, input_.size()));
    std::size_t got = ReadBytes(input_.data(), wanted);
    crc_ = PngCrc(crc_, input_.data(), got);
    chunk_left_ -= got;
    if (got < wanted) {
      file_ended_ = true;
      got -= got % kLibpngPiece;
    } else if (chunk_left_ == 0 && !CheckCrc()) {
      return false;
    }
    inflate_->next_in = input_.data();
    inflate_->avail_in = static_cast<std::uint32_t>(got);
    if (header_taken_ < 3 && !TakeZlibHeader()) return false;
    if (inflate_->avail_in > 0) return true;
  }
  return false;
}

// One call of the inflater into out[produced, capacity); false when it
// could not go on.
bool PngIdatInflater::Step(std::uint8_t* out, std::size_t capacity, std::size_t& produced) {
  if (!output_full_ && inflate_->avail_in == 0 && !LoadInput()) return false;
  const std::size_t room = std::min<std::size_t>(capacity - produced, 0xFFFFFFFFu);
  inflate_->next_out = out + produced;
  inflate_->avail_out = static_cast<std::uint32_t>(room);
  const std::uint32_t avail_in = inflate_->avail_in;
  const int result = isal_inflate(inflate_.get());
  const std::size_t made = room - inflate_->avail_out;
  if (result < 0 || result == ISAL_NEED_DICT) {
    // What this call wrote is not to be trusted: the inflater can write
    // past the point where zlib stops.
    state_ = State::kIrregular;
    return false;
  }
  produced += made;
  if (inflate_->block_state == ISAL_BLOCK_FINISH) {
    stream_ended_ = true;
    output_full_ = false;
    return true;
  }
  output_full_ = inflate_->avail_out == 0;
  if (made == 0 && inflate_->avail_in == avail_in && inflate_->avail_in > 0) {
    state_ = State::kIrregular;  // no progress: never expected
    return false;
  }
  return true;
}

std::size_t PngIdatInflater::Inflate(std::uint8_t* out, std::size_t capacity) {
  std::size_t produced = 0;
  while (produced < capacity && state_ == State::kRunning) {
    if (stream_ended_) {
      state_ = State::kIrregular;  // libpng: not enough image data
      break;
    }
    if (!Step(out, capacity, produced)) break;
  }
  return produced;
}

void PngIdatInflater::Finish() {
  if (state_ != State::kRunning) return;
  // After the image only the end of the deflate data may come: more image
  // data is for libpng to judge.
  std::uint8_t extra = 0;
  while (!stream_ended_) {
    std::size_t produced = 0;
    if (!Step(&extra, 1, produced)) return;
    if (produced > 0) {
      state_ = State::kIrregular;
      return;
    }
  }
  // Then zlib's Adler-32, which libpng reads (from the chunks after, if
  // need be) but does not check. What the inflater took of it is still in
  // its bit buffer.
  std::size_t trailer =
      inflate_->avail_in + static_cast<std::size_t>(std::max(0, inflate_->read_in_length) / 8);
  while (trailer < 4) {
    inflate_->avail_in = 0;
    if (!LoadInput()) return;
    trailer += inflate_->avail_in;
  }
  // The rest of the chunk that holds it, unread by libpng too but for its CRC.
  while (chunk_left_ > 0 && !file_ended_) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk_left_, input_.size()));
    const std::size_t got = ReadBytes(input_.data(), wanted);
    crc_ = PngCrc(crc_, input_.data(), got);
    chunk_left_ -= got;
    if (got < wanted) file_ended_ = true;
  }
  if (!file_ended_ && crc_pending_ && !CheckCrc()) return;
  state_ = file_ended_ ? State::kTruncated : State::kDone;
}

}  // namespace vistamere::picture
