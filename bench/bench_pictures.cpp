#include "bench/bench_pictures.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vistamere::bench {

std::optional<std::string> BenchPicture(const std::string& format, int width, int height) {
  const std::string dir = VISTAMERE_BENCH_PICTURES;
  const std::string name =
      "picture-" + std::to_string(width) + "x" + std::to_string(height) + "." + format;
  const std::filesystem::path path = std::filesystem::path(dir) / name;
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) return path.string();
  const std::string command = "bash '" VISTAMERE_BENCH_SCRIPTS "/make_picture.sh' '" + dir + "' " +
                              format + " " + std::to_string(width) + " " + std::to_string(height) +
                              " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 || !std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  return path.string();
}

}  // namespace vistamere::bench
