#include "win32/byte_source_stream.h"

#include <cstdint>
#include <cstring>

namespace vistamere::win32 {

HRESULT ByteSourceStream::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ISequentialStream) ||
      IsEqualIID(id, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ByteSourceStream::Read(void* buffer, ULONG size, ULONG* read) {
  if (buffer == nullptr && size > 0) return STG_E_INVALIDPOINTER;
  const std::size_t got = picture::ReadFully(source_, buffer, size);
  if (got < size) reached_end_ = true;
  if (read != nullptr) *read = static_cast<ULONG>(got);
  return got == size ? S_OK : S_FALSE;
}

HRESULT ByteSourceStream::Write(const void*, ULONG, ULONG* written) {
  if (written != nullptr) *written = 0;
  return STG_E_ACCESSDENIED;
}

HRESULT ByteSourceStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  std::int64_t base = 0;
  switch (origin) {
    case STREAM_SEEK_SET:
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<std::int64_t>(source_.Position());
      break;
    case STREAM_SEEK_END:
      base = static_cast<std::int64_t>(source_.Size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  const std::int64_t target = base + move.QuadPart;
  if (target < 0) return STG_E_INVALIDFUNCTION;
  // A stream may be positioned past its end; a file's data never lies there.
  if (!source_.Seek(static_cast<std::uint64_t>(target))) {
    reached_end_ = true;
    return STG_E_INVALIDFUNCTION;
  }
  if (position != nullptr) position->QuadPart = static_cast<ULONGLONG>(target);
  return S_OK;
}

HRESULT ByteSourceStream::Stat(STATSTG* stat, DWORD) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof *stat);
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = source_.Size();
  stat->grfMode = STGM_READ;
  return S_OK;
}

HRESULT ByteSourceStream::Clone(IStream** clone) {
  if (clone != nullptr) *clone = nullptr;
  return E_NOTIMPL;
}

}  // namespace vistamere::win32
