#include "win32/wic_decoder.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "picture/decode_outcomes.h"
#include "win32/byte_source_stream.h"
#include "win32/stored_orientation.h"

namespace vistamere::win32 {
namespace {

using picture::DecodeOutcome;
using picture::DecodeRequest;
using picture::DecodeStatus;
using picture::PictureFormat;

// Pixels are copied out of the codec a band at a time: at most this many
// bytes of them, whatever the picture's width.
constexpr std::uint32_t kBandBytes = std::uint32_t{4} << 20;
constexpr std::uint32_t kScaleDivisors[] = {8, 4, 2};

// COM interfaces have no virtual destructor; neither have the objects
// here, which are never deleted through them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// mingw-w64's wincodec.h leaves out IWICBitmapSourceTransform, which a
// codec that decodes at smaller scales offers. Its layout and IID as
// Windows declares them.
struct SourceTransform : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions options, UINT stride,
                                               UINT buffer_size, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions options,
                                                         BOOL* supported) = 0;
};
constexpr IID kSourceTransformId = {
    0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};

// Holds one reference to a COM object.
template <typename T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (object_ != nullptr) object_->Release();
  }
  T** Out() { return &object_; }
  void** OutVoid() { return reinterpret_cast<void**>(&object_); }
  T* operator->() const { return object_; }
  T* get() const { return object_; }

 private:
  T* object_ = nullptr;
};

// COM for this thread, from its first decode until the thread ends.
class Apartment {
 public:
  Apartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  // A thread already in a single-threaded apartment can use it as it is.
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

bool EnterApartment() {
  thread_local const Apartment apartment;
  return apartment.usable();
}

const GUID* ContainerOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::kJpeg:
      return &GUID_ContainerFormatJpeg;
    case PictureFormat::kPng:
      return &GUID_ContainerFormatPng;
    case PictureFormat::kGif:
      return &GUID_ContainerFormatGif;
    case PictureFormat::kTiff:
      return &GUID_ContainerFormatTiff;
    case PictureFormat::kWebp:
      return &GUID_ContainerFormatWebp;
    case PictureFormat::kBmp:
    case PictureFormat::kUnknown:
      break;
  }
  return nullptr;
}

// A frame as the codec decodes it at a smaller scale, as a bitmap source
// the format converter can read. Lives on its caller's stack, like the
// stream.
class ScaledFrame final : public IWICBitmapSource {
 public:
  ScaledFrame(IWICBitmapFrameDecode* frame, SourceTransform* transform, UINT width, UINT height,
              const WICPixelFormatGUID& format)
      : frame_(frame), transform_(transform), width_(width), height_(height), format_(format) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IWICBitmapSource)) {
      *object = static_cast<IWICBitmapSource*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
    if (width == nullptr || height == nullptr) return E_INVALIDARG;
    *width = width_;
    *height = height_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
    if (format == nullptr) return E_INVALIDARG;
    *format = format_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
    return frame_->GetResolution(x, y);
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override {
    return frame_->CopyPalette(palette);
  }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT buffer_size,
                                       BYTE* buffer) override {
    WICPixelFormatGUID format = format_;
    return transform_->CopyPixels(rect, width_, height_, &format, WICBitmapTransformRotate0, stride,
                                  buffer_size, buffer);
  }

 private:
  IWICBitmapFrameDecode* frame_;
  SourceTransform* transform_;
  UINT width_;
  UINT height_;
  WICPixelFormatGUID format_;
  ULONG references_ = 1;
};

#pragma GCC diagnostic pop

struct Size {
  UINT width = 0;
  UINT height = 0;
};

// Whether a decode of this size covers the target on both axes, or keeps
// 7/8 of the detail shown; a turned picture's axes compared the other way.
bool Covers(Size size, const DecodeRequest& request, bool turned) {
  std::uint64_t width = size.width;
  std::uint64_t height = size.height;
  if (turned) std::swap(width, height);
  if (width >= request.target_width && height >= request.target_height) return true;
  return request.shown_width != 0 && request.shown_height != 0 &&
         width * 8 >= std::uint64_t{request.shown_width} * 7 &&
         height * 8 >= std::uint64_t{request.shown_height} * 7;
}

// The smallest size the codec decodes to natively that still covers the
// request; the full size when none does.
Size ChooseScaledSize(SourceTransform& transform, Size full, const DecodeRequest& request,
                      bool turned) {
  Size best = full;
  for (const std::uint32_t divisor : kScaleDivisors) {
    Size size{(full.width + divisor - 1) / divisor, (full.height + divisor - 1) / divisor};
    if (FAILED(transform.GetClosestSize(&size.width, &size.height))) continue;
    if (size.width == 0 || size.height == 0 || size.width > full.width ||
        size.height > full.height) {
      continue;
    }
    if (std::uint64_t{size.width} * size.height < std::uint64_t{best.width} * best.height &&
        Covers(size, request, turned)) {
      best = size;
    }
  }
  return best;
}

// A load that was stopped reads no more bytes.
bool Stopped(const picture::ByteSource& source) {
  std::uint8_t byte = 0;
  return source.ReadAt(0, &byte, 1) == 0;
}

// What a codec answers for a picture it has no support for, as against
// damaged data.
bool Unsupported(HRESULT result) {
  return result == WINCODEC_ERR_UNSUPPORTEDOPERATION || result == WINCODEC_ERR_UNSUPPORTEDVERSION ||
         result == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT || result == E_NOTIMPL;
}

DecodeOutcome Failure(std::string reason) {
  return {DecodeStatus::kFailed, std::move(reason)};
}

// Everything after the stream: the COM objects here are all released
// before it goes.
DecodeOutcome DecodeFrom(ByteSourceStream& stream, IWICImagingFactory& factory,
                         PictureFormat format, picture::ByteSource& source, picture::RowSink& sink,
                         const DecodeRequest& request) {
  const char* name = picture::FormatName(format);
  // What the codec says of a file it could not read to the end: that it
  // does not read this kind of picture, or else that the data is damaged.
  const auto failed = [&](HRESULT result, bool delivered) {
    if (Unsupported(result)) {
      return DecodeOutcome{
          delivered ? DecodeStatus::kTruncated : DecodeStatus::kFailed,
          std::string("a kind of ") + name + " that the system's decoder does not read"};
    }
    return picture::DamagedOutcome(name, stream.reached_end(), delivered);
  };
  Com<IWICBitmapDecoder> decoder;
  const HRESULT made = factory.CreateDecoder(*ContainerOf(format), nullptr, decoder.Out());
  if (made == WINCODEC_ERR_COMPONENTNOTFOUND) {
    return Failure(std::string("no ") + name + " decoder on this system");
  }
  if (FAILED(made)) return Failure(std::string("cannot open the ") + name + " decoder");
  Com<IWICBitmapFrameDecode> frame;
  HRESULT result = decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand);
  if (SUCCEEDED(result)) result = decoder->GetFrame(0, frame.Out());
  Size full;
  if (SUCCEEDED(result)) result = frame->GetSize(&full.width, &full.height);
  if (FAILED(result)) return failed(result, false);
  if (std::uint64_t{full.width} * full.height > request.max_pixels) {
    return picture::TooLargeOutcome(full.width, full.height);
  }

  const int orientation = StoredOrientation(format, source);
  Size size = full;
  Com<SourceTransform> transform;
  WICPixelFormatGUID scaled_format{};
  if (SUCCEEDED(frame->QueryInterface(kSourceTransformId, transform.OutVoid())) &&
      SUCCEEDED(frame->GetPixelFormat(&scaled_format)) &&
      SUCCEEDED(transform->GetClosestPixelFormat(&scaled_format))) {
    size = ChooseScaledSize(*transform.get(), full, request, orientation >= 5);
  }
  if (size.height > request.max_rows) return picture::TooLargeOutcome(full.width, full.height);
  ScaledFrame scaled(frame.get(), transform.get(), size.width, size.height, scaled_format);
  IWICBitmapSource* pixels = frame.get();
  if (size.width != full.width || size.height != full.height) pixels = &scaled;

  // RGBA as the sink takes it; where the system converts to BGRA only,
  // that, with red and blue swapped here.
  Com<IWICFormatConverter> converter;
  result = factory.CreateFormatConverter(converter.Out());
  if (FAILED(result)) return failed(result, false);
  bool swap_red_blue = false;
  if (FAILED(converter->Initialize(pixels, GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
    swap_red_blue = true;
    if (FAILED(converter->Initialize(pixels, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
      return Failure(std::string("unsupported ") + name + " pixel format");
    }
  }

  if (!sink.Begin(size.width, size.height, orientation)) {
    return picture::TooLargeOutcome(full.width, full.height);
  }
  const std::uint32_t piece_width = std::min<std::uint32_t>(size.width, kBandBytes / 4);
  const std::uint32_t band_rows = std::max<std::uint32_t>(1, kBandBytes / (piece_width * 4));
  std::vector<std::uint8_t> band;
  try {
    band.resize(std::size_t{piece_width} * std::min(band_rows, size.height) * 4);
  } catch (const std::bad_alloc&) {
    return picture::TooLargeToDecodeOutcome(kBandBytes);
  }
  bool delivered = false;
  for (std::uint32_t y = 0; y < size.height; y += band_rows) {
    const std::uint32_t rows = std::min(band_rows, size.height - y);
    for (std::uint32_t x = 0; x < size.width; x += piece_width) {
      const std::uint32_t columns = std::min(piece_width, size.width - x);
      const WICRect rect{static_cast<INT>(x), static_cast<INT>(y), static_cast<INT>(columns),
                         static_cast<INT>(rows)};
      const UINT stride = columns * 4;
      const HRESULT copied = converter->CopyPixels(&rect, stride, stride * rows, band.data());
      if (copied == E_OUTOFMEMORY) return picture::TooLargeOutcome(full.width, full.height);
      if (FAILED(copied)) return failed(copied, delivered);
      if (swap_red_blue) {
        for (std::size_t i = 0; i < std::size_t{stride} * rows; i += 4) {
          std::swap(band[i], band[i + 2]);
        }
      }
      for (std::uint32_t row = 0; row < rows; ++row) {
        sink.Pixels(y + row, x, 1, columns, band.data() + std::size_t{row} * stride);
      }
      delivered = true;
    }
    if (Stopped(source)) return failed(E_ABORT, delivered);
  }
  return {DecodeStatus::kOk, ""};
}

}  // namespace

DecodeOutcome DecodeWithWic(PictureFormat format, picture::ByteSource& source,
                            picture::RowSink& sink, const DecodeRequest& request) {
  if (ContainerOf(format) == nullptr) {
    return Failure(std::string(picture::FormatName(format)) + " pictures cannot be shown");
  }
  Com<IWICImagingFactory> factory;
  if (!EnterApartment() ||
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.OutVoid()))) {
    return Failure("the Windows Imaging Component is not available");
  }
  ByteSourceStream stream(source);
  return DecodeFrom(stream, *factory.get(), format, source, sink, request);
}

}  // namespace vistamere::win32
