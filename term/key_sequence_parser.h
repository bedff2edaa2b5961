// Decodes the first unit of terminal input: one typed byte or UTF-8
// character, an ESC-prefixed (Alt) key, or one escape sequence, which may be
// a key, an answer to a query, or something to swallow (mouse and focus
// reports, paste markers, unknown sequences).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "console/input_record.h"
#include "term/terminal_reply.h"

namespace vistamere::term {

inline constexpr std::uint8_t kEscByte = 0x1B;

// No key or report is longer; a sequence that runs on past this many bytes
// without its final byte is cut here and its tail swallowed as it arrives.
inline constexpr std::size_t kLongestSequence = 255;

struct DecodedUnit {
  // Bytes the unit takes; 0 while the bytes are the incomplete start of a
  // longer unit.
  std::size_t length = 0;
  std::optional<KeyEventRecord> key;
  std::optional<TerminalReply> reply;
  // An OSC, DCS, APC, PM or SOS string begins after the unit: what follows is
  // swallowed up to BEL or ST.
  bool starts_string = false;
  // The unit was an overlong sequence cut short: the parameter and
  // intermediate bytes that follow, and the final byte, are swallowed too.
  bool starts_sequence_tail = false;
};

// `bytes` must not be empty. While `expect_cursor_report` is set, CSI row;col R
// is a cursor position report rather than F3 with modifiers.
[[nodiscard]] DecodedUnit DecodeUnit(std::span<const std::uint8_t> bytes,
                                     bool expect_cursor_report);

// The key a lone ESC, or ESC followed by one byte, stands for when no more
// bytes follow in time: Esc, or that byte's key with Alt.
[[nodiscard]] KeyEventRecord EscapeKey();
[[nodiscard]] KeyEventRecord AltKey(KeyEventRecord key);

// The record for an invalid or unfinished UTF-8 character.
[[nodiscard]] KeyEventRecord UnknownCharacterKey();

}  // namespace vistamere::term
