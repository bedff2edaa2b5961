// The program's entry routine and its only loop.
#pragma once

#include <cstdint>

#include "console/text_console.h"
#include "toollibs/tool_libraries.h"

namespace vistamere {

struct ProgramServices {
  TextConsole& console;
  ConsoleTools& console_tools;
  GraphicsTools& graphics_tools;
};

// Runs the whole program on the given services; returns the exit code.
std::int32_t RunProgram(ProgramServices& services, std::intptr_t instance);

// The services the exported entry routine runs on; set by the process
// before it calls WINMAIN.
void BindProgramServices(ProgramServices* services);

}  // namespace vistamere

// On 32-bit Windows the entry routine has the calling convention of WinMain.
#if defined(_WIN32) && defined(__i386__)
#define VISTAMERE_WINAPI __stdcall
#else
#define VISTAMERE_WINAPI
#endif

extern "C" std::int32_t VISTAMERE_WINAPI WINMAIN(std::intptr_t instance,
                                                 std::intptr_t previous_instance,
                                                 const char* command_line,
                                                 std::int32_t show_command);
