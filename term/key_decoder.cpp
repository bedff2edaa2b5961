#include "term/key_decoder.h"

#include <span>

#include "term/key_records.h"
#include "term/key_sequence_parser.h"
#include "term/sequence_bytes.h"

namespace vistamere::term {
namespace {

constexpr std::uint8_t kBell = 0x07;
constexpr std::uint8_t kCancel = 0x18;
constexpr std::uint8_t kSubstitute = 0x1A;

constexpr bool IsSequenceBodyByte(std::uint8_t b) {
  return IsParameterByte(b) || IsIntermediateByte(b);
}

}  // namespace

// An incomplete unit is at most ESC and a sequence cut short.
static_assert(1 + kLongestSequence <= KeyDecoder::kMaxPendingBytes);

void KeyDecoder::Feed(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  pending_.insert(pending_.end(), bytes, bytes + count);
  Decode();
}

void KeyDecoder::Decode() {
  std::size_t position = 0;
  while (position < pending_.size()) {
    if (skip_ != Skip::kNone) {
      const std::size_t taken = SkipFrom(position);
      position += taken;
      if (taken == 0 && skip_ != Skip::kNone) break;
      continue;
    }
    const DecodedUnit unit =
        DecodeUnit(std::span(pending_).subspan(position), expect_cursor_report_);
    if (unit.length == 0) break;
    position += unit.length;
    if (unit.key) PushKey(*unit.key);
    if (unit.reply) {
      if (unit.reply->kind == TerminalReply::Kind::kCursorPosition) expect_cursor_report_ = false;
      replies_.push_back(*unit.reply);
    }
    if (unit.starts_string) skip_ = Skip::kString;
    if (unit.starts_sequence_tail) skip_ = Skip::kSequenceTail;
  }
  // What is left is one incomplete unit, never longer than a sequence may be.
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(position));
}

std::size_t KeyDecoder::SkipFrom(std::size_t position) {
  std::size_t i = position;
  if (skip_ == Skip::kSequenceTail) {
    for (; i < pending_.size(); ++i) {
      const std::uint8_t b = pending_[i];
      if (IsSequenceBodyByte(b)) continue;
      if (IsFinalByte(b)) ++i;
      skip_ = Skip::kNone;
      break;
    }
    return i - position;
  }
  // A string ends at BEL or ST (ESC \); CAN, SUB or the ESC of another sequence cut it short.
  for (; i < pending_.size(); ++i) {
    const std::uint8_t b = pending_[i];
    if (b == kBell || b == kCancel || b == kSubstitute) {
      skip_ = Skip::kNone;
      return i + 1 - position;
    }
    if (b == kEscByte) {
      if (i + 1 == pending_.size()) return i - position;
      skip_ = Skip::kNone;
      return (pending_[i + 1] == '\\' ? i + 2 : i) - position;
    }
  }
  return i - position;
}

void KeyDecoder::PushKey(const KeyEventRecord& key) {
  InputRecord record;
  record.type = InputEventType::kKey;
  record.key = key;
  records_.push_back(record);
}

bool KeyDecoder::Next(InputRecord& record) {
  if (records_.empty()) return false;
  record = records_.front();
  records_.pop_front();
  return true;
}

std::optional<TerminalReply> KeyDecoder::NextReply() {
  if (replies_.empty()) return std::nullopt;
  const TerminalReply reply = replies_.front();
  replies_.pop_front();
  return reply;
}

bool KeyDecoder::HasIncompleteSequence() const {
  return !pending_.empty() || skip_ != Skip::kNone;
}

void KeyDecoder::FlushPending() {
  if (skip_ != Skip::kNone) {
    skip_ = Skip::kNone;
    pending_.clear();
    return;
  }
  if (pending_.empty()) return;
  if (pending_[0] != kEscByte) {
    PushKey(UnknownCharacterKey());  // an unfinished UTF-8 character
  } else if (pending_.size() == 1) {
    PushKey(EscapeKey());
  } else if (pending_[1] >= 0x80) {
    PushKey(AltKey(UnknownCharacterKey()));
  } else if (pending_.size() == 2) {
    PushKey(AltKey(KeyOfByte(pending_[1])));
  }
  // Anything longer is a sequence cut short in transit, not typed keys: dropped.
  pending_.clear();
}

}  // namespace vistamere::term
