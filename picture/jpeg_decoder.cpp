#include "picture/jpeg_decoder.h"

#include "picture/decode_outcomes.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>
// jerror.h after jpeglib.h.
#include <jerror.h>

#include "picture/exif_orientation.h"
#include "picture/jpeg_progressive_dc.h"

namespace vistamere::picture {
namespace {

constexpr std::size_t kInputBufferSize = std::size_t{64} * 1024;
// Pictures in several scans (progressive ones) keep every DCT coefficient in
// memory. libjpeg refuses to hold more than this (there is no backing
// store); a progressive picture that would need more is decoded at 1/8
// from its DC scans instead, where it can be.
constexpr long kMaxLibraryMemory = 40L * 1024 * 1024;
// Hostile progressive files can hold thousands of tiny scans.
constexpr int kMaxScans = 500;
constexpr int kScaleDenominator = 8;
// The DC-only decoder keeps one DC value per block and counts the scan's
// bits in 32 bits; beyond these the file goes through libjpeg-turbo, row by
// row.
constexpr std::uint64_t kMaxDcScanBytes = std::uint64_t{256} << 20;
constexpr std::uint64_t kMaxDcScanBlocks = std::uint64_t{1} << 22;

enum class Ending { kNone, kDone, kTooLarge, kLibraryError, kDcScanReady, kProgressiveReady };

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
  bool dc_scan_allowed = false;
  std::uint32_t rows_delivered = 0;
  Ending ending = Ending::kNone;

  // When the DC-only decoder takes the scan (kDcScanReady): its layout,
  // where its data starts in the file, and the EXIF orientation.
  DcScanLayout dc_layout;
  std::uint64_t scan_offset = 0;
  int orientation = 1;
  // When the progressive DC decoder takes the file (kProgressiveReady).
  ProgressiveStart progressive;
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

// The smallest M/8 scale whose output covers the target on both axes, or
// keeps 7/8 of the detail shown. A turned picture's stored rows become its
// columns, so its axes are compared the other way round.
void ChooseScale(j_decompress_ptr info, const DecodeRequest& request, bool turned) {
  std::uint64_t target_width = request.target_width;
  std::uint64_t target_height = request.target_height;
  const bool shown_given = request.shown_width != 0 && request.shown_height != 0;
  std::uint64_t shown_width = request.shown_width;
  std::uint64_t shown_height = request.shown_height;
  if (turned) {
    std::swap(target_width, target_height);
    std::swap(shown_width, shown_height);
  }
  info->scale_denom = kScaleDenominator;
  for (unsigned numerator = 1; numerator <= kScaleDenominator; ++numerator) {
    info->scale_num = numerator;
    jpeg_calc_output_dimensions(info);
    const std::uint64_t width = info->output_width;
    const std::uint64_t height = info->output_height;
    if (width >= target_width && height >= target_height) return;
    if (shown_given && width * 8 >= shown_width * 7 && height * 8 >= shown_height * 7) return;
  }
}

void CopyHuffmanTable(const JHUFF_TBL& table, HuffmanCodes& codes) {
  for (std::size_t i = 0; i < codes.counts.size(); ++i) codes.counts[i] = table.bits[i];
  for (std::size_t i = 0; i < codes.symbols.size(); ++i) codes.symbols[i] = table.huffval[i];
}

// The layout of the picture's scan when the DC-only decoder takes it: one
// sequential Huffman-coded scan of 8-bit samples holding every component,
// grey or Y Cb Cr, in the frame's order.
[[nodiscard]] bool DescribeDcScan(j_decompress_ptr info, DcScanLayout& layout) {
  if (info->progressive_mode || info->arith_code || info->data_precision != 8) return false;
  if (info->comps_in_scan != info->num_components) return false;
  if (info->Ss != 0 || info->Se != DCTSIZE2 - 1 || info->Ah != 0 || info->Al != 0) return false;
  const bool grey = info->num_components == 1 && info->jpeg_color_space == JCS_GRAYSCALE;
  const bool colour = info->num_components == 3 && info->jpeg_color_space == JCS_YCbCr;
  if (!grey && !colour) return false;
  layout.width = info->image_width;
  layout.height = info->image_height;
  layout.restart_interval = info->restart_interval;
  layout.components.assign(static_cast<std::size_t>(info->num_components), DcScanComponent{});
  for (int i = 0; i < info->num_components; ++i) {
    const jpeg_component_info* component = info->cur_comp_info[i];
    if (component != &info->comp_info[i]) return false;
    // The file's table numbers: libjpeg-turbo checks them only later.
    if (component->quant_tbl_no < 0 || component->quant_tbl_no >= NUM_QUANT_TBLS ||
        component->dc_tbl_no < 0 || component->dc_tbl_no >= NUM_HUFF_TBLS ||
        component->ac_tbl_no < 0 || component->ac_tbl_no >= NUM_HUFF_TBLS) {
      return false;
    }
    const JQUANT_TBL* quantizers = info->quant_tbl_ptrs[component->quant_tbl_no];
    const JHUFF_TBL* dc_table = info->dc_huff_tbl_ptrs[component->dc_tbl_no];
    const JHUFF_TBL* ac_table = info->ac_huff_tbl_ptrs[component->ac_tbl_no];
    // Files without tables of their own rely on the standard ones, which
    // only libjpeg-turbo supplies.
    if (quantizers == nullptr || dc_table == nullptr || ac_table == nullptr) return false;
    DcScanComponent& out = layout.components[static_cast<std::size_t>(i)];
    out.h_samples = component->h_samp_factor;
    out.v_samples = component->v_samp_factor;
    out.dc_quantizer = quantizers->quantval[0];
    CopyHuffmanTable(*dc_table, out.dc_table);
    CopyHuffmanTable(*ac_table, out.ac_table);
  }
  return DcScanLayoutUsable(layout, kMaxDcScanBlocks);
}

// What libjpeg read before the first scan of a progressive picture the DC
// decoder takes: Huffman-coded 8-bit samples, grey or Y Cb Cr, whose first
// scan has the tables it names.
[[nodiscard]] bool DescribeProgressive(j_decompress_ptr info, ProgressiveStart& start) {
  if (!info->progressive_mode || info->arith_code || info->data_precision != 8) return false;
  const bool grey = info->num_components == 1 && info->jpeg_color_space == JCS_GRAYSCALE;
  const bool colour = info->num_components == 3 && info->jpeg_color_space == JCS_YCbCr;
  if (!grey && !colour) return false;
  DcScanLayout& layout = start.layout;
  layout.width = info->image_width;
  layout.height = info->image_height;
  layout.restart_interval = info->restart_interval;
  layout.components.assign(static_cast<std::size_t>(info->num_components), DcScanComponent{});
  start.component_ids.clear();
  start.quant_tables.clear();
  for (int i = 0; i < info->num_components; ++i) {
    const jpeg_component_info& component = info->comp_info[i];
    layout.components[static_cast<std::size_t>(i)].h_samples = component.h_samp_factor;
    layout.components[static_cast<std::size_t>(i)].v_samples = component.v_samp_factor;
    start.component_ids.push_back(component.component_id);
    start.quant_tables.push_back(component.quant_tbl_no);
  }
  for (std::size_t t = 0; t < NUM_QUANT_TBLS && t < start.dc_quantizers.size(); ++t) {
    if (info->quant_tbl_ptrs[t] != nullptr)
      start.dc_quantizers[t] = info->quant_tbl_ptrs[t]->quantval[0];
  }
  for (std::size_t t = 0; t < NUM_HUFF_TBLS && t < start.dc_tables.size(); ++t) {
    if (info->dc_huff_tbl_ptrs[t] == nullptr) continue;
    HuffmanCodes codes;
    CopyHuffmanTable(*info->dc_huff_tbl_ptrs[t], codes);
    start.dc_tables[t] = codes;
  }
  ProgressiveScanHeader& scan = start.first_scan;
  scan = ProgressiveScanHeader{};
  for (int i = 0; i < info->comps_in_scan; ++i) {
    const jpeg_component_info* component = info->cur_comp_info[i];
    const auto index = static_cast<int>(component - info->comp_info);
    if (index < 0 || index >= info->num_components) return false;
    scan.components.push_back(index);
    scan.dc_tables.push_back(component->dc_tbl_no);
    // Files without tables of their own rely on the standard ones, which
    // only libjpeg-turbo supplies.
    const bool first_dc = info->Ss == 0 && info->Ah == 0;
    if (first_dc && (component->dc_tbl_no < 0 || component->dc_tbl_no >= NUM_HUFF_TBLS ||
                     info->dc_huff_tbl_ptrs[component->dc_tbl_no] == nullptr)) {
      return false;
    }
  }
  scan.ss = info->Ss;
  scan.se = info->Se;
  scan.ah = info->Ah;
  scan.al = info->Al;
  return true;
}

// What libjpeg's buffer of every DCT coefficient takes.
std::uint64_t CoefficientBytes(j_decompress_ptr info) {
  std::uint64_t bytes = 0;
  for (int i = 0; i < info->num_components; ++i) {
    const jpeg_component_info& component = info->comp_info[i];
    const auto round_up = [](std::uint64_t value, int factor) {
      const auto step = static_cast<std::uint64_t>(std::max(factor, 1));
      return (value + step - 1) / step * step;
    };
    bytes += round_up(component.width_in_blocks, component.h_samp_factor) *
             round_up(component.height_in_blocks, component.v_samp_factor) * sizeof(JBLOCK);
  }
  return bytes;
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
  ChooseScale(&job.info, *job.request, orientation >= 5);
  const bool eighth = job.info.scale_num == 1 && job.info.scale_denom == kScaleDenominator;
  // At any other scale libjpeg would hold every coefficient: past its
  // memory a progressive picture is shown at 1/8 all the same.
  if (job.dc_scan_allowed && !job.input_ended && job.info.progressive_mode &&
      (eighth || CoefficientBytes(&job.info) > static_cast<std::uint64_t>(kMaxLibraryMemory)) &&
      DescribeProgressive(&job.info, job.progressive)) {
    job.progressive.data_offset = job.source->Position() - job.input.bytes_in_buffer;
    job.orientation = orientation;
    job.ending = Ending::kProgressiveReady;
    jpeg_destroy_decompress(&job.info);
    return;
  }
  if (job.dc_scan_allowed && !job.input_ended && job.info.scale_num == 1 &&
      job.info.scale_denom == kScaleDenominator && DescribeDcScan(&job.info, job.dc_layout)) {
    job.scan_offset = job.source->Position() - job.input.bytes_in_buffer;
    job.orientation = orientation;
    job.ending = Ending::kDcScanReady;
    jpeg_destroy_decompress(&job.info);
    return;
  }

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

enum class DcScanResult { kNotTaken, kDelivered, kRefused };

// Decodes the scan for its DC values alone and delivers the picture at 1/8
// scale; kNotTaken (nothing delivered) when the data is damaged or cannot
// be held.
DcScanResult DecodeByDcScan(ByteSource& source, RowSink& sink, const JpegJob& job,
                            const DcScanOptions& options, JpegReport& report) {
  const std::uint64_t size = source.Size();
  if (job.scan_offset >= size || size - job.scan_offset > kMaxDcScanBytes) {
    return DcScanResult::kNotTaken;
  }
  try {
    DcPlanes planes;
    if (!DecodeDcScan(job.dc_layout, source, job.scan_offset,
                      static_cast<std::size_t>(size - job.scan_offset), options, planes,
                      &report.dc_scan)) {
      return DcScanResult::kNotTaken;
    }
    const std::uint32_t width = (job.dc_layout.width + 7) / 8;
    const std::uint32_t height = (job.dc_layout.height + 7) / 8;
    if (!sink.Begin(width, height, job.orientation)) return DcScanResult::kRefused;
    report.dc_scan_used = true;
    DeliverDcPixels(job.dc_layout, planes, sink);
    return DcScanResult::kDelivered;
  } catch (const std::bad_alloc&) {
    return DcScanResult::kNotTaken;
  }
}

std::unique_ptr<JpegJob> RunJob(ByteSource& source, RowSink& sink, const DecodeRequest& request,
                                bool dc_scan_allowed, std::vector<JOCTET>& buffer) {
  auto job = std::make_unique<JpegJob>();
  job->source = &source;
  job->buffer = buffer.data();
  job->sink = &sink;
  job->request = &request;
  job->dc_scan_allowed = dc_scan_allowed;
  RunJpegJob(*job);
  return job;
}

}  // namespace

DecodeOutcome DecodeJpeg(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  JpegOptions options;
  options.dc_scan_options.threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  return DecodeJpegWith(source, sink, request, options);
}

DecodeOutcome DecodeJpegWith(ByteSource& source, RowSink& sink, const DecodeRequest& request,
                             const JpegOptions& options, JpegReport* report) {
  JpegReport ignored;
  JpegReport& said = report != nullptr ? *report : ignored;
  said = {};
  std::vector<JOCTET> buffer(kInputBufferSize);
  std::unique_ptr<JpegJob> job = RunJob(source, sink, request, options.dc_scan, buffer);
  if (job->ending == Ending::kProgressiveReady) {
    const ProgressiveResult result = DecodeProgressiveDc(job->progressive, source, job->orientation,
                                                         sink, options.dc_band_bytes);
    said.progressive = true;
    said.dc_scan_used = result.delivered;
    said.dc_bands = result.bands;
    switch (result.ending) {
      case ProgressiveEnding::kComplete:
        if (result.delivered) return {DecodeStatus::kOk, ""};
        return DamagedOutcome("JPEG", false, false);
      case ProgressiveEnding::kRefused:
        return TooLargeOutcome(job->progressive.layout.width, job->progressive.layout.height);
      case ProgressiveEnding::kTruncated:
      case ProgressiveEnding::kCorrupt:
        break;
    }
    return DamagedOutcome("JPEG", result.ending == ProgressiveEnding::kTruncated, result.delivered);
  }
  if (job->ending == Ending::kDcScanReady) {
    switch (DecodeByDcScan(source, sink, *job, options.dc_scan_options, said)) {
      case DcScanResult::kDelivered:
        return {DecodeStatus::kOk, ""};
      case DcScanResult::kRefused:
        return {DecodeStatus::kFailed, TooLargeReason(job->dc_layout.width, job->dc_layout.height)};
      case DcScanResult::kNotTaken:
        break;
    }
    // Damaged data: libjpeg-turbo makes what it can of it.
    if (!source.Seek(0)) return {DecodeStatus::kFailed, "cannot read the file"};
    job = RunJob(source, sink, request, false, buffer);
  }

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
    case Ending::kDcScanReady:
    case Ending::kProgressiveReady:
    case Ending::kLibraryError:
      if (job->errors.msg_code == JERR_OUT_OF_MEMORY ||
          job->errors.msg_code == JERR_NO_BACKING_STORE) {
        return TooLargeToDecodeOutcome(kMaxLibraryMemory);
      }
      outcome.status = job->rows_delivered > 0 ? DecodeStatus::kTruncated : DecodeStatus::kFailed;
      outcome.reason = damage;
      break;
  }
  return outcome;
}

}  // namespace vistamere::picture
