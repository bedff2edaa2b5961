// Answers a terminal sends to the queries the program makes at start-up.
#pragma once

namespace vistamere::term {

// The device attribute that says a terminal shows sixel graphics.
inline constexpr int kSixelAttribute = 4;
// The image number the kitty graphics query asks about.
inline constexpr int kKittyQueryImageId = 31;

struct TerminalReply {
  enum class Kind {
    kCursorPosition,
    kKittyKeyboardFlags,
    kPrimaryDeviceAttributes,
    // The pen's graphic rendition (DECRQSS for SGR); `first` is its
    // foreground as 0xRRGGBB when that is a 24-bit colour, else -1.
    kGraphicRendition,
    // The terminal names the RGB or Tc capability (XTGETTCAP): it takes
    // 24-bit colours.
    kTrueColourCapability,
    // The kitty graphics protocol's answer to its query; `first` is 1 when
    // the terminal takes images that way.
    kKittyGraphics,
  } kind;
  int first = 0;   // cursor row (1-based) / kitty flags / first attribute / foreground
  int second = 0;  // cursor column (1-based) / 1 when the attributes list sixel graphics

  friend bool operator==(const TerminalReply&, const TerminalReply&) = default;
};

}  // namespace vistamere::term
