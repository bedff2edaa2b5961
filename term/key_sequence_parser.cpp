#include "term/key_sequence_parser.h"

#include <algorithm>

#include "console/utf8.h"
#include "term/key_records.h"
#include "term/key_scan_codes.h"
#include "term/key_sequence_params.h"
#include "term/key_sequence_tables.h"
#include "term/sequence_bytes.h"
#include "term/string_replies.h"

namespace vistamere::term {
namespace {

constexpr int kReleaseEvent = 3;
constexpr std::uint8_t kBell = 0x07;

constexpr bool IsPrivateMarker(std::uint8_t b) {
  return b >= '<' && b <= '?';
}

DecodedUnit Incomplete() {
  return {};
}

DecodedUnit Swallowed(std::size_t length) {
  DecodedUnit unit;
  unit.length = length;
  return unit;
}

DecodedUnit Overlong() {
  DecodedUnit unit = Swallowed(kLongestSequence);
  unit.starts_sequence_tail = true;
  return unit;
}

DecodedUnit WithKey(std::size_t length, std::optional<KeyEventRecord> key) {
  DecodedUnit unit = Swallowed(length);
  unit.key = key;
  return unit;
}

DecodedUnit WithReply(std::size_t length, TerminalReply reply) {
  DecodedUnit unit = Swallowed(length);
  unit.reply = reply;
  return unit;
}

// The unit with Alt added to its key, one byte longer for the ESC before it.
DecodedUnit AfterAltPrefix(DecodedUnit unit) {
  if (unit.length == 0) return unit;
  ++unit.length;
  if (unit.key) unit.key = AltKey(*unit.key);
  return unit;
}

// A named key whose modifiers (and kitty event type) are parameter `index`.
std::optional<KeyEventRecord> Named(std::optional<NamedKey> key, const SequenceParams& params,
                                    int index) {
  if (!key) return std::nullopt;
  return KeyOfNamedKey(*key, params.Get(index), params.Get(index, 1) == kReleaseEvent);
}

// One typed byte below 0x80 (ESC aside) or one UTF-8 character.
DecodedUnit DecodeTyped(std::span<const std::uint8_t> in) {
  if (in[0] < 0x80) return WithKey(1, KeyOfByte(in[0]));
  const Utf8Char read = DecodeUtf8(in);
  if (read.status == Utf8Status::kIncomplete) return Incomplete();
  return WithKey(read.length, read.status == Utf8Status::kValid ? KeyOfCharacter(read.code_point)
                                                                : UnknownCharacterKey());
}

// CSI n[;m] ~, and xterm's modifyOtherKeys form CSI 27;m;code ~.
std::optional<KeyEventRecord> KeyOfTildeSequence(const SequenceParams& params) {
  const int code = params.Get(0);
  if (code == 27 && params.count() >= 3) {
    return KeyOfCodeReport(
        {.code = static_cast<std::uint32_t>(params.Get(2)), .modifiers = params.Get(1)});
  }
  // kitty sends the keypad's Begin key as a private-range code with '~'.
  auto key = KeyOfTildeCode(code);
  if (!key) key = KeyOfKittyFunctionalCode(static_cast<std::uint32_t>(code));
  return Named(key, params, 1);
}

DecodedUnit DispatchCsi(std::uint8_t private_marker, const SequenceParams& params,
                        std::uint8_t final_byte, std::size_t length, bool expect_cursor_report) {
  if (private_marker == '?') {
    if (final_byte == 'u') {
      return WithReply(length, {TerminalReply::Kind::kKittyKeyboardFlags, params.Get(0), 0});
    }
    if (final_byte == 'c') {
      int sixel = 0;
      for (int i = 1; i < params.count(); ++i) {
        if (params.Get(i) == kSixelAttribute) sixel = 1;
      }
      return WithReply(length,
                       {TerminalReply::Kind::kPrimaryDeviceAttributes, params.Get(0), sixel});
    }
    return Swallowed(length);
  }
  if (private_marker != 0) return Swallowed(length);  // SGR mouse reports among others

  switch (final_byte) {
    case 'u':
      return WithKey(length,
                     KeyOfCodeReport({.code = static_cast<std::uint32_t>(params.Get(0)),
                                      .shifted = static_cast<std::uint32_t>(params.Get(0, 1)),
                                      .base = static_cast<std::uint32_t>(params.Get(0, 2)),
                                      .modifiers = params.Get(1),
                                      .released = params.Get(1, 1) == kReleaseEvent}));
    case '~':
      return WithKey(length, KeyOfTildeSequence(params));
    case '$':  // rxvt: Shift, Ctrl, Ctrl+Shift in place of the '~'
    case '^':
    case '@': {
      if (params.count() > 1) return Swallowed(length);
      const int modifiers = final_byte == '$' ? 2 : final_byte == '^' ? 5 : 6;
      const auto key = KeyOfTildeCode(params.Get(0));
      return WithKey(length,
                     key ? std::optional(KeyOfNamedKey(*key, modifiers, false)) : std::nullopt);
    }
    case 'R':
      if (expect_cursor_report && params.count() == 2) {
        return WithReply(length,
                         {TerminalReply::Kind::kCursorPosition, params.Get(0), params.Get(1)});
      }
      if (params.Get(0) > 1) return Swallowed(length);
      return WithKey(length, Named(NamedKey{.scan_code = scan::kF3}, params, 1));
    default:
      return WithKey(length, Named(KeyOfCsiFinal(static_cast<char>(final_byte)), params, 1));
  }
}

// ESC [ ...
DecodedUnit DecodeCsi(std::span<const std::uint8_t> in, bool expect_cursor_report) {
  if (in.size() < 3) return Incomplete();
  if (in[2] == '[') {  // Linux console F1-F5
    if (in.size() < 4) return Incomplete();
    return WithKey(4, Named(KeyOfLinuxFunctionFinal(static_cast<char>(in[3])), {}, 0));
  }
  if (in[2] == 'M') return in.size() < 6 ? Incomplete() : Swallowed(6);  // X10 mouse report

  const std::uint8_t private_marker = IsPrivateMarker(in[2]) ? in[2] : 0;
  const std::size_t end = std::min(in.size(), kLongestSequence);
  std::size_t i = 2;
  while (i < end && IsParameterByte(in[i])) ++i;
  const std::size_t params_end = i;
  // rxvt ends Shift+key sequences with '$', which is otherwise an intermediate byte.
  const bool rxvt_dollar = i < end && in[i] == '$' && private_marker == 0;
  if (!rxvt_dollar) {
    while (i < end && IsIntermediateByte(in[i])) ++i;
  }
  if (i == kLongestSequence) return Overlong();
  if (i == in.size()) return Incomplete();
  if (!rxvt_dollar && !IsFinalByte(in[i])) {
    // Not a sequence: ESC [ alone is Alt+[; a broken one is dropped up to the stray byte.
    return i == 2 ? AfterAltPrefix(DecodeTyped(in.subspan(1))) : Swallowed(i);
  }
  if (i > params_end && !rxvt_dollar) return Swallowed(i + 1);  // intermediates: no key
  const std::size_t params_begin = private_marker != 0 ? 3 : 2;
  const auto params = SequenceParams::Parse(in.subspan(params_begin, params_end - params_begin));
  return DispatchCsi(private_marker, params, in[i], i + 1, expect_cursor_report);
}

// ESC O ...
DecodedUnit DecodeSs3(std::span<const std::uint8_t> in) {
  if (in.size() < 3) return Incomplete();
  const std::size_t end = std::min(in.size(), kLongestSequence);
  std::size_t i = 2;
  while (i < end && IsParameterByte(in[i])) ++i;
  if (i == kLongestSequence) return Overlong();
  if (i == in.size()) return Incomplete();
  if (!IsFinalByte(in[i])) {
    return i == 2 ? AfterAltPrefix(DecodeTyped(in.subspan(1))) : Swallowed(i);
  }
  const auto params = SequenceParams::Parse(in.subspan(2, i - 2));
  // Old terminals send the modifier as the only parameter (ESC O 5 P).
  const int modifier_index = params.count() >= 2 ? 1 : 0;
  return WithKey(i + 1, Named(KeyOfSs3Final(static_cast<char>(in[i])), params, modifier_index));
}

// ESC followed by the introducer of a string: what follows is swallowed up
// to its end.
DecodedUnit StringStart() {
  DecodedUnit unit = Swallowed(2);
  unit.starts_string = true;
  return unit;
}

// ESC P ... or ESC _ ...: an answer to one of the program's queries is read
// whole when it ends within a sequence's length; any other string is
// swallowed.
DecodedUnit DecodeStringAnswer(std::span<const std::uint8_t> in) {
  const std::size_t end = std::min(in.size(), kLongestSequence);
  switch (StartOfStringAnswer(in[1], in.subspan(2))) {
    case StringAnswerStart::kNo:
      return StringStart();
    case StringAnswerStart::kUndecided:
      return Incomplete();
    case StringAnswerStart::kYes:
      break;
  }
  for (std::size_t i = 2; i < end; ++i) {
    std::size_t length = 0;
    if (in[i] == kBell) {
      length = i + 1;
    } else if (in[i] == kEscByte) {
      if (i + 1 == in.size()) return Incomplete();
      if (in[i + 1] != '\\') return StringStart();  // cut short by another sequence
      length = i + 2;
    } else if (in[i] < 0x20) {
      return StringStart();  // CAN, SUB or a stray control: not an answer
    } else {
      continue;
    }
    const auto reply = ParseStringAnswer(in[1], in.subspan(2, i - 2));
    return reply ? WithReply(length, *reply) : Swallowed(length);
  }
  return in.size() < kLongestSequence ? Incomplete() : StringStart();
}

DecodedUnit DecodeEscape(std::span<const std::uint8_t> in, bool expect_cursor_report) {
  if (in.size() < 2) return Incomplete();
  switch (in[1]) {
    case '[':
      return DecodeCsi(in, expect_cursor_report);
    case 'O':
      return DecodeSs3(in);
    case kEscByte:
      // ESC ESC [ ... is a sequence with Alt (rxvt); ESC ESC otherwise Alt+Esc.
      if (in.size() < 3) return Incomplete();
      if (in[2] == '[' || in[2] == 'O') {
        return AfterAltPrefix(DecodeEscape(in.subspan(1), expect_cursor_report));
      }
      return WithKey(2, AltKey(EscapeKey()));
    case 'P':  // DCS
    case '_':  // APC
      // Alone, it is Alt with that key; followed at once by more, a string.
      if (in.size() < 3) return Incomplete();
      return DecodeStringAnswer(in);
    case ']':    // OSC
    case 'X':    // SOS
    case '^': {  // PM
      // Alone, it is Alt with that key; followed at once by more, a string.
      if (in.size() < 3) return Incomplete();
      return StringStart();
    }
    default:
      return AfterAltPrefix(DecodeTyped(in.subspan(1)));
  }
}

}  // namespace

DecodedUnit DecodeUnit(std::span<const std::uint8_t> bytes, bool expect_cursor_report) {
  if (bytes[0] == kEscByte) return DecodeEscape(bytes, expect_cursor_report);
  return DecodeTyped(bytes);
}

KeyEventRecord EscapeKey() {
  return KeyOfByte(kEscByte);
}

KeyEventRecord AltKey(KeyEventRecord key) {
  key.control_state |= kLeftAltPressed;
  return key;
}

KeyEventRecord UnknownCharacterKey() {
  return KeyOfCharacter(U'\uFFFD');
}

}  // namespace vistamere::term
