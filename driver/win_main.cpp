#include "driver/win_main.h"

#include "driver/status_panel.h"
#include "driver/viewpoint_keys.h"
#include "overlay/hole_state.h"
#include "overlay/label_pass.h"
#include "overlay/load_picture.h"
#include "scene/fielder_table.h"
#include "scene/screen_size.h"
#include "toollibs/ole_string.h"

namespace vistamere {
namespace {

ProgramServices* bound_services = nullptr;

constexpr char kTitle[] = "Vistamere 1.0";
constexpr char kFilePrompt[] = "Enter file name: ";
constexpr char kQuitPrompt[] = "Enter N for new coordinates, any other quit";

void PrepareConsoleWindow(ConsoleTools& tools, std::intptr_t instance) {
  std::int32_t options = 0;
  tools.InitConsoleTools(instance, 0, 0, 3, &options, 0);
}

void DecorateConsoleWindow(ConsoleTools& tools) {
  SysFreeString(tools.ConsoleTitle(kTitle));
  tools.ConsoleIcon(1);
  tools.DeleteWindowMenuItem(-2);
  tools.ConsoleToolBar(0, 99);
  tools.ConsoleWindow(kShowWindow);
  tools.ConsoleWindow(kMaximiseWindow);
}

}  // namespace

void BindProgramServices(ProgramServices* services) {
  bound_services = services;
}

std::int32_t RunProgram(ProgramServices& services, std::intptr_t instance) {
  TextConsole& console = services.console;
  OverlayTools tools{console, services.console_tools, services.graphics_tools};

  // Set-up, once.
  HoleState.fill(kHoleClosed);
  FielderTable fielders{};
  PrepareConsoleWindow(services.console_tools, instance);
  ScreenRows = kProgramScreenRows;
  ScreenCols = kProgramScreenColumns;
  console.SetScreenSize(ScreenRows, ScreenCols);
  DecorateConsoleWindow(services.console_tools);
  FillFielderTable(fielders);
  const std::int32_t fielder_count = kFielderCount;

  console.PrintText(kFilePrompt);
  const Text picture_name = TrimRight(console.LineInput());
  LoadPicture(tools, picture_name);

  Viewpoint viewpoint{};
  Text last_key;
  for (;;) {
    // Restart point.
    console.ClearScreen();
    PrintHelpLines(console);
    ResetViewpoint(viewpoint);
    services.graphics_tools.GfxWindow(kShowWindow);
    CellPos current{};

    do {
      ApplyKey(viewpoint, last_key);
      DrawStatusPanel(console, viewpoint);
      LabelPass(tools, fielders, fielder_count, viewpoint, current);
      last_key = console.WaitKey();
    } while (!TextEquals(UpperCase(last_key), "Q"));

    console.Locate(1, 1);
    console.PrintText(kQuitPrompt);
    last_key = UpperCase(console.WaitKey());
    services.graphics_tools.GfxWindow(kHideWindow);
    if (!TextEquals(last_key, "N")) return 0;
  }
}

}  // namespace vistamere

extern "C" __attribute__((visibility("default"), used)) std::int32_t VISTAMERE_WINAPI
WINMAIN(std::intptr_t instance, std::intptr_t, const char*, std::int32_t) {
  if (vistamere::bound_services == nullptr) return 0;
  return vistamere::RunProgram(*vistamere::bound_services, instance);
}
