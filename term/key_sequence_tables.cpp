#include "term/key_sequence_tables.h"

#include <algorithm>
#include <array>

#include "console/input_record.h"
#include "term/key_scan_codes.h"

namespace vistamere::term {
namespace {

template <typename Key>
struct Entry {
  Key key;
  NamedKey named;
};

template <typename Key, std::size_t N>
std::optional<NamedKey> Find(const std::array<Entry<Key>, N>& table, Key key) {
  const auto it =
      std::find_if(table.begin(), table.end(), [key](const Entry<Key>& e) { return e.key == key; });
  if (it == table.end()) return std::nullopt;
  return it->named;
}

constexpr NamedKey Plain(std::uint8_t scan_code) {
  return {scan_code, 0, 0};
}
constexpr NamedKey Shifted(std::uint8_t scan_code) {
  return {scan_code, 0, kShiftPressed};
}
constexpr NamedKey Ctrl(std::uint8_t scan_code) {
  return {scan_code, 0, kLeftCtrlPressed};
}
constexpr NamedKey Typing(std::uint8_t scan_code, char character) {
  return {scan_code, static_cast<std::uint8_t>(character), 0};
}

constexpr std::array<Entry<int>, 28> kTildeCodes = {{
    {1, Plain(scan::kHome)},
    {2, Plain(scan::kInsert)},
    {3, Plain(scan::kDelete)},
    {4, Plain(scan::kEnd)},
    {5, Plain(scan::kPageUp)},
    {6, Plain(scan::kPageDown)},
    {7, Plain(scan::kHome)},
    {8, Plain(scan::kEnd)},
    {11, Plain(scan::kF1)},
    {12, Plain(scan::kF2)},
    {13, Plain(scan::kF3)},
    {14, Plain(scan::kF4)},
    {15, Plain(scan::kF5)},
    {17, Plain(scan::kF6)},
    {18, Plain(scan::kF7)},
    {19, Plain(scan::kF8)},
    {20, Plain(scan::kF9)},
    {21, Plain(scan::kF10)},
    {23, Plain(scan::kF11)},
    {24, Plain(scan::kF12)},
    // rxvt numbers Shift+F3 ... Shift+F10 on from 25, skipping as the VT220 does.
    {25, Shifted(scan::kF3)},
    {26, Shifted(scan::kF4)},
    {28, Shifted(scan::kF5)},
    {29, Shifted(scan::kF6)},
    {31, Shifted(scan::kF7)},
    {32, Shifted(scan::kF8)},
    {33, Shifted(scan::kF9)},
    {34, Shifted(scan::kF10)},
}};

constexpr std::array<Entry<char>, 16> kCsiFinals = {{
    {'A', Plain(scan::kUp)},
    {'B', Plain(scan::kDown)},
    {'C', Plain(scan::kRight)},
    {'D', Plain(scan::kLeft)},
    {'H', Plain(scan::kHome)},
    {'F', Plain(scan::kEnd)},
    {'E', Plain(scan::kKeypad5)},
    {'G', Plain(scan::kKeypad5)},
    {'P', Plain(scan::kF1)},
    {'Q', Plain(scan::kF2)},
    {'S', Plain(scan::kF4)},
    {'Z', {scan::kTab, '\t', kShiftPressed}},
    {'a', Shifted(scan::kUp)},
    {'b', Shifted(scan::kDown)},
    {'c', Shifted(scan::kRight)},
    {'d', Shifted(scan::kLeft)},
}};

constexpr std::array<Entry<char>, 34> kSs3Finals = {{
    {'A', Plain(scan::kUp)},
    {'B', Plain(scan::kDown)},
    {'C', Plain(scan::kRight)},
    {'D', Plain(scan::kLeft)},
    {'H', Plain(scan::kHome)},
    {'F', Plain(scan::kEnd)},
    {'E', Plain(scan::kKeypad5)},
    {'P', Plain(scan::kF1)},
    {'Q', Plain(scan::kF2)},
    {'R', Plain(scan::kF3)},
    {'S', Plain(scan::kF4)},
    {'a', Ctrl(scan::kUp)},
    {'b', Ctrl(scan::kDown)},
    {'c', Ctrl(scan::kRight)},
    {'d', Ctrl(scan::kLeft)},
    {'j', Typing(scan::kKeypadMultiply, '*')},
    {'k', Typing(scan::kKeypadPlus, '+')},
    {'l', Typing(scan::kDelete, ',')},
    {'m', Typing(scan::kKeypadMinus, '-')},
    {'n', Typing(scan::kDelete, '.')},
    {'o', Typing(scan::kSlash, '/')},
    {'p', Typing(scan::kInsert, '0')},
    {'q', Typing(scan::kEnd, '1')},
    {'r', Typing(scan::kDown, '2')},
    {'s', Typing(scan::kPageDown, '3')},
    {'t', Typing(scan::kLeft, '4')},
    {'u', Typing(scan::kKeypad5, '5')},
    {'v', Typing(scan::kRight, '6')},
    {'w', Typing(scan::kHome, '7')},
    {'x', Typing(scan::kUp, '8')},
    {'y', Typing(scan::kPageUp, '9')},
    {'M', Typing(scan::kEnter, '\r')},
    {'X', Typing(scan::kEquals, '=')},
    {'I', Typing(scan::kTab, '\t')},
}};

constexpr std::array<Entry<char>, 5> kLinuxFunctionFinals = {{
    {'A', Plain(scan::kF1)},
    {'B', Plain(scan::kF2)},
    {'C', Plain(scan::kF3)},
    {'D', Plain(scan::kF4)},
    {'E', Plain(scan::kF5)},
}};

constexpr std::uint32_t kKittyKeypad0 = 57399;

// Keypad 0-9 and its operators, in the order of the kitty code range.
constexpr std::array<NamedKey, 29> kKittyKeypad = {{
    Typing(scan::kInsert, '0'),
    Typing(scan::kEnd, '1'),
    Typing(scan::kDown, '2'),
    Typing(scan::kPageDown, '3'),
    Typing(scan::kLeft, '4'),
    Typing(scan::kKeypad5, '5'),
    Typing(scan::kRight, '6'),
    Typing(scan::kHome, '7'),
    Typing(scan::kUp, '8'),
    Typing(scan::kPageUp, '9'),
    Typing(scan::kDelete, '.'),
    Typing(scan::kSlash, '/'),
    Typing(scan::kKeypadMultiply, '*'),
    Typing(scan::kKeypadMinus, '-'),
    Typing(scan::kKeypadPlus, '+'),
    Typing(scan::kEnter, '\r'),
    Typing(scan::kEquals, '='),
    Typing(scan::kDelete, ','),
    Plain(scan::kLeft),
    Plain(scan::kRight),
    Plain(scan::kUp),
    Plain(scan::kDown),
    Plain(scan::kPageUp),
    Plain(scan::kPageDown),
    Plain(scan::kHome),
    Plain(scan::kEnd),
    Plain(scan::kInsert),
    Plain(scan::kDelete),
    Plain(scan::kKeypad5),
}};

constexpr std::array<Entry<std::uint32_t>, 10> kKittyOtherCodes = {{
    {57358, Plain(scan::kCapsLock)},
    {57359, Plain(scan::kScrollLock)},
    {57360, Plain(scan::kNumLock)},
    {57363, Plain(scan::kApplication)},
    {57441, Plain(scan::kLeftShift)},
    {57442, Plain(scan::kCtrl)},
    {57443, Plain(scan::kAlt)},
    {57447, Plain(scan::kRightShift)},
    {57448, Plain(scan::kCtrl)},
    {57449, Plain(scan::kAlt)},
}};

}  // namespace

std::optional<NamedKey> KeyOfTildeCode(int code) {
  return Find(kTildeCodes, code);
}

std::optional<NamedKey> KeyOfCsiFinal(char final_byte) {
  return Find(kCsiFinals, final_byte);
}

std::optional<NamedKey> KeyOfSs3Final(char final_byte) {
  return Find(kSs3Finals, final_byte);
}

std::optional<NamedKey> KeyOfLinuxFunctionFinal(char final_byte) {
  return Find(kLinuxFunctionFinals, final_byte);
}

std::optional<NamedKey> KeyOfKittyFunctionalCode(std::uint32_t code) {
  if (code >= kKittyKeypad0 && code < kKittyKeypad0 + kKittyKeypad.size()) {
    return kKittyKeypad[code - kKittyKeypad0];
  }
  return Find(kKittyOtherCodes, code);
}

}  // namespace vistamere::term
