#include "app/options.h"

#include <string_view>

namespace vistamere::app {
namespace {

constexpr std::string_view kColoursOption = "--colors";

bool ParseColours(std::string_view value, ColourChoice& choice) {
  if (value == "truecolor") {
    choice = ColourChoice::kTrueColor;
  } else if (value == "256") {
    choice = ColourChoice::k256;
  } else if (value == "16") {
    choice = ColourChoice::k16;
  } else {
    return false;
  }
  return true;
}

ProgramOptions UsageError(std::string error) {
  ProgramOptions options;
  options.action = ProgramOptions::Action::kUsageError;
  options.error = std::move(error);
  return options;
}

}  // namespace

ProgramOptions ParseOptions(int argc, const char* const* argv) {
  ProgramOptions options;
  bool names_only = false;  // after "--" everything is a name
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (names_only || argument.empty() || argument[0] != '-' || argument == "-") {
      if (options.picture) return UsageError("only one picture can be named");
      options.picture = std::string(argument);
      continue;
    }
    if (argument == "--") {
      names_only = true;
    } else if (argument == "--help" || argument == "-h") {
      options.action = ProgramOptions::Action::kHelp;
      return options;
    } else if (argument == "--version") {
      options.action = ProgramOptions::Action::kVersion;
      return options;
    } else if (argument.starts_with(kColoursOption)) {
      std::string_view value = argument.substr(kColoursOption.size());
      if (value.starts_with('=')) {
        value.remove_prefix(1);
      } else if (!value.empty()) {
        return UsageError("unknown option '" + std::string(argument) + "'");
      } else if (i + 1 < argc) {
        value = argv[++i];
      }
      if (!ParseColours(value, options.colours)) {
        return UsageError("--colors takes truecolor, 256 or 16, not '" + std::string(value) + "'");
      }
    } else {
      return UsageError("unknown option '" + std::string(argument) + "'");
    }
  }
  return options;
}

}  // namespace vistamere::app
