// The picture file source on Windows: the file opened by its UTF-16 name
// and read with ReadFile at explicit offsets, so that reads from two threads
// never disturb each other's position.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "picture/file_source.h"
#include "win32/wide_text.h"

namespace vistamere::picture {
namespace {

std::string ReasonOfWindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return "no such file";
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "the file is in use by another program";
    default:
      break;
  }
  return "cannot open the file (Windows error " + std::to_string(error) + ")";
}

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

std::string OpenErrorReason(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "no such file";
    case EACCES:
    case EPERM:
      return "permission denied";
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
  const std::wstring name = win32::WideOf(path);
  // A folder cannot be opened as a file at all: say what it is.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = "not a regular file";
    return nullptr;
  }
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = ReasonOfWindowsError(GetLastError());
    return nullptr;
  }
  // Pipes, consoles and devices are no picture files.
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    reason = "not a regular file";
    CloseHandle(file);
    return nullptr;
  }
  if (size.QuadPart <= 0) {
    reason = "empty file";
    CloseHandle(file);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    reason = OpenErrorReason(errno);
    CloseHandle(file);
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(size.QuadPart)));
}

FileSource::FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

FileSource::~FileSource() {
  _close(fd_);  // closes the handle with it
}

std::size_t FileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  constexpr std::size_t kLargestRead = std::size_t{1} << 30;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFU);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min(size - done, kLargestRead));
    if (!ReadFile(HandleOf(fd_), out + done, wanted, &got, &position) || got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace vistamere::picture
