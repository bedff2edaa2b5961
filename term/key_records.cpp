#include "term/key_records.h"

#include "term/cp437.h"
#include "term/key_scan_codes.h"

namespace vistamere::term {
namespace {

constexpr int kShiftBit = 1;
constexpr int kAltBit = 2;
constexpr int kCtrlBit = 4;
constexpr int kMetaBit = 32;
constexpr int kCapsLockBit = 64;
constexpr int kNumLockBit = 128;

constexpr std::uint32_t kPrivateUseFirst = 0xE000;
constexpr std::uint32_t kPrivateUseLast = 0xF8FF;
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

KeyEventRecord Key(std::uint8_t scan_code, std::uint8_t character, std::uint32_t state) {
  KeyEventRecord key;
  key.scan_code = scan_code;
  key.character = character;
  key.control_state = state;
  return key;
}

bool IsAsciiLetter(std::uint32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsPrintableAscii(std::uint32_t c) {
  return c >= 0x20 && c < 0x7F;
}

std::uint8_t ByteOfCharacter(std::uint32_t c) {
  return c < 0x80 ? static_cast<std::uint8_t>(c) : UnicodeToCp437(c);
}

// The character a key types, Shift and Caps Lock taken into account the way a
// console reports them: Caps Lock turns letters only, and Shift turns it back.
std::uint32_t TypedCharacter(const KeyCodeReport& report, std::uint32_t state) {
  const bool shift = (state & kShiftPressed) != 0;
  const bool caps = (state & kCapsLockOn) != 0;
  if (IsAsciiLetter(report.code)) {
    const std::uint32_t lower = report.code | 0x20;
    return shift != caps ? lower - 0x20 : lower;
  }
  if (!shift) return report.code;
  if (report.shifted != 0) return report.shifted;
  return ShiftedAscii(report.code);
}

}  // namespace

std::uint32_t ControlStateOfModifiers(int parameter) {
  if (parameter <= 1) return 0;
  const int bits = parameter - 1;
  std::uint32_t state = 0;
  if ((bits & kShiftBit) != 0) state |= kShiftPressed;
  if ((bits & (kAltBit | kMetaBit)) != 0) state |= kLeftAltPressed;
  if ((bits & kCtrlBit) != 0) state |= kLeftCtrlPressed;
  if ((bits & kCapsLockBit) != 0) state |= kCapsLockOn;
  if ((bits & kNumLockBit) != 0) state |= kNumLockOn;
  return state;
}

KeyEventRecord KeyOfByte(std::uint8_t byte) {
  switch (byte) {
    case 0x0D:
      return Key(scan::kEnter, byte, 0);
    case 0x7F:
    case 0x08:
      return Key(scan::kBackspace, 0x08, 0);
    case 0x09:
      return Key(scan::kTab, byte, 0);
    case 0x1B:
      return Key(scan::kEsc, byte, 0);
    case 0x00:
      return Key(scan::kDigit2, 0, kLeftCtrlPressed);
    case 0x1C:
      return Key(KeyOfAscii('\\')->scan_code, byte, kLeftCtrlPressed);
    case 0x1D:
      return Key(KeyOfAscii(']')->scan_code, byte, kLeftCtrlPressed);
    case 0x1E:
      return Key(KeyOfAscii('6')->scan_code, byte, kLeftCtrlPressed);
    case 0x1F:
      return Key(KeyOfAscii('-')->scan_code, byte, kLeftCtrlPressed);
    default:
      break;
  }
  if (byte < 0x20) return Key(KeyOfAscii(byte + 0x60)->scan_code, byte, kLeftCtrlPressed);
  if (byte >= 0x80) return KeyOfCharacter(byte);
  const auto key = KeyOfAscii(byte);
  KeyEventRecord record =
      key ? Key(key->scan_code, byte, key->shifted ? kShiftPressed : 0) : Key(0, byte, 0);
  record.unicode = byte;
  return record;
}

KeyEventRecord KeyOfCharacter(char32_t code_point) {
  KeyEventRecord record = Key(0, UnicodeToCp437(code_point), 0);
  record.unicode = code_point;
  return record;
}

std::optional<KeyEventRecord> KeyOfCodeReport(const KeyCodeReport& report) {
  if (report.code == 0) return std::nullopt;  // no key code at all
  const std::uint32_t state = ControlStateOfModifiers(report.modifiers);
  std::optional<KeyEventRecord> key;
  if (report.code < 0x20 || report.code == 0x7F) {
    key = KeyOfByte(static_cast<std::uint8_t>(report.code));
    key->control_state = state;
  } else if (report.code >= kPrivateUseFirst && report.code <= kPrivateUseLast) {
    const auto named = KeyOfKittyFunctionalCode(report.code);
    if (!named) return std::nullopt;
    key = Key(named->scan_code, named->character, state);
  } else if (report.code <= kLastCodePoint && (report.code < 0xD800 || report.code > 0xDFFF)) {
    // The key's place on a US keyboard: the base-layout key when reported.
    const std::uint32_t place = IsPrintableAscii(report.base) ? report.base : report.code;
    const auto ascii = IsPrintableAscii(place) ? KeyOfAscii(place) : std::nullopt;
    const std::uint32_t typed = TypedCharacter(report, state);
    std::uint8_t character = ByteOfCharacter(typed);
    char32_t unicode = typed;
    if ((state & kLeftCtrlPressed) != 0) {
      if (const auto control = ControlCodeOf(IsAsciiLetter(place) ? (place | 0x20) : place)) {
        character = *control;
        unicode = 0;
      }
    }
    key = Key(ascii ? ascii->scan_code : 0, character, state);
    key->unicode = unicode;
  } else {
    return std::nullopt;
  }
  key->key_down = !report.released;
  return key;
}

KeyEventRecord KeyOfNamedKey(const NamedKey& named, int modifiers, bool released) {
  KeyEventRecord key = Key(named.scan_code, named.character,
                           named.implied_state | ControlStateOfModifiers(modifiers));
  key.key_down = !released;
  return key;
}

}  // namespace vistamere::term
