#include "jpeg_writer.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace vistamere::picture::testing {
namespace {

// splitmix64: a small, well-mixed generator whose output depends on the
// seed alone.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  // Uniform in [-amplitude, amplitude].
  int Noise(int amplitude) {
    if (amplitude <= 0) return 0;
    const auto span = static_cast<std::uint64_t>(2 * amplitude + 1);
    return static_cast<int>(Next() % span) - amplitude;
  }

 private:
  std::uint64_t state_;
};

std::uint8_t ClampSample(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Everything the encoder touches, so that the frame calling setjmp holds
// only plain data.
struct WriterJob {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf escape{};
  char message[JMSG_LENGTH_MAX] = {};
  jpeg_scan_info scans[32] = {};
  unsigned char* output = nullptr;
  unsigned long output_size = 0;
};

[[noreturn]] void EscapeOnError(j_common_ptr info) {
  auto& job = *static_cast<WriterJob*>(info->client_data);
  (*info->err->format_message)(info, job.message);
  std::longjmp(job.escape, 1);
}

J_COLOR_SPACE StoredSpace(JpegColour colour) {
  switch (colour) {
    case JpegColour::kGrey:
      return JCS_GRAYSCALE;
    case JpegColour::kRgb:
      return JCS_RGB;
    case JpegColour::kCmyk:
      return JCS_CMYK;
    case JpegColour::kYCbCr:
      break;
  }
  return JCS_YCbCr;
}

// `samples` holds `components` bytes a pixel in rows, in the colour space
// jpeg_set_defaults expects for `input_space`.
bool RunWriter(WriterJob& job, std::uint32_t width, std::uint32_t height, int components,
               J_COLOR_SPACE input_space, const std::uint8_t* samples,
               const JpegWriterOptions& options) {
  job.info.err = jpeg_std_error(&job.errors);
  job.errors.error_exit = EscapeOnError;
  job.info.client_data = &job;
  if (setjmp(job.escape) != 0) {
    jpeg_destroy_compress(&job.info);
    return false;
  }
  jpeg_create_compress(&job.info);
  job.info.client_data = &job;
  jpeg_mem_dest(&job.info, &job.output, &job.output_size);
  job.info.image_width = width;
  job.info.image_height = height;
  job.info.input_components = components;
  job.info.in_color_space = input_space;
  jpeg_set_defaults(&job.info);
  jpeg_set_colorspace(&job.info, StoredSpace(options.colour));
  jpeg_set_quality(&job.info, options.quality, TRUE);
  for (int c = 0; c < job.info.num_components; ++c) {
    job.info.comp_info[c].h_samp_factor = options.sampling.h[static_cast<std::size_t>(c)];
    job.info.comp_info[c].v_samp_factor = options.sampling.v[static_cast<std::size_t>(c)];
  }
  job.info.restart_interval = options.restart_interval;
  job.info.optimize_coding = options.optimize_coding ? TRUE : FALSE;
  job.info.arith_code = options.arithmetic ? TRUE : FALSE;
  if (!options.scans.empty()) {
    const std::size_t count = std::min(options.scans.size(), std::size(job.scans));
    for (std::size_t i = 0; i < count; ++i) {
      const JpegScan& from = options.scans[i];
      jpeg_scan_info& scan = job.scans[i];
      scan.comps_in_scan = static_cast<int>(std::min<std::size_t>(from.components.size(), 4));
      for (int c = 0; c < scan.comps_in_scan; ++c)
        scan.component_index[c] = from.components[static_cast<std::size_t>(c)];
      scan.Ss = from.ss;
      scan.Se = from.se;
      scan.Ah = from.ah;
      scan.Al = from.al;
    }
    job.info.scan_info = job.scans;
    job.info.num_scans = static_cast<int>(count);
  } else if (options.progressive) {
    jpeg_simple_progression(&job.info);
  } else if (options.scan_per_component) {
    for (int c = 0; c < job.info.num_components; ++c) {
      jpeg_scan_info& scan = job.scans[c];
      scan.comps_in_scan = 1;
      scan.component_index[0] = c;
      scan.Ss = 0;
      scan.Se = 63;
      scan.Ah = 0;
      scan.Al = 0;
    }
    job.info.scan_info = job.scans;
    job.info.num_scans = job.info.num_components;
  }
  jpeg_start_compress(&job.info, TRUE);
  const std::size_t stride = std::size_t{width} * static_cast<std::size_t>(components);
  while (job.info.next_scanline < job.info.image_height) {
    // libjpeg does not write through the row pointer.
    JSAMPROW row = const_cast<JSAMPROW>(samples + stride * job.info.next_scanline);
    jpeg_write_scanlines(&job.info, &row, 1);
  }
  jpeg_finish_compress(&job.info);
  jpeg_destroy_compress(&job.info);
  return true;
}

}  // namespace

TestPicture MakeTestPicture(const TestPictureRecipe& recipe) {
  TestPicture picture;
  picture.width = recipe.width;
  picture.height = recipe.height;
  picture.channels = recipe.channels;
  const std::size_t channels = static_cast<std::size_t>(recipe.channels);
  picture.samples.resize(std::size_t{recipe.width} * recipe.height * channels);

  // Separable waves, so that each sample costs a few additions.
  std::vector<double> wave_x(recipe.width), wave_y(recipe.height);
  const double wave = recipe.waves ? 1.0 : 0.0;
  for (std::uint32_t x = 0; x < recipe.width; ++x)
    wave_x[x] = wave * 28.0 * std::sin(x * 0.043 + 0.7);
  for (std::uint32_t y = 0; y < recipe.height; ++y)
    wave_y[y] = wave * 24.0 * std::cos(y * 0.031 + 0.2);
  const double across = recipe.width > 1 ? 1.0 / (recipe.width - 1) : 0.0;
  const double down = recipe.height > 1 ? 1.0 / (recipe.height - 1) : 0.0;
  static constexpr std::uint8_t kPure[5][3] = {
      {0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

  Random random(0xC0FFEEu + std::uint64_t{recipe.seed} * 7919u);
  std::uint8_t* out = picture.samples.data();
  for (std::uint32_t y = 0; y < recipe.height; ++y) {
    for (std::uint32_t x = 0; x < recipe.width; ++x) {
      const double fx = x * across;
      const double fy = y * down;
      double rgb[3] = {
          50.0 + 150.0 * fx + wave_x[x],
          70.0 + 130.0 * fy + wave_y[y],
          200.0 - 70.0 * (fx + fy) + 0.5 * (wave_x[x] - wave_y[y]),
      };
      const std::uint32_t square_x = x / 48;
      const std::uint32_t square_y = y / 48;
      const bool pure = recipe.saturated && (square_x + square_y) % 4 == 0;
      if (pure) {
        const std::uint8_t* colour = kPure[(square_x * 7 + square_y * 3) % 5];
        for (int c = 0; c < 3; ++c) rgb[c] = colour[c];
      } else {
        for (double& value : rgb) value += random.Noise(recipe.noise);
      }
      if (channels == 1) {
        *out++ = ClampSample(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]);
      } else {
        for (int c = 0; c < 3; ++c) *out++ = ClampSample(rgb[c]);
      }
    }
  }
  return picture;
}

Bytes EncodeJpeg(const TestPicture& picture, const JpegWriterOptions& options) {
  if (picture.channels != 1 && picture.channels != 3)
    throw std::runtime_error("EncodeJpeg: a picture has 1 or 3 channels");
  if (picture.channels == 1 && options.colour != JpegColour::kGrey)
    throw std::runtime_error("EncodeJpeg: a grey picture makes grey files only");

  int components = picture.channels;
  J_COLOR_SPACE input_space = picture.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  const std::uint8_t* samples = picture.samples.data();
  Bytes cmyk;
  if (options.colour == JpegColour::kCmyk) {
    const std::size_t pixels = std::size_t{picture.width} * picture.height;
    cmyk.resize(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
      for (std::size_t c = 0; c < 3; ++c)
        cmyk[i * 4 + c] = static_cast<std::uint8_t>(255 - picture.samples[i * 3 + c]);
      cmyk[i * 4 + 3] = 0;
    }
    components = 4;
    input_space = JCS_CMYK;
    samples = cmyk.data();
  }

  auto job = std::make_unique<WriterJob>();
  const bool written =
      RunWriter(*job, picture.width, picture.height, components, input_space, samples, options);
  Bytes file;
  if (written) file.assign(job->output, job->output + job->output_size);
  std::free(job->output);
  if (!written) throw std::runtime_error(std::string("EncodeJpeg: ") + job->message);
  return file;
}

}  // namespace vistamere::picture::testing
