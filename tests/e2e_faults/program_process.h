// Finding the program's process under the pane's shell, and watching it end.
#pragma once

#include <string>

#include "tmux_session.h"

namespace vistamere::testing {

// The pid of the running `binary` among the children of the pane's shell;
// waits up to `seconds` for it to appear, -1 if it does not.
int ProgramPid(TmuxSession& tmux, const std::string& binary, double seconds = 10.0);

// Waits up to `seconds` for the process to be gone (a zombie counts as gone).
bool ProcessGone(int pid, double seconds = 10.0);

}  // namespace vistamere::testing
