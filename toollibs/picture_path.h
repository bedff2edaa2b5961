// From the name a user typed for a picture to the file to open.
#pragma once

#include <filesystem>
#include <string>

namespace vistamere {

// The file a typed name (UTF-8) means. The name as typed wins when such a
// file exists. Otherwise, as people type and paste names: a name wrapped in
// matching single or double quotes (a file dragged into a terminal arrives
// so) stands for the name inside them, and a leading "~/" for the home
// folder `home` (may be null). When none of these exists either, the name
// as typed, so that the failure names it.
[[nodiscard]] std::string ResolvePicturePath(const std::string& typed, const char* home);

// A path from a UTF-8 name, and back.
[[nodiscard]] std::filesystem::path PathOfUtf8(const std::string& utf8);
[[nodiscard]] std::string Utf8OfPath(const std::filesystem::path& path);

// A leading "~/" as the home folder; other names as they are.
[[nodiscard]] std::string ExpandHome(const std::string& name, const char* home);

}  // namespace vistamere
