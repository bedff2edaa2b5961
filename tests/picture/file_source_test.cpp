#include "picture/file_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace vistamere::picture {
namespace {

using testing::ScratchDir;

TEST(FileSource, RefusesWhatIsNotAReadableRegularFile) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("folder"));
  dir.Write("empty.bmp", std::string());
  std::filesystem::create_symlink(dir.File("loop-b"), dir.File("loop-a"));
  std::filesystem::create_symlink(dir.File("loop-a"), dir.File("loop-b"));
  dir.Write("plain", "x");

  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {dir.File("missing.bmp"), "no such file"},
      {"", "no such file"},
      {dir.File("folder"), "not a regular file"},
      {dir.File("fifo"), "not a regular file"},  // a FIFO without a writer must not block
      {"/dev/zero", "not a regular file"},
      {"/dev/null", "not a regular file"},
      {dir.File("empty.bmp"), "empty file"},
      {dir.File("loop-a"), "too many levels of symbolic links"},
      {dir.File("plain") + "/below", "not a directory"},
  };
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_EQ(FileSource::Open(c.path, reason), nullptr) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
  }
}

TEST(FileSource, RefusesAFileItMayNotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  ScratchDir dir;
  std::string path = dir.Write("secret.bmp", "BM");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  std::string reason;
  EXPECT_EQ(FileSource::Open(path, reason), nullptr);
  EXPECT_EQ(reason, "permission denied");
}

TEST(FileSource, ReadsAndSeeksAcrossItsBuffer) {
  ScratchDir dir;
  std::vector<std::uint8_t> bytes(200000);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  std::string path = dir.Write("data", bytes);
  std::string reason;
  auto source = FileSource::Open(path, reason);
  ASSERT_NE(source, nullptr) << reason;
  EXPECT_EQ(source->Size(), bytes.size());

  struct Step {
    std::uint64_t seek;
    std::size_t size;
  };
  // Small reads, reads across the buffer's edge, a large direct read,
  // backwards seeks, and a read running past the end.
  const Step steps[] = {{0, 10},    {65530, 20}, {5, 100000},     {199990, 50},
                        {70000, 3}, {12, 1},     {131072, 65536}, {199999, 1}};
  for (const Step& s : steps) {
    ASSERT_TRUE(source->Seek(s.seek));
    std::vector<std::uint8_t> got(s.size);
    std::size_t expected = std::min<std::size_t>(s.size, bytes.size() - s.seek);
    ASSERT_EQ(source->Read(got.data(), got.size()), expected) << s.seek;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(expected),
                           bytes.begin() + static_cast<std::ptrdiff_t>(s.seek)))
        << s.seek;
    EXPECT_EQ(source->Position(), s.seek + expected);
  }
  EXPECT_TRUE(source->Seek(bytes.size()));
  std::uint8_t byte = 0;
  EXPECT_EQ(source->Read(&byte, 1), 0u);
  EXPECT_FALSE(source->Seek(bytes.size() + 1));
}

}  // namespace
}  // namespace vistamere::picture
