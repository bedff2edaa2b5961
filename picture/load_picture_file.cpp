#include "picture/load_picture_file.h"

#include "picture/decode_outcomes.h"

#include <cstdint>
#include <string>

#include "picture/box_reducer.h"
#include "picture/decoders.h"
#include "picture/file_source.h"
#include "picture/format_sniffer.h"

namespace vistamere::picture {
namespace {

// The file's bytes until the load is stopped, then none: every decoder ends
// soon after, as at the end of a file.
class StoppableSource final : public ByteSource {
 public:
  StoppableSource(ByteSource& source, const BoxReducer& reducer)
      : source_(source), reducer_(reducer) {}

  std::size_t Read(void* buffer, std::size_t size) override {
    return reducer_.cancelled() ? 0 : source_.Read(buffer, size);
  }
  bool Seek(std::uint64_t offset) override { return !reducer_.cancelled() && source_.Seek(offset); }
  std::uint64_t Position() const override { return source_.Position(); }
  std::uint64_t Size() const override { return source_.Size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override {
    return reducer_.cancelled() ? 0 : source_.ReadAt(offset, buffer, size);
  }

 private:
  ByteSource& source_;
  const BoxReducer& reducer_;
};

std::string RefusedSizeReason(const BoxReducer& reducer) {
  if (reducer.declared_width() == 0 || reducer.declared_height() == 0) return "empty picture";
  return TooLargeReason(reducer.declared_width(), reducer.declared_height());
}

}  // namespace

LoadOutcome LoadPictureFile(const std::string& path, int width, int height, Canvas& canvas,
                            const ProgressCallback& progress, ShownDetail shown) {
  canvas.Reset(width < 0 ? 0 : width, height < 0 ? 0 : height);
  std::string reason;
  std::unique_ptr<FileSource> source = FileSource::Open(path, reason);
  if (!source) return {DecodeStatus::kFailed, reason};

  std::uint8_t head[kSniffBytes] = {};
  std::size_t head_size = source->Read(head, sizeof head);
  PictureFormat format = SniffFormat(head, head_size);
  if (format == PictureFormat::kUnknown) return {DecodeStatus::kFailed, "unknown picture format"};
  Decoder decode = DecoderFor(format);
  if (decode == nullptr) {
    return {DecodeStatus::kFailed,
            std::string(FormatName(format)) + " pictures cannot be shown on this build"};
  }
  if (!source->Seek(0)) return {DecodeStatus::kFailed, "cannot read the file"};

  DecodeRequest request;
  request.target_width = static_cast<std::uint32_t>(canvas.width);
  request.target_height = static_cast<std::uint32_t>(canvas.height);
  request.shown_width = shown.width;
  request.shown_height = shown.height;
  BoxReducer reducer(canvas, request, progress);
  StoppableSource stoppable(*source, reducer);
  DecodeOutcome outcome = decode(stoppable, reducer, request);
  if (reducer.cancelled()) {
    canvas.Reset(canvas.width, canvas.height);
    return {DecodeStatus::kFailed, "cancelled", true};
  }
  if (reducer.refused()) return {DecodeStatus::kFailed, RefusedSizeReason(reducer)};
  if (outcome.status != DecodeStatus::kFailed) reducer.Finish();
  if (outcome.status == DecodeStatus::kOk) return {DecodeStatus::kOk, ""};
  if (outcome.reason.empty()) {
    outcome.reason = std::string("corrupt ") + FormatName(format) + " data";
  }
  return {outcome.status, outcome.reason};
}

}  // namespace vistamere::picture
