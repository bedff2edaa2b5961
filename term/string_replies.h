// The answers that come as strings: as DCS (ESC P ... ESC \) the pen's
// graphic rendition (DECRQSS for SGR) and the terminal's capabilities
// (XTGETTCAP); as APC (ESC _ ... ESC \) the kitty graphics protocol's
// answer to its query.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "term/terminal_reply.h"

namespace vistamere::term {

// Whether the bytes after ESC and `introducer` ('P' or '_') begin an answer
// worth reading: a valid DECRQSS answer (1$r), a capability found (1+r), the
// graphics query's answer (Gi=ID;). The negative DCS answers carry nothing
// and are swallowed like any other string.
enum class StringAnswerStart { kNo, kUndecided, kYes };
[[nodiscard]] StringAnswerStart StartOfStringAnswer(std::uint8_t introducer,
                                                    std::span<const std::uint8_t> body);

// The reply in a whole answer: `body` runs from after the introducer to
// before the string terminator. Nothing when the answer is not one the
// program uses (another setting's state, other capabilities) or is malformed.
[[nodiscard]] std::optional<TerminalReply> ParseStringAnswer(std::uint8_t introducer,
                                                             std::span<const std::uint8_t> body);

}  // namespace vistamere::term
