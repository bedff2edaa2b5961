// Feeding byte streams through the key decoder, whole or in pieces, and
// reading back the records, the key strings the program sees, and replies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "console/input_record.h"
#include "term/key_decoder.h"

namespace vistamere::term::testing {

struct Decoded {
  std::vector<InputRecord> records;
  std::vector<TerminalReply> replies;
  bool incomplete_before_flush = false;
};

// Feeds `bytes` cut at the given ascending positions, taking out records and
// replies after every piece; then flushes what is pending, as the caller
// does after its timeout.
Decoded DecodePieces(std::string_view bytes, const std::vector<std::size_t>& cuts,
                     bool expect_cursor_report = false);
Decoded DecodeWhole(std::string_view bytes, bool expect_cursor_report = false);

// The key strings of the records, as the text console derives them, joined
// by '|' and written readably: a printable byte as it is, other bytes and
// both bytes of a two-byte key string as <hex>.
std::string KeyStrings(const std::vector<InputRecord>& records);

// The record's fields as the console reports them, without the character
// as typed (tested on its own).
inline KeyEventRecord ConsoleFields(KeyEventRecord key) {
  key.unicode = 0;
  return key;
}

// A gtest name made of a readable case name: letters and digits kept, the rest '_'.
std::string TestName(std::string_view name);

// The bytes fed at once, cut once at every position, and one by one must give
// the same records and replies. Returns a description of the first
// difference, or "" when there is none.
std::string SplitDifference(std::string_view bytes, bool expect_cursor_report = false);

}  // namespace vistamere::term::testing
