// Input events as the console reports them: key presses and releases with
// their character byte, PC scan code (set 1) and control-key state, and the
// other events a console queue may hold.
#pragma once

#include <cstdint>

namespace vistamere {

// Control-key state bits, as the console reports them.
inline constexpr std::uint32_t kRightAltPressed = 0x0001;
inline constexpr std::uint32_t kLeftAltPressed = 0x0002;
inline constexpr std::uint32_t kRightCtrlPressed = 0x0004;
inline constexpr std::uint32_t kLeftCtrlPressed = 0x0008;
inline constexpr std::uint32_t kShiftPressed = 0x0010;
inline constexpr std::uint32_t kNumLockOn = 0x0020;
inline constexpr std::uint32_t kScrollLockOn = 0x0040;
inline constexpr std::uint32_t kCapsLockOn = 0x0080;
inline constexpr std::uint32_t kEnhancedKey = 0x0100;

struct KeyEventRecord {
  bool key_down = true;
  std::uint16_t repeat_count = 1;
  std::uint16_t scan_code = 0;  // PC scan code set 1, low byte used
  std::uint8_t character = 0;   // byte of the console code page (437), 0 for none
  std::uint32_t control_state = 0;
  // The character as typed, where the console knows it (0: not known); the
  // code page byte above is '?' for a character the code page lacks.
  char32_t unicode = 0;

  friend bool operator==(const KeyEventRecord&, const KeyEventRecord&) = default;
};

enum class InputEventType : std::uint8_t { kKey, kMouse, kWindowSize, kMenu, kFocus };

struct InputRecord {
  InputEventType type = InputEventType::kKey;
  KeyEventRecord key;  // meaningful for kKey only

  friend bool operator==(const InputRecord&, const InputRecord&) = default;
};

}  // namespace vistamere
