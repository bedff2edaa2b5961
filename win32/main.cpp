// Process entry on Windows: opens the console session, runs the program's
// entry routine on the Windows console device, and ends with its result.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "console/text_console.h"
#include "console/typed_line.h"
#include "driver/win_main.h"
#include "toollibs/file_name_completer.h"
#include "toollibs/tool_libraries_impl.h"
#include "win32/console_session.h"
#include "win32/wide_text.h"
#include "win32/windows_console.h"

namespace {

constexpr char kUsage[] =
    "Usage: vistamere [PICTURE]\n"
    "       vistamere --help | --version\n"
    "\n"
    "Vistamere shows a picture of a ballpark in the console, with the labels of the nine\n"
    "fielding positions where an observer sees each fielder.\n"
    "\n"
    "At the prompt, type the name of a picture file (BMP, JPEG, PNG, GIF or TIFF; WebP\n"
    "where Windows has its codec), or just press Enter for the built-in ballpark.\n"
    "A PICTURE named on the command line answers the prompt.\n"
    "\n"
    "Keys:  X/x Y/y Z/z  move the observer      1/2  tilt up/down      3/4  turn\n"
    "       Q  quit prompt (N starts again with the first viewpoint)\n"
    "       Ctrl+Break ends the program at once\n";

constexpr char kVersion[] = "Vistamere 1.0\n";
constexpr int kUsageErrorStatus = 2;

// The entry routine finds the program's services bound while it runs.
class ServicesBinding {
 public:
  explicit ServicesBinding(vistamere::ProgramServices& services) {
    vistamere::BindProgramServices(&services);
  }
  ~ServicesBinding() { vistamere::BindProgramServices(nullptr); }
  ServicesBinding(const ServicesBinding&) = delete;
  ServicesBinding& operator=(const ServicesBinding&) = delete;
};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string picture;
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = vistamere::win32::Utf8Of(argv[i]);
    if (argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::fputs(kVersion, stdout);
      return 0;
    }
    if ((argument.starts_with("-") && argument != "-") || !picture.empty()) {
      std::fprintf(stderr, "vistamere: unexpected argument '%s'\n\n%s", argument.c_str(), kUsage);
      return kUsageErrorStatus;
    }
    picture = argument;
    tail = argument;
  }

  std::string error;
  std::unique_ptr<vistamere::win32::ConsoleSession> session =
      vistamere::win32::ConsoleSession::Open(error);
  if (!session) {
    std::fprintf(stderr, "vistamere: %s\n", error.c_str());
    return 1;
  }
  try {
    vistamere::GraphicsWindow window;
    vistamere::win32::WindowsConsole device(*session, window);
    if (!picture.empty()) device.TypeAhead(picture);
    vistamere::TypedLine typed_line;
    const std::string home = Environment("USERPROFILE");
    vistamere::FileNameCompleter completer(home.c_str());
    vistamere::ToolLibraries tools(window, &device, &typed_line);
    vistamere::TextConsole console(device, {&typed_line, &completer});
    vistamere::ProgramServices services{console, tools, tools};
    const ServicesBinding binding(services);
    const auto instance = reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr));
    const std::int32_t code = WINMAIN(instance, 0, tail.c_str(), SW_SHOWNORMAL);
    session->Restore();
    return code;
  } catch (const std::exception& e) {
    session->Restore();
    std::fprintf(stderr, "vistamere: %s\n", e.what());
    return 1;
  }
}
