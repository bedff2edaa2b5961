// Answers a terminal sends to the queries the program makes at start-up.
#pragma once

namespace vistamere::term {

struct TerminalReply {
  enum class Kind { kCursorPosition, kKittyKeyboardFlags, kPrimaryDeviceAttributes } kind;
  int first = 0;   // cursor row (1-based) / kitty flags / first attribute
  int second = 0;  // cursor column (1-based)

  friend bool operator==(const TerminalReply&, const TerminalReply&) = default;
};

}  // namespace vistamere::term
