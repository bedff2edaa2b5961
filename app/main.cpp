// Process entry: sets up the terminal platform, runs the program's entry
// routine on it, and ends with its result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/options.h"
#include "app/probe.h"
#include "console/text_console.h"
#include "driver/win_main.h"
#include "term/terminal_console.h"
#include "term/tty_session.h"
#include "toollibs/file_name_completer.h"
#include "toollibs/tool_libraries_impl.h"

extern "C" char __executable_start;  // NOLINT: start of the program image, set by the linker

namespace {

constexpr char kUsage[] =
    "Usage: vistamere [--colors=truecolor|256|16] [--graphics=auto|cells|sixel|kitty]\n"
    "                 [PICTURE]\n"
    "       vistamere --probe | --help | --version\n"
    "\n"
    "Vistamere shows a picture of a ballpark in the terminal, with the labels of the nine\n"
    "fielding positions where an observer sees each fielder.\n"
    "\n"
    "At the prompt, type the name of a picture file (BMP, JPEG, PNG, GIF, WebP\n"
    "or TIFF), or just press Enter for the built-in ballpark. A PICTURE named on\n"
    "the command line answers the prompt.\n"
    "\n"
    "  --colors=MODE  colours of the picture: truecolor (24-bit), 256 or 16;\n"
    "                 without it the terminal is asked what it can show\n"
    "  --graphics=HOW the picture in character cells, or in real pixels as sixel\n"
    "                 images or by the kitty graphics protocol; auto (the default)\n"
    "                 uses pixels where the terminal shows them and no tmux or\n"
    "                 screen runs in between\n"
    "  --probe        ask the terminal what it shows, print its answers and how\n"
    "                 the picture would be drawn, and exit\n"
    "\n"
    "Keys:  X/x Y/y Z/z  move the observer      1/2  tilt up/down      3/4  turn\n"
    "       Q  quit prompt (N starts again with the first viewpoint)\n"
    "\n"
    "Needs a terminal of at least 102 columns by 40 rows.\n";

constexpr char kVersion[] = "Vistamere 1.0\n";

// The exit status of a command line the program cannot follow.
constexpr int kUsageErrorStatus = 2;

// The command line without the program's own name.
std::string CommandTail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}

std::optional<vistamere::term::ColourMode> ChosenColourMode(vistamere::app::ColourChoice choice) {
  switch (choice) {
    case vistamere::app::ColourChoice::kTrueColor:
      return vistamere::term::ColourMode::kTrueColor;
    case vistamere::app::ColourChoice::k256:
      return vistamere::term::ColourMode::kIndexed256;
    case vistamere::app::ColourChoice::k16:
      return vistamere::term::ColourMode::kIndexed16;
    case vistamere::app::ColourChoice::kDetect:
      break;
  }
  return std::nullopt;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

vistamere::term::GraphicsSettings GraphicsSettingsOf(vistamere::app::GraphicsOption option) {
  vistamere::term::GraphicsSettings settings;
  switch (option) {
    case vistamere::app::GraphicsOption::kAuto:
      settings.choice = vistamere::term::GraphicsChoice::kAuto;
      break;
    case vistamere::app::GraphicsOption::kCells:
      settings.choice = vistamere::term::GraphicsChoice::kCells;
      break;
    case vistamere::app::GraphicsOption::kSixel:
      settings.choice = vistamere::term::GraphicsChoice::kSixel;
      break;
    case vistamere::app::GraphicsOption::kKitty:
      settings.choice = vistamere::term::GraphicsChoice::kKitty;
      break;
  }
  settings.multiplexer = vistamere::term::InsideMultiplexer(
      Environment("TERM"), std::getenv("TMUX") != nullptr, std::getenv("STY") != nullptr);
  return settings;
}

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

}  // namespace

int main(int argc, char** argv) {
  const vistamere::app::ProgramOptions options = vistamere::app::ParseOptions(argc, argv);
  switch (options.action) {
    case vistamere::app::ProgramOptions::Action::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case vistamere::app::ProgramOptions::Action::kVersion:
      std::fputs(kVersion, stdout);
      return 0;
    case vistamere::app::ProgramOptions::Action::kUsageError:
      std::fprintf(stderr, "vistamere: %s\n\n%s", options.error.c_str(), kUsage);
      return kUsageErrorStatus;
    case vistamere::app::ProgramOptions::Action::kRun:
    case vistamere::app::ProgramOptions::Action::kProbe:
      break;
  }

  std::string error;
  std::unique_ptr<vistamere::term::TtySession> tty = vistamere::term::TtySession::Open(error);
  if (!tty) {
    std::fprintf(stderr, "vistamere: %s\n", error.c_str());
    return 1;
  }
  try {
    vistamere::GraphicsWindow window;
    vistamere::term::TerminalConsole device(
        *tty, window,
        {ChosenColourMode(options.colours), Environment("COLORTERM"), Environment("TERM")},
        GraphicsSettingsOf(options.graphics));
    if (options.picture) device.TypeAhead(*options.picture);
    device.Start();
    if (options.action == vistamere::app::ProgramOptions::Action::kProbe) {
      const vistamere::term::TerminalSize size = tty->Size();
      const vistamere::term::GraphicsSettings graphics = GraphicsSettingsOf(options.graphics);
      const std::string report =
          vistamere::app::ProbeReport(device, size, Environment("TERM"), graphics.multiplexer);
      tty->Restore();
      std::fputs(report.c_str(), stdout);
      return 0;
    }
    vistamere::TypedLine typed_line;
    vistamere::FileNameCompleter completer(std::getenv("HOME"));
    vistamere::ToolLibraries tools(window, &device, &typed_line);
    vistamere::TextConsole console(device, {&typed_line, &completer});
    vistamere::ProgramServices services{console, tools, tools};
    const ServicesBinding binding(services);
    const std::string tail = CommandTail(argc, argv);
    const std::int32_t code =
        WINMAIN(reinterpret_cast<std::intptr_t>(&__executable_start), 0, tail.c_str(), 10);
    tty->Restore();
    return code;
  } catch (const vistamere::term::EndRequested&) {
    tty->Restore();
    return 0;
  } catch (const vistamere::term::TerminalLost&) {
    // Nobody is left to read a message.
    tty->Restore();
    return 1;
  } catch (const std::exception& e) {
    tty->Restore();
    std::fprintf(stderr, "vistamere: %s\n", e.what());
    return 1;
  }
}
