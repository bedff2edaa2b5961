// A read-only COM stream over a picture file's ByteSource, for the Windows
// Imaging Component's decoders: they read the file the loader opened, with
// its size checks and its stop on cancel.
#pragma once

#include <objidl.h>

#include "picture/byte_source.h"

namespace vistamere::win32 {

// COM interfaces have no virtual destructor: their objects delete
// themselves, or, like this one, are never deleted through them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Lives on its caller's stack: everything that took a reference must have
// released it before the stream goes out of scope.
class ByteSourceStream final : public IStream {
 public:
  explicit ByteSourceStream(picture::ByteSource& source) : source_(source) {}
  ByteSourceStream(const ByteSourceStream&) = delete;
  ByteSourceStream& operator=(const ByteSourceStream&) = delete;

  // Whether a read came short of its request at the end of the data, or a
  // seek went past the end: a decode that failed then met truncated data.
  bool reached_end() const { return reached_end_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* position) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override;

 private:
  picture::ByteSource& source_;
  ULONG references_ = 1;
  bool reached_end_ = false;
};

#pragma GCC diagnostic pop

}  // namespace vistamere::win32
