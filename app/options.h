// The command line: what the user asked for, or why it cannot be done.
#pragma once

#include <optional>
#include <string>

namespace vistamere::app {

enum class ColourChoice { kDetect, kTrueColor, k256, k16 };
enum class GraphicsOption { kAuto, kCells, kSixel, kKitty };

struct ProgramOptions {
  enum class Action { kRun, kHelp, kVersion, kProbe, kUsageError };

  Action action = Action::kRun;
  ColourChoice colours = ColourChoice::kDetect;
  GraphicsOption graphics = GraphicsOption::kAuto;
  // A picture named on the command line answers the file prompt.
  std::optional<std::string> picture;
  std::string error;  // what is wrong, for kUsageError
};

ProgramOptions ParseOptions(int argc, const char* const* argv);

}  // namespace vistamere::app
