// Checks bytes meant for a terminal: valid UTF-8 with no control character
// (C0, DEL or C1) except the ESC that opens a well-formed CSI sequence.
#pragma once

#include <string_view>

namespace vistamere::fuzz {

// Null when the bytes are clean; otherwise what is wrong.
const char* TerminalOutputFault(std::string_view bytes);

}  // namespace vistamere::fuzz
