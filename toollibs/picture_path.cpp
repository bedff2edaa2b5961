#include "toollibs/picture_path.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace vistamere {
namespace {

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(PathOfUtf8(path), error);
}

bool IsQuoted(const std::string& name) {
  return name.size() >= 2 && (name.front() == '\'' || name.front() == '"') &&
         name.back() == name.front();
}

}  // namespace

std::filesystem::path PathOfUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8OfPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string ExpandHome(const std::string& name, const char* home) {
  if (home == nullptr || *home == '\0' || !name.starts_with("~/")) return name;
  std::string expanded = home;
  if (!expanded.ends_with('/')) expanded += '/';
  return expanded + name.substr(2);
}

std::string ResolvePicturePath(const std::string& typed, const char* home) {
  if (Exists(typed)) return typed;
  std::vector<std::string> candidates;
  const std::string unquoted = IsQuoted(typed) ? typed.substr(1, typed.size() - 2) : typed;
  if (unquoted != typed) candidates.push_back(unquoted);
  candidates.push_back(ExpandHome(unquoted, home));
  for (const std::string& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  return typed;
}

}  // namespace vistamere
