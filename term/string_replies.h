// The answers that come as DCS strings (ESC P ... ESC \): the pen's graphic
// rendition (DECRQSS for SGR) and the terminal's capabilities (XTGETTCAP).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "term/terminal_reply.h"

namespace vistamere::term {

// Whether the bytes after ESC P begin an answer worth reading: a valid
// DECRQSS answer (1$r) or a capability found (1+r). The negative answers
// carry nothing and are swallowed like any other string.
enum class StringAnswerStart { kNo, kUndecided, kYes };
[[nodiscard]] StringAnswerStart StartOfStringAnswer(std::span<const std::uint8_t> body);

// The reply in a whole answer: `body` runs from after ESC P to before the
// string terminator. Nothing when the answer is not one the program uses
// (another setting's state, other capabilities) or is malformed.
[[nodiscard]] std::optional<TerminalReply> ParseStringAnswer(std::span<const std::uint8_t> body);

}  // namespace vistamere::term
