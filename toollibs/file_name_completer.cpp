#include "toollibs/file_name_completer.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "console/utf8.h"
#include "toollibs/picture_path.h"

namespace vistamere {

std::u32string FileNameCompleter::Complete(const std::u32string& typed) {
  const std::size_t slash = typed.rfind(U'/');
  const std::u32string folder_part =
      slash == std::u32string::npos ? U"" : typed.substr(0, slash + 1);
  const std::u32string start = typed.substr(folder_part.size());
  const std::string folder =
      folder_part.empty() ? "." : ExpandHome(Utf8Of(folder_part), home_.c_str());

  std::optional<std::u32string> common;
  bool only_folder = false;
  int matches = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(PathOfUtf8(folder), error), end; !error && it != end;
       it.increment(error)) {
    const auto name = CharactersOfUtf8(Utf8OfPath(it->path().filename()));
    if (!name || !name->starts_with(start)) continue;
    if (name->starts_with(U'.') && !start.starts_with(U'.')) continue;
    ++matches;
    std::error_code kind_error;
    only_folder = it->is_directory(kind_error);
    if (!common) {
      common = *name;
      continue;
    }
    std::size_t same = 0;
    while (same < common->size() && same < name->size() && (*common)[same] == (*name)[same]) {
      ++same;
    }
    common->resize(same);
  }
  if (!common) return {};
  std::u32string more = common->substr(start.size());
  if (matches == 1 && only_folder) more += U'/';
  return more;
}

}  // namespace vistamere
