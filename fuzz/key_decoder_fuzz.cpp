// Terminal input in random pieces. The decoder must hold back no more than
// its bound, leave nothing pending after a flush, and - fed the same bytes
// in one piece - produce the same keys and replies: splits never matter.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "term/key_decoder.h"

namespace {

using vistamere::InputRecord;
using vistamere::term::KeyDecoder;
using vistamere::term::TerminalReply;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "key decoder: %s\n", what);
  std::abort();
}

struct Decoded {
  std::vector<InputRecord> records;
  std::vector<TerminalReply> replies;
};

void Drain(KeyDecoder& decoder, Decoded& out) {
  InputRecord record;
  while (decoder.Next(record)) out.records.push_back(record);
  while (auto reply = decoder.NextReply()) out.replies.push_back(*reply);
}

void CheckBound(const KeyDecoder& decoder) {
  if (decoder.pending_size() > KeyDecoder::kMaxPendingBytes) Fail("pending bytes over the bound");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool expect_report = input.ConsumeBool();
  // Flushing mid-stream changes the meaning of what follows, so a run
  // either flushes (no comparison) or compares split against whole.
  const bool flushes = input.ConsumeBool();

  KeyDecoder split;
  split.ExpectCursorReport(expect_report);
  Decoded split_out;
  std::vector<std::uint8_t> all;
  while (input.remaining_bytes() > 0) {
    const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(0, 48);
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(piece);
    all.insert(all.end(), bytes.begin(), bytes.end());
    split.Feed(bytes.data(), bytes.size());
    CheckBound(split);
    if (input.ConsumeBool()) Drain(split, split_out);
    if (flushes && input.ConsumeIntegralInRange(0, 7) == 0) {
      split.FlushPending();
      if (split.HasIncompleteSequence() || split.pending_size() != 0) {
        Fail("something still pending after a flush");
      }
    }
  }
  Drain(split, split_out);
  if (flushes) return 0;

  KeyDecoder whole;
  whole.ExpectCursorReport(expect_report);
  whole.Feed(all.data(), all.size());
  CheckBound(whole);
  Decoded whole_out;
  Drain(whole, whole_out);
  if (whole.pending_size() != split.pending_size()) Fail("split and whole leave different tails");
  if (whole_out.records != split_out.records) Fail("split and whole give different keys");
  if (whole_out.replies != split_out.replies) Fail("split and whole give different replies");
  return 0;
}
