// The memory a JPEG load takes, whatever the file: each file is loaded in a
// forked child, as the program loads it into its canvas, and the child's
// peak resident memory (beyond what it had from its parent) must stay
// within the bound, with the outcome the file calls for.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "jpeg_writer.h"
#include "picture/canvas.h"
#include "picture/load_picture_file.h"

namespace vistamere::picture::testing {
namespace {

// The program's whole peak is to stay within 64 MiB; it has 8 MiB or so
// before it loads anything.
constexpr long kAddedMemoryBound = 48L << 20;

// ThreadSanitizer's shadow memory counts in a process's peak RSS several
// times over what the load itself takes: there only the outcome is checked.
#if defined(__SANITIZE_THREAD__)
constexpr bool kPeakMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kPeakMeasurable = false;
#else
constexpr bool kPeakMeasurable = true;
#endif
#else
constexpr bool kPeakMeasurable = true;
#endif

long ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) * 1024;
  }
  return 0;
}

struct ChildLoad {
  bool clean = false;
  int status = -1;
  std::string reason;
  long added_peak = 0;  // bytes
};

ChildLoad LoadInChild(const std::string& path) {
  ChildLoad load;
  int fds[2];
  if (::pipe(fds) != 0) return load;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const std::string before = std::to_string(ResidentBytes()) + "\n";
    Canvas canvas;
    const LoadOutcome outcome = LoadPictureFile(path, kCanvasWidth, kCanvasHeight, canvas);
    const std::string report =
        before + std::to_string(static_cast<int>(outcome.status)) + "\n" + outcome.reason;
    const bool written =
        ::write(fds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    _exit(written ? 0 : 3);
  }
  ::close(fds[1]);
  std::string report;
  char buffer[256];
  ssize_t n = 0;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
    report.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return load;
  }
  const std::size_t first = report.find('\n');
  const std::size_t second = report.find('\n', first + 1);
  if (first == std::string::npos || second == std::string::npos) return load;
  load.clean = true;
  load.added_peak = usage.ru_maxrss * 1024 - std::stol(report.substr(0, first));
  load.status = std::stoi(report.substr(first + 1, second - first - 1));
  load.reason = report.substr(second + 1);
  return load;
}

// 161 bytes: a progressive grey picture of 16000 x 16000 whose one DC scan
// holds 32 zero bytes, then EOI.
Bytes HugeProgressiveWithoutData() {
  Bytes file = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  file.insert(file.end(), 64, 1);
  const Bytes frame = {0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x3E, 0x80,
                       0x3E, 0x80, 0x01, 0x01, 0x11, 0x00};
  file.insert(file.end(), frame.begin(), frame.end());
  // The usual luminance DC table.
  const Bytes table = {0xFF, 0xC4, 0x00, 0x1F, 0x00, 0, 1, 5, 1, 1, 1, 1, 1, 1, 0,  0, 0,
                       0,    0,    0,    0,    0,    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  file.insert(file.end(), table.begin(), table.end());
  const Bytes scan = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00};
  file.insert(file.end(), scan.begin(), scan.end());
  file.insert(file.end(), 32, 0);
  file.insert(file.end(), {0xFF, 0xD9});
  return file;
}

// 4000 x 3000 with every chroma sample: libjpeg-turbo would hold 72 MB of
// coefficients for it. Gradients with noise, made quickly.
Bytes LargeProgressive(bool arithmetic) {
  TestPicture picture;
  picture.width = 4000;
  picture.height = 3000;
  picture.channels = 3;
  picture.samples.resize(std::size_t{picture.width} * picture.height * 3);
  std::uint32_t noise = 12345;
  for (std::size_t i = 0; i < picture.samples.size(); ++i) {
    noise = noise * 1103515245u + 12345u;
    const std::size_t pixel = i / 3;
    const auto base = static_cast<std::uint32_t>((pixel % picture.width) / 16 +
                                                 (pixel / picture.width) / 12 + (i % 3) * 40);
    picture.samples[i] = static_cast<std::uint8_t>(base + (noise >> 28));
  }
  JpegWriterOptions writer;
  writer.sampling = k444;
  writer.progressive = true;
  writer.arithmetic = arithmetic;
  writer.quality = 90;
  return EncodeJpeg(picture, writer);
}

struct MemoryCase {
  const char* label;
  std::function<Bytes()> make;
  DecodeStatus status;
  const char* reason;
};

void PrintTo(const MemoryCase& test, std::ostream* out) {
  *out << test.label;
}

const MemoryCase kMemoryCases[] = {
    {"progressive_16000_square_without_data", HugeProgressiveWithoutData, DecodeStatus::kTruncated,
     "truncated JPEG data"},
    // At the canvas' size libjpeg-turbo would decode it at 2/8; shown at
    // 1/8 from its DC scans instead.
    {"progressive_4000x3000", [] { return LargeProgressive(false); }, DecodeStatus::kOk, ""},
    // libjpeg-turbo alone reads arithmetic coding: its own limit refuses it.
    {"arithmetic_progressive_4000x3000", [] { return LargeProgressive(true); },
     DecodeStatus::kFailed, "too large to decode (40 MiB)"},
};

class JpegMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(JpegMemory, StaysWithinTheBound) {
  const MemoryCase& test = GetParam();
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("vistamere-jpeg-memory-" + std::to_string(::getpid()) + "-" + test.label + ".jpg");
  {
    const Bytes bytes = test.make();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  const ChildLoad load = LoadInChild(path.string());
  std::filesystem::remove(path);
  ASSERT_TRUE(load.clean);
  EXPECT_EQ(load.status, static_cast<int>(test.status)) << load.reason;
  EXPECT_EQ(load.reason, test.reason);
  if (kPeakMeasurable) {
    EXPECT_LE(load.added_peak, kAddedMemoryBound) << (load.added_peak >> 20) << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegMemory, ::testing::ValuesIn(kMemoryCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace vistamere::picture::testing
