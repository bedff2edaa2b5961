#include "picture/jpeg_decoder.h"

#include "picture/decode_outcomes.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
// jerror.h after jpeglib.h.
#include <jerror.h>

#include "picture/exif_orientation.h"

namespace vistamere::picture {
namespace {

constexpr std::size_t kInputBufferSize = 64 * 1024;
// Progressive pictures keep every DCT coefficient in memory; beyond this
// libjpeg gives up (there is no backing store) instead of swapping.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;
// Hostile progressive files can hold thousands of tiny scans.
constexpr int kMaxScans = 500;
constexpr int kScaleDenominator = 8;

enum class Ending { kNone, kDone, kTooLarge, kLibraryError };

// Everything the decode touches lives here, so nothing with a destructor
// lives in the frame that calls setjmp.
struct JpegJob {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_source_mgr input{};
  jpeg_progress_mgr progress{};
  std::jmp_buf escape{};

  ByteSource* source = nullptr;
  JOCTET* buffer = nullptr;
  bool input_ended = false;

  RowSink* sink = nullptr;
  const DecodeRequest* request = nullptr;
  std::uint32_t rows_delivered = 0;
  Ending ending = Ending::kNone;
};

JpegJob& JobOf(j_common_ptr info) {
  return *static_cast<JpegJob*>(info->client_data);
}
JpegJob& JobOf(j_decompress_ptr info) {
  return *static_cast<JpegJob*>(info->client_data);
}

[[noreturn]] void EscapeOnError(j_common_ptr info) {
  JpegJob& job = JobOf(info);
  job.ending = Ending::kLibraryError;
  std::longjmp(job.escape, 1);
}

void IgnoreMessage(j_common_ptr) {}

void LimitScans(j_common_ptr info) {
  const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) EscapeOnError(info);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
  JpegJob& job = JobOf(info);
  std::size_t count = job.source->Read(job.buffer, kInputBufferSize);
  if (count == 0) {
    // The data ended early: hand libjpeg an end marker; it greys the rest.
    job.input_ended = true;
    job.buffer[0] = 0xFF;
    job.buffer[1] = JPEG_EOI;
    count = 2;
  }
  job.input.next_input_byte = job.buffer;
  job.input.bytes_in_buffer = count;
  return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
  JpegJob& job = JobOf(info);
  if (count <= 0) return;
  auto remaining = static_cast<std::size_t>(count);
  while (remaining > job.input.bytes_in_buffer) {
    remaining -= job.input.bytes_in_buffer;
    job.input.bytes_in_buffer = 0;
    if (job.input_ended) return;
    FillInputBuffer(info);
  }
  job.input.next_input_byte += remaining;
  job.input.bytes_in_buffer -= remaining;
}

int OrientationOf(j_decompress_ptr info) {
  for (jpeg_saved_marker_ptr marker = info->marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1) continue;
    const int orientation = OrientationFromExifSegment(marker->data, marker->data_length);
    if (orientation != 1) return orientation;
  }
  return 1;
}

// The smallest M/8 scale whose output covers the target on both axes.
void ChooseScale(j_decompress_ptr info, std::uint32_t target_width, std::uint32_t target_height) {
  info->scale_denom = kScaleDenominator;
  for (unsigned numerator = 1; numerator <= kScaleDenominator; ++numerator) {
    info->scale_num = numerator;
    jpeg_calc_output_dimensions(info);
    if (info->output_width >= target_width && info->output_height >= target_height) return;
  }
}

// Adobe writes CMYK inverted (0 is full ink); most CMYK JPEGs come from it.
void CmykToRgba(JSAMPROW row, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x) {
    JSAMPLE* pixel = row + static_cast<std::size_t>(x) * 4;
    const unsigned black = inverted ? pixel[3] : 255u - pixel[3];
    for (int channel = 0; channel < 3; ++channel) {
      const unsigned ink = inverted ? pixel[channel] : 255u - pixel[channel];
      pixel[channel] = static_cast<JSAMPLE>((ink * black + 127) / 255);
    }
    pixel[3] = 255;
  }
}

void SetUpCallbacks(JpegJob& job) {
  job.info.err = jpeg_std_error(&job.errors);
  job.errors.error_exit = EscapeOnError;
  job.errors.output_message = IgnoreMessage;
  job.info.client_data = &job;
}

// Runs the whole decode. setjmp lives here, so this frame holds only plain data.
void RunJpegJob(JpegJob& job) {
  SetUpCallbacks(job);
  if (setjmp(job.escape) != 0) {
    jpeg_destroy_decompress(&job.info);
    return;
  }
  jpeg_create_decompress(&job.info);
  job.info.client_data = &job;
  job.info.mem->max_memory_to_use = kMaxLibraryMemory;
  job.progress.progress_monitor = LimitScans;
  job.info.progress = &job.progress;
  job.input.init_source = InitSource;
  job.input.fill_input_buffer = FillInputBuffer;
  job.input.skip_input_data = SkipInputData;
  job.input.resync_to_restart = jpeg_resync_to_restart;
  job.input.term_source = TermSource;
  job.info.src = &job.input;
  jpeg_save_markers(&job.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&job.info, TRUE);

  const std::uint64_t declared_pixels =
      std::uint64_t{job.info.image_width} * std::uint64_t{job.info.image_height};
  if (declared_pixels > job.request->max_pixels) {
    job.ending = Ending::kTooLarge;
    jpeg_destroy_decompress(&job.info);
    return;
  }
  const int orientation = OrientationOf(&job.info);
  const bool cmyk = job.info.jpeg_color_space == JCS_CMYK || job.info.jpeg_color_space == JCS_YCCK;
  const bool inverted_cmyk = cmyk && job.info.saw_Adobe_marker;
  job.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  const bool turned = orientation >= 5;  // stored rows become displayed columns
  ChooseScale(&job.info, turned ? job.request->target_height : job.request->target_width,
              turned ? job.request->target_width : job.request->target_height);

  if (!job.sink->Begin(job.info.output_width, job.info.output_height, orientation)) {
    job.ending = Ending::kTooLarge;
    jpeg_destroy_decompress(&job.info);
    return;
  }
  jpeg_start_decompress(&job.info);
  JSAMPARRAY rows = (*job.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&job.info),
                                                  JPOOL_IMAGE, job.info.output_width * 4, 1);
  while (job.info.output_scanline < job.info.output_height) {
    const JDIMENSION y = job.info.output_scanline;
    if (jpeg_read_scanlines(&job.info, rows, 1) != 1) break;
    if (cmyk) CmykToRgba(rows[0], job.info.output_width, inverted_cmyk);
    job.sink->Row(y, job.info.output_width, rows[0]);
    ++job.rows_delivered;
  }
  job.ending = Ending::kDone;
  jpeg_destroy_decompress(&job.info);
}

}  // namespace

DecodeOutcome DecodeJpeg(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  auto job = std::make_unique<JpegJob>();
  std::vector<JOCTET> buffer(kInputBufferSize);
  job->source = &source;
  job->buffer = buffer.data();
  job->sink = &sink;
  job->request = &request;
  RunJpegJob(*job);

  DecodeOutcome outcome;
  const char* damage = job->input_ended ? "truncated JPEG data" : "corrupt JPEG data";
  switch (job->ending) {
    case Ending::kTooLarge:
      outcome.reason = TooLargeReason(job->info.image_width, job->info.image_height);
      break;
    case Ending::kDone:
      if (job->input_ended) {
        outcome.status = DecodeStatus::kTruncated;
        outcome.reason = damage;
      } else {
        outcome.status = DecodeStatus::kOk;
      }
      break;
    case Ending::kNone:
    case Ending::kLibraryError:
      if (job->errors.msg_code == JERR_OUT_OF_MEMORY ||
          job->errors.msg_code == JERR_NO_BACKING_STORE) {
        outcome.reason = TooLargeReason(job->info.image_width, job->info.image_height);
        break;
      }
      outcome.status = job->rows_delivered > 0 ? DecodeStatus::kTruncated : DecodeStatus::kFailed;
      outcome.reason = damage;
      break;
  }
  return outcome;
}

}  // namespace vistamere::picture
