// The writer's bytes other than frames: queries, keyboard protocol, title,
// size request and the way back.
#include <cstdint>

#include "term/escape_sequences.h"
#include "term/terminal_reply.h"
#include "term/terminal_writer.h"

namespace vistamere::term {

using namespace escape;

const std::string& TerminalWriter::StartupQueries(bool ask_colours, bool ask_graphics) {
  // Cursor position report, kitty keyboard flags.
  out_ = "\x1b[6n\x1b[?u";
  if (ask_colours) {
    out_ += "\x1b[";
    AppendSgrParameters(Colour::Rgb(kProbeColour), true, out_);
    out_ += "m\x1bP$qm\x1b\\";
    // A full reset: a terminal that took the colour's numbers for other
    // attributes has none of them left on.
    out_ += kResetColours;
    pen_fg_ = Colour::Default();
    pen_bg_ = Colour::Default();
    pen_known_ = true;
    // "RGB" and "Tc" in hex, asked one at a time: xterm answers a list only
    // up to the first name it does not know.
    out_ += "\x1bP+q524742\x1b\\\x1bP+q5463\x1b\\";
  }
  if (ask_graphics) {
    // Whether the terminal takes a one-pixel image by the kitty graphics
    // protocol (nothing is shown). A terminal that knows no APC strings may
    // print this one: the cursor goes back and the line is erased after it.
    out_ +=
        "\x1b"
        "7\x1b_Gi=";
    AppendDecimal(static_cast<std::uint32_t>(kKittyQueryImageId), out_);
    out_ +=
        ",s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\\x1b"
        "8\x1b[K";
  }
  // Primary device attributes: every terminal answers, after the rest.
  out_ += "\x1b[c";
  return out_;
}

const std::string& TerminalWriter::PushKeyboardFlags(int flags) {
  out_ = "\x1b[>";
  AppendDecimal(static_cast<std::uint32_t>(flags), out_);
  out_ += 'u';
  keyboard_flags_pushed_ = true;
  return out_;
}

const std::string& TerminalWriter::SetColourRegisters(int count) {
  // XTSMGRAPHICS: item 1 (colour registers), action 3 (set).
  out_ = "\x1b[?1;3;";
  AppendDecimal(static_cast<std::uint32_t>(count), out_);
  out_ += 'S';
  return out_;
}

const std::string& TerminalWriter::RequestSize(int columns, int rows) {
  out_ = "\x1b[8;";
  AppendDecimal(static_cast<std::uint32_t>(rows), out_);
  out_ += ';';
  AppendDecimal(static_cast<std::uint32_t>(columns), out_);
  out_ += 't';
  return out_;
}

const std::string& TerminalWriter::Title(std::string_view utf8) {
  out_ = "\x1b]0;";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(utf8[i]);
    // C0 controls, DEL, and C1 controls in their UTF-8 form would end or
    // change the title string.
    if (byte < 0x20 || byte == 0x7F) {
      out_ += '?';
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<std::uint8_t>(utf8[i + 1]) >= 0x80 &&
               static_cast<std::uint8_t>(utf8[i + 1]) <= 0x9F) {
      out_ += '?';
      ++i;
    } else {
      out_ += static_cast<char>(byte);
    }
  }
  out_ += '\x07';
  return out_;
}

std::string TerminalWriter::RestoreBytes() const {
  std::string bytes = kCancel;
  if (keyboard_flags_pushed_) bytes += "\x1b[<u";
  bytes += kEndSynchronized;
  bytes += kResetColours;
  bytes += kShowCursor;
  if (lowest_drawn_row_ >= 0) {
    AppendCursorPosition(0, lowest_drawn_row_, bytes);
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace vistamere::term
