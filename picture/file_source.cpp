#include "picture/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace vistamere::picture {

std::string OpenErrorReason(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "no such file";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ELOOP:
      return "too many levels of symbolic links";
    default:
      break;
  }
  std::string text = std::strerror(error_number);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::unique_ptr<FileSource> FileSource::Open(const std::string& path, std::string& reason) {
  if (path.empty()) {
    reason = OpenErrorReason(ENOENT);
    return nullptr;
  }
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    reason = OpenErrorReason(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = OpenErrorReason(errno);
    ::close(fd);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = "not a regular file";
    ::close(fd);
    return nullptr;
  }
  if (info.st_size <= 0) {
    // Files of the kernel's (/proc, /sys) report no size whatever they
    // hold, and some cannot be read from their start at all: only a file
    // that gives nothing is empty.
    std::uint8_t probe = 0;
    ssize_t got = 0;
    do {
      got = ::pread(fd, &probe, 1, 0);
    } while (got < 0 && errno == EINTR);
    reason = got == 0 ? "empty file" : "not a readable file";
    ::close(fd);
    return nullptr;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    reason = OpenErrorReason(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(info.st_size)));
}

FileSource::FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

FileSource::~FileSource() {
  ::close(fd_);
}

std::size_t FileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    ssize_t got = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace vistamere::picture
