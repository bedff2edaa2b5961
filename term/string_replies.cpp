#include "term/string_replies.h"

#include <string_view>
#include <vector>

namespace vistamere::term {
namespace {

constexpr std::string_view kRenditionAnswer = "1$r";
constexpr std::string_view kCapabilityAnswer = "1+r";
// The graphics query asks about image kKittyQueryImageId.
constexpr std::string_view kGraphicsAnswer = "Gi=31;";
static_assert(kKittyQueryImageId == 31);
constexpr std::uint8_t kApcIntroducer = '_';

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A parameter's numbers split at ':'; -1 for an empty one, -2 for one that
// is not a number.
std::vector<int> SubParameters(std::string_view parameter) {
  std::vector<int> numbers;
  for (;;) {
    const std::size_t colon = parameter.find(':');
    const std::string_view digits = parameter.substr(0, colon);
    int number = digits.empty() ? -1 : 0;
    for (const char c : digits) {
      if (c < '0' || c > '9' || number > 999) {
        number = -2;
        break;
      }
      number = number * 10 + (c - '0');
    }
    numbers.push_back(number);
    if (colon == std::string_view::npos) return numbers;
    parameter.remove_prefix(colon + 1);
  }
}

int RgbOf(int red, int green, int blue) {
  for (const int channel : {red, green, blue}) {
    if (channel < 0 || channel > 255) return -1;
  }
  return (red << 16) | (green << 8) | blue;
}

// The foreground of SGR parameters as a terminal reports them, when it is
// a 24-bit colour: 38:2::R:G:B (with the colour space left empty, xterm),
// 38:2:R:G:B (libvterm, kitty) or 38;2;R;G;B. Else -1.
int RgbForeground(std::string_view parameters) {
  std::vector<std::vector<int>> groups;
  for (;;) {
    const std::size_t semicolon = parameters.find(';');
    groups.push_back(SubParameters(parameters.substr(0, semicolon)));
    if (semicolon == std::string_view::npos) break;
    parameters.remove_prefix(semicolon + 1);
  }
  int foreground = -1;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const std::vector<int>& group = groups[i];
    if (group[0] != 38 && group[0] != 48) continue;
    const bool is_foreground = group[0] == 38;
    int rgb = -1;
    if (group.size() > 1) {
      // One parameter with its colour in sub-parameters.
      if (group[1] == 2 && group.size() >= 6) rgb = RgbOf(group[3], group[4], group[5]);
      if (group[1] == 2 && group.size() == 5) rgb = RgbOf(group[2], group[3], group[4]);
    } else if (i + 1 < groups.size()) {
      // The colour in the parameters that follow: 2;R;G;B or 5;N.
      const int space = groups[i + 1][0];
      if (space == 2 && i + 4 < groups.size()) {
        rgb = RgbOf(groups[i + 2][0], groups[i + 3][0], groups[i + 4][0]);
        i += 4;
      } else if (space == 5) {
        i += 2;
      }
    }
    if (is_foreground) foreground = rgb;
  }
  return foreground;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A capability name as XTGETTCAP spells it, two hex digits a character.
bool HexNameIs(std::string_view hex, std::string_view name) {
  if (hex.size() != name.size() * 2) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const int high = HexDigit(hex[2 * i]);
    const int low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0 || high * 16 + low != static_cast<unsigned char>(name[i])) {
      return false;
    }
  }
  return true;
}

// NAME[=VALUE] pairs separated by ';', each part in hex: RGB or Tc with no
// value (a flag) or a value that is not negative (xterm says RGB=-1 when it
// has no direct colour).
bool NamesTrueColour(std::string_view pairs) {
  for (;;) {
    const std::size_t semicolon = pairs.find(';');
    const std::string_view pair = pairs.substr(0, semicolon);
    const std::size_t equals = pair.find('=');
    const std::string_view name = pair.substr(0, equals);
    const bool negative =
        equals != std::string_view::npos && HexNameIs(pair.substr(equals + 1, 2), "-");
    if ((HexNameIs(name, "RGB") || HexNameIs(name, "Tc")) && !negative) return true;
    if (semicolon == std::string_view::npos) return false;
    pairs.remove_prefix(semicolon + 1);
  }
}

}  // namespace

StringAnswerStart StartOfStringAnswer(std::uint8_t introducer, std::span<const std::uint8_t> body) {
  const std::string_view text = AsText(body);
  if (introducer == kApcIntroducer) {
    if (text.starts_with(kGraphicsAnswer)) return StringAnswerStart::kYes;
    return kGraphicsAnswer.starts_with(text) ? StringAnswerStart::kUndecided
                                             : StringAnswerStart::kNo;
  }
  for (const std::string_view start : {kRenditionAnswer, kCapabilityAnswer}) {
    if (text.starts_with(start)) return StringAnswerStart::kYes;
    if (start.starts_with(text)) return StringAnswerStart::kUndecided;
  }
  return StringAnswerStart::kNo;
}

std::optional<TerminalReply> ParseStringAnswer(std::uint8_t introducer,
                                               std::span<const std::uint8_t> body) {
  std::string_view text = AsText(body);
  if (introducer == kApcIntroducer) {
    if (!text.starts_with(kGraphicsAnswer)) return std::nullopt;
    text.remove_prefix(kGraphicsAnswer.size());
    return TerminalReply{TerminalReply::Kind::kKittyGraphics, text == "OK" ? 1 : 0, 0};
  }
  if (text.starts_with(kRenditionAnswer)) {
    text.remove_prefix(kRenditionAnswer.size());
    if (!text.ends_with('m')) return std::nullopt;  // another setting's state
    text.remove_suffix(1);
    return TerminalReply{TerminalReply::Kind::kGraphicRendition, RgbForeground(text), 0};
  }
  if (text.starts_with(kCapabilityAnswer)) {
    text.remove_prefix(kCapabilityAnswer.size());
    if (!NamesTrueColour(text)) return std::nullopt;
    return TerminalReply{TerminalReply::Kind::kTrueColourCapability, 1, 0};
  }
  return std::nullopt;
}

}  // namespace vistamere::term
