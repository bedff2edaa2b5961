// Arbitrary bytes: the decoder never fails, holds back a bounded number of
// bytes, decodes the same however the stream is cut, and a flush always
// leaves it ready for new input.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "key_decoder_test_support.h"

namespace vistamere::term {
namespace {

// Bytes that steer the decoder into its sequences more often than uniform
// random bytes would.
constexpr std::array<char, 16> kSequenceBytes = {'\033', '[', 'O', ']', 'P',  ';',  ':', '1',
                                                 '5',    '~', 'u', 'M', '\\', '\a', '$', '?'};

std::string RandomStream(std::mt19937& random) {
  std::uniform_int_distribution<int> length(0, 600);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<std::size_t> pick(0, kSequenceBytes.size() - 1);
  std::string bytes(static_cast<std::size_t>(length(random)), '\0');
  for (char& c : bytes) {
    c = any_byte(random) < 128 ? kSequenceBytes[pick(random)] : static_cast<char>(any_byte(random));
  }
  return bytes;
}

std::vector<std::size_t> RandomCuts(std::mt19937& random, std::size_t size) {
  std::vector<std::size_t> cuts;
  std::uniform_int_distribution<std::size_t> step(1, 40);
  for (std::size_t at = step(random); at < size; at += step(random)) cuts.push_back(at);
  return cuts;
}

TEST(KeyDecoderRobustness, RandomStreamsDecodeTheSameHoweverCut) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::string bytes = RandomStream(random);
    const auto whole = testing::DecodeWhole(bytes);
    const auto pieces = testing::DecodePieces(bytes, RandomCuts(random, bytes.size()));
    ASSERT_EQ(pieces.records, whole.records) << "round " << round;
    ASSERT_EQ(pieces.replies, whole.replies) << "round " << round;
  }
}

TEST(KeyDecoderRobustness, HoldsBackBoundedBytesAndRecoversAfterAFlush) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> chunk(1, 64);
  for (int round = 0; round < 300; ++round) {
    KeyDecoder decoder;
    const std::string bytes = RandomStream(random) + RandomStream(random);
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t count = std::min(chunk(random), bytes.size() - at);
      decoder.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data() + at), count);
      at += count;
      ASSERT_LE(decoder.pending_size(), KeyDecoder::kMaxPendingBytes);
      InputRecord record;
      while (decoder.Next(record)) {
        ASSERT_EQ(record.type, InputEventType::kKey);
      }
      while (decoder.NextReply()) {
      }
    }
    decoder.FlushPending();
    ASSERT_FALSE(decoder.HasIncompleteSequence());
    decoder.Feed(reinterpret_cast<const std::uint8_t*>("q"), 1);
    InputRecord record;
    while (decoder.Next(record)) {
    }
    EXPECT_EQ(record.key.character, 'q');
  }
}

}  // namespace
}  // namespace vistamere::term
