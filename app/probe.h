// --probe: what the terminal answered at start-up and how the program
// would draw the picture there, for a user wondering why no pixels show.
#pragma once

#include <string>

#include "term/terminal_console.h"
#include "term/terminal_port.h"

namespace vistamere::app {

// The report on a started device, one fact per line.
std::string ProbeReport(term::TerminalConsole& device, const term::TerminalSize& size,
                        const std::string& term, bool multiplexer);

}  // namespace vistamere::app
