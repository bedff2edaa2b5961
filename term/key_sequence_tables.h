// The keys that terminals report by escape sequences rather than by the
// character they type: cursor and editing keys, function keys, the keypad,
// and the keys of the kitty keyboard protocol's private code range.
#pragma once

#include <cstdint>
#include <optional>

namespace vistamere::term {

// One key as the console reports it: scan code, character byte (0 for keys
// without one) and control-key state bits the encoding itself implies
// (rxvt's shifted function keys).
struct NamedKey {
  std::uint8_t scan_code = 0;
  std::uint8_t character = 0;
  std::uint32_t implied_state = 0;
};

// CSI n ~ (xterm, VT220, rxvt; also with rxvt's $ ^ @ finals).
[[nodiscard]] std::optional<NamedKey> KeyOfTildeCode(int code);

// CSI [1;m] X: cursor keys, Home/End, keypad 5, F1-F4, back-tab, rxvt's
// shifted cursor keys (a-d).
[[nodiscard]] std::optional<NamedKey> KeyOfCsiFinal(char final_byte);

// SS3 X: application cursor keys, F1-F4, rxvt's Ctrl+cursor keys and the
// keypad in application mode.
[[nodiscard]] std::optional<NamedKey> KeyOfSs3Final(char final_byte);

// CSI [ X of the Linux console: F1-F5.
[[nodiscard]] std::optional<NamedKey> KeyOfLinuxFunctionFinal(char final_byte);

// Key codes of the kitty protocol that are no characters: keypad, lock and
// modifier keys, the menu key.
[[nodiscard]] std::optional<NamedKey> KeyOfKittyFunctionalCode(std::uint32_t code);

}  // namespace vistamere::term
