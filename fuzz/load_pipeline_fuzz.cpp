// The whole load as the program does it - open, sniff the format, dispatch
// to its decoder, reduce into a canvas - over arbitrary bytes. The canvas is
// a quarter of the program's on each side, so that runs stay quick; the
// decoders' limits are the program's own.
// The input goes into an in-memory file, which LoadPictureFile opens by its
// /proc/self/fd name like any regular file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "picture/canvas.h"
#include "picture/load_picture_file.h"

namespace {

using namespace vistamere;

constexpr int kWidth = picture::kCanvasWidth / 4;
constexpr int kHeight = picture::kCanvasHeight / 4;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "load pipeline: %s\n", what);
  std::abort();
}

int MemoryFile() {
  static const int fd = ::memfd_create("fuzz-picture", 0);
  if (fd < 0) Fail("memfd_create failed");
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = MemoryFile();
  if (::ftruncate(fd, 0) != 0) Fail("ftruncate failed");
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::pwrite(fd, data + written, size - written, static_cast<off_t>(written));
    if (n <= 0) Fail("pwrite failed");
    written += static_cast<std::size_t>(n);
  }

  picture::Canvas canvas;
  int last_percent = -1;
  const picture::LoadOutcome outcome = picture::LoadPictureFile(
      "/proc/self/fd/" + std::to_string(fd), kWidth, kHeight, canvas, [&last_percent](int percent) {
        if (percent < 0 || percent > 100) Fail("progress outside 0-100");
        last_percent = percent;
        return true;
      });

  if (canvas.width != kWidth || canvas.height != kHeight ||
      canvas.rgb.size() != std::size_t{kWidth} * kHeight * 3) {
    Fail("the canvas is not the requested size");
  }
  if (outcome.status == picture::DecodeStatus::kOk) {
    if (!outcome.reason.empty()) Fail("a reason given for a good load");
  } else {
    if (outcome.reason.empty()) Fail("no reason given for a failed load");
    for (const char c : outcome.reason) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) Fail("control byte in the reason");
    }
  }
  return 0;
}
