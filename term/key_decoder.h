// Turns the bytes read from the terminal into the console's key-event
// records, and picks out the terminal's answers to the program's queries.
//
// Understood: typed ASCII and UTF-8 (to code page 437), control codes, Alt as
// an ESC prefix, the cursor, editing, function and keypad keys of xterm,
// VT220, rxvt and the Linux console with their modifier parameters, xterm's
// modifyOtherKeys, and the kitty keyboard protocol with releases, bare
// modifier keys and Caps Lock. Mouse and focus reports, paste markers,
// OSC/DCS/APC/PM/SOS strings and unknown sequences are swallowed whole.
//
// Bytes may arrive split anywhere: they decode as if they came at once.
// Only a lone ESC (and ESC with one byte that could begin a sequence) needs
// the caller's timeout to be told from the start of a sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "console/input_record.h"
#include "term/terminal_reply.h"

namespace vistamere::term {

class KeyDecoder {
 public:
  // Most bytes ever held back as an incomplete sequence: a longer one is
  // dropped up to its end, so memory stays bounded whatever arrives.
  static constexpr std::size_t kMaxPendingBytes = 256;

  void Feed(const std::uint8_t* bytes, std::size_t count);
  // Pops the next decoded record; false when none is complete.
  [[nodiscard]] bool Next(InputRecord& record);
  [[nodiscard]] std::optional<TerminalReply> NextReply();

  // True while the buffered bytes could still become a longer sequence (a
  // lone ESC, a sequence or string cut short). The caller waits a short time
  // (25-50 ms) for more bytes and then calls FlushPending().
  [[nodiscard]] bool HasIncompleteSequence() const;
  // Takes what is pending as keys where it can be: a lone ESC is Esc, ESC ESC
  // is Alt+Esc, ESC and one byte is Alt with that key, an unfinished UTF-8
  // character is '?'. A sequence or string cut short is dropped.
  void FlushPending();

  // While set, CSI row;col R is a cursor position report (one, then the flag
  // clears); otherwise it is F3 with modifiers, which has the same shape.
  void ExpectCursorReport(bool expect) { expect_cursor_report_ = expect; }

  // Bytes held back as an incomplete sequence, at most kMaxPendingBytes.
  std::size_t pending_size() const { return pending_.size(); }

 private:
  enum class Skip { kNone, kSequenceTail, kString };

  void Decode();
  // Swallows bytes while skipping; returns bytes taken, 0 when it must wait.
  std::size_t SkipFrom(std::size_t position);
  void PushKey(const KeyEventRecord& key);

  std::vector<std::uint8_t> pending_;
  std::deque<InputRecord> records_;
  std::deque<TerminalReply> replies_;
  Skip skip_ = Skip::kNone;
  bool expect_cursor_report_ = false;
};

}  // namespace vistamere::term
