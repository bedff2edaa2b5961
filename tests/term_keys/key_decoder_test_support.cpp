#include "key_decoder_test_support.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "console/text_console.h"

namespace vistamere::term::testing {
namespace {

void Drain(KeyDecoder& decoder, Decoded& out) {
  InputRecord record;
  while (decoder.Next(record)) out.records.push_back(record);
  while (auto reply = decoder.NextReply()) out.replies.push_back(*reply);
}

void FeedText(KeyDecoder& decoder, std::string_view bytes) {
  decoder.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Two-byte key strings (0x00 and a scan code) are written wholly in hex.
std::string Readable(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (bytes.size() == 1 && b > 0x20 && b < 0x7F && b != '<' && b != '|') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", b);
      out += hex;
    }
  }
  return out;
}

}  // namespace

Decoded DecodePieces(std::string_view bytes, const std::vector<std::size_t>& cuts,
                     bool expect_cursor_report) {
  KeyDecoder decoder;
  decoder.ExpectCursorReport(expect_cursor_report);
  Decoded out;
  std::size_t begin = 0;
  for (const std::size_t cut : cuts) {
    FeedText(decoder, bytes.substr(begin, cut - begin));
    Drain(decoder, out);
    begin = cut;
  }
  FeedText(decoder, bytes.substr(begin));
  Drain(decoder, out);
  out.incomplete_before_flush = decoder.HasIncompleteSequence();
  decoder.FlushPending();
  Drain(decoder, out);
  return out;
}

Decoded DecodeWhole(std::string_view bytes, bool expect_cursor_report) {
  return DecodePieces(bytes, {}, expect_cursor_report);
}

std::string KeyStrings(const std::vector<InputRecord>& records) {
  std::string out;
  for (const InputRecord& record : records) {
    const auto key = KeyStringOf(record.key);
    if (!key) continue;
    if (!out.empty()) out += '|';
    out += Readable(*key);
  }
  return out;
}

std::string TestName(std::string_view name) {
  std::string out;
  for (const char c : name) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

std::string SplitDifference(std::string_view bytes, bool expect_cursor_report) {
  const Decoded whole = DecodeWhole(bytes, expect_cursor_report);
  auto differs = [&](const Decoded& other) {
    return other.records != whole.records || other.replies != whole.replies;
  };
  for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
    if (differs(DecodePieces(bytes, {cut}, expect_cursor_report))) {
      return "cut at " + std::to_string(cut);
    }
  }
  std::vector<std::size_t> every;
  for (std::size_t cut = 1; cut < bytes.size(); ++cut) every.push_back(cut);
  if (differs(DecodePieces(bytes, every, expect_cursor_report))) return "fed byte by byte";
  return "";
}

}  // namespace vistamere::term::testing
