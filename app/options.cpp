#include "app/options.h"

#include <optional>
#include <string_view>

namespace vistamere::app {
namespace {

constexpr std::string_view kColoursOption = "--colors";
constexpr std::string_view kGraphicsOption = "--graphics";

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

bool ParseGraphics(std::string_view value, GraphicsOption& choice) {
  if (value == "auto") {
    choice = GraphicsOption::kAuto;
  } else if (value == "cells") {
    choice = GraphicsOption::kCells;
  } else if (value == "sixel") {
    choice = GraphicsOption::kSixel;
  } else if (value == "kitty") {
    choice = GraphicsOption::kKitty;
  } else {
    return false;
  }
  return true;
}

// The value of "--name=VALUE" or "--name VALUE" (advancing `i`); nothing
// when `argument` is another option that only begins like this one.
std::optional<std::string_view> OptionValue(std::string_view argument, std::string_view name,
                                            int argc, const char* const* argv, int& i) {
  std::string_view value = argument.substr(name.size());
  if (value.starts_with('=')) {
    value.remove_prefix(1);
  } else if (!value.empty()) {
    return std::nullopt;
  } else if (i + 1 < argc) {
    value = argv[++i];
  }
  return value;
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
    } else if (argument == "--probe") {
      options.action = ProgramOptions::Action::kProbe;
    } else if (argument.starts_with(kColoursOption)) {
      const auto value = OptionValue(argument, kColoursOption, argc, argv, i);
      if (!value) return UsageError("unknown option '" + std::string(argument) + "'");
      if (!ParseColours(*value, options.colours)) {
        return UsageError("--colors takes truecolor, 256 or 16, not '" + std::string(*value) + "'");
      }
    } else if (argument.starts_with(kGraphicsOption)) {
      const auto value = OptionValue(argument, kGraphicsOption, argc, argv, i);
      if (!value) return UsageError("unknown option '" + std::string(argument) + "'");
      if (!ParseGraphics(*value, options.graphics)) {
        return UsageError("--graphics takes auto, cells, sixel or kitty, not '" +
                          std::string(*value) + "'");
      }
    } else {
      return UsageError("unknown option '" + std::string(argument) + "'");
    }
  }
  return options;
}

}  // namespace vistamere::app
