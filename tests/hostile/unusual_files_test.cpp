// Files that are not what they seem: wrong names, no content, things that
// are not regular files at all (a FIFO must not block the load), odd names
// and a symlink loop.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "expectations.h"
#include "hostile_bytes.h"

namespace vistamere::picture::testing {
namespace {

struct SpecialCase {
  const char* label;
  std::function<std::string()> make_path;  // empty result: not available here
  Expect expect;
  const char* reason;  // the reason, or a phrase of it
};

void PrintTo(const SpecialCase& test, std::ostream* out) {
  *out << test.label;
}

Bytes SmallPng() {
  return MadeByImageMagick("-size 16x8 xc:orange", "small.png");
}

std::string Fifo() {
  const std::string path = (ScratchFolder() / "fifo.png").string();
  ::unlink(path.c_str());
  ::mkfifo(path.c_str(), 0600);
  return path;
}

std::string SymlinkLoop() {
  const auto a = ScratchFolder() / "loop_a.png";
  const auto b = ScratchFolder() / "loop_b.png";
  std::error_code ignored;
  std::filesystem::remove(a, ignored);
  std::filesystem::remove(b, ignored);
  std::filesystem::create_symlink(b, a);
  std::filesystem::create_symlink(a, b);
  return a.string();
}

std::string Directory() {
  const auto path = ScratchFolder() / "folder.bmp";
  std::filesystem::create_directories(path);
  return path.string();
}

std::string ControllingTerminal() {
  const int fd = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return "";
  ::close(fd);
  return "/dev/tty";
}

const SpecialCase kCases[] = {
    {"text_named_jpg",
     [] {
       return WriteScratchFile("notes.jpg", {'h', 'e', 'l', 'l', 'o', '\n'});
     },
     Expect::kNotShown, "unknown picture format"},
    {"png_named_bmp", [] { return WriteScratchFile("really_png.bmp", SmallPng()); }, Expect::kShown,
     ""},
    {"png_named_nothing", [] { return WriteScratchFile("no_extension", SmallPng()); },
     Expect::kShown, ""},
    {"empty_file", [] { return WriteScratchFile("empty.png", {}); }, Expect::kNotShown,
     "empty file"},
    // Files that report no size but are not empty.
    {"proc_self_mem", [] { return std::string("/proc/self/mem"); }, Expect::kNotShown,
     "not a readable file"},
    {"proc_self_status", [] { return std::string("/proc/self/status"); }, Expect::kNotShown,
     "not a readable file"},
    {"one_byte", [] { return WriteScratchFile("one.gif", {'G'}); }, Expect::kNotShown,
     "unknown picture format"},
    {"directory", Directory, Expect::kNotShown, "not a regular file"},
    {"fifo_without_writer", Fifo, Expect::kNotShown, "not a regular file"},
    {"dev_zero", [] { return std::string("/dev/zero"); }, Expect::kNotShown, "not a regular file"},
    {"dev_tty", ControllingTerminal, Expect::kNotShown, "not a regular file"},
    {"control_characters_in_name",
     [] { return WriteScratchFile("a\x01\x1b[31mb\nc\x7f.png", SmallPng()); }, Expect::kShown, ""},
    {"symlink_loop", SymlinkLoop, Expect::kNotShown, "symbolic links"},
    {"missing", [] { return (ScratchFolder() / "missing.png").string(); }, Expect::kNotShown,
     "no such file"},
    {"empty_name", [] { return std::string(); }, Expect::kNotShown, "no such file"},
};

class SpecialFiles : public ::testing::TestWithParam<SpecialCase> {};

TEST_P(SpecialFiles, GiveAClearReasonAtOnce) {
  const SpecialCase& test = GetParam();
  const std::string path = test.make_path();
  if (path.empty() && std::string(test.label) != "empty_name") {
    GTEST_SKIP() << "not available here";
  }
  const GuardedLoad load = LoadGuarded(path);
  CheckLoad(load, test.expect, test.reason);
}

INSTANTIATE_TEST_SUITE_P(Files, SpecialFiles, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
