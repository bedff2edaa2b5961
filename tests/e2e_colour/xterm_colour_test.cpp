// The real binary in xterm under a virtual X server, without COLORTERM:
// asked at start-up, xterm shows that it takes 24-bit colours, and a smooth
// picture comes out on a screenshot as close to the original as when
// COLORTERM says so, and much closer than in 256 colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "x_display.h"

namespace vistamere::testing {
namespace {

const std::string kBinary = VISTAMERE_BINARY;
const std::string kScratch = VISTAMERE_COLOUR_SCRATCH;

constexpr int kColumns = 102;
constexpr int kRows = 40;
// The picture's area: screen rows 5-38 (0-based), every column.
constexpr int kAreaTop = 5;
constexpr int kAreaRows = 34;

struct Rgb {
  double r, g, b;
};

// The picture, over u, v in [0, 1]: smooth everywhere, in the mid-tones
// where the 256-colour palette's steps are wide.
Rgb Gradient(double u, double v) {
  return {60 + 150 * u, 50 + 120 * v + 30 * u, 170 - 100 * u + 40 * v};
}

// A 24-bit BMP of the gradient.
void WriteGradient(const std::string& path, int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(stride) * height);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) file[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put32(26, 1 | (24 << 16));  // one plane, 24 bits a pixel
  for (int y = 0; y < height; ++y) {
    // Rows bottom up.
    std::uint8_t* row = &file[54 + static_cast<std::size_t>(stride) * (height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      const Rgb c = Gradient((x + 0.5) / width, (y + 0.5) / height);
      row[x * 3] = static_cast<std::uint8_t>(std::lround(c.b));
      row[x * 3 + 1] = static_cast<std::uint8_t>(std::lround(c.g));
      row[x * 3 + 2] = static_cast<std::uint8_t>(std::lround(c.r));
    }
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// How far the picture's area on the screenshot is from the gradient
// stretched over it: the mean absolute difference per channel (0-255) of
// each cell, averaged over the cells but the worst 5 % (the fielders'
// labels stand on those).
double PictureError(const Screenshot& shot) {
  const int cell_width = shot.width / kColumns;
  const int cell_height = shot.height / kRows;
  const double area_width = cell_width * kColumns;
  const double area_height = cell_height * kAreaRows;
  std::vector<double> cells;
  for (int row = kAreaTop; row < kAreaTop + kAreaRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      double sum = 0;
      for (int y = row * cell_height; y < (row + 1) * cell_height; ++y) {
        for (int x = column * cell_width; x < (column + 1) * cell_width; ++x) {
          const Rgb want =
              Gradient((x + 0.5) / area_width, (y - kAreaTop * cell_height + 0.5) / area_height);
          const std::uint8_t* got = shot.Pixel(x, y);
          sum += std::abs(got[0] - want.r) + std::abs(got[1] - want.g) + std::abs(got[2] - want.b);
        }
      }
      cells.push_back(sum / (3.0 * cell_width * cell_height));
    }
  }
  std::sort(cells.begin(), cells.end());
  cells.resize(cells.size() * 95 / 100);
  double total = 0;
  for (const double cell : cells) total += cell;
  return total / static_cast<double>(cells.size());
}

// Whether anything but the background shows in the pixel rows of text row `row`.
bool RowHasText(const Screenshot& shot, int row) {
  const int cell_height = shot.height / kRows;
  for (int y = row * cell_height; y < (row + 1) * cell_height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (shot.Pixel(x, y)[0] > 100) return true;
    }
  }
  return false;
}

bool AreaIsDrawn(const Screenshot& shot) {
  const int cell_height = shot.height / kRows;
  // The area's last row is drawn last.
  const std::uint8_t* pixel = shot.Pixel(shot.width / 2, (kAreaTop + kAreaRows) * cell_height - 2);
  return pixel[0] + pixel[1] + pixel[2] > 100;
}

struct TerminalRun {
  const char* title;
  std::vector<std::string> command;  // after the terminal's own arguments
  double error = 0;
};

TEST(XtermColours, AskedXtermShowsAPictureAsSmoothAsWithColorterm) {
  std::filesystem::create_directories(kScratch);
  WriteGradient(kScratch + "/gradient.bmp", 512, 256);

  // Started in the scratch folder: the name to type is short.
  std::vector<TerminalRun> runs = {
      {"asked", {"env", "-C", kScratch, "-u", "COLORTERM", kBinary}},
      {"truecolor", {"env", "-C", kScratch, "COLORTERM=truecolor", kBinary}},
      {"256", {"env", "-C", kScratch, "-u", "COLORTERM", kBinary, "--colors=256"}},
  };
  XDisplay display(3400, 800, kScratch + "/x.log");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    // No borders: the window is the cells and nothing else.
    std::vector<std::string> arguments = {"-geometry", "102x40+" + std::to_string(1120 * i) + "+0",
                                          "-fa",       "DejaVu Sans Mono",
                                          "-fs",       "10"};
    for (const char* argument : {"-b", "0", "-bw", "0", "-u8", "-bg", "black", "-fg", "grey"}) {
      arguments.emplace_back(argument);
    }
    arguments.emplace_back("-e");
    arguments.insert(arguments.end(), runs[i].command.begin(), runs[i].command.end());
    display.StartXterm(runs[i].title, arguments);
  }

  using Clock = std::chrono::steady_clock;
  auto wait_for = [&](const TerminalRun& run, auto&& shown) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
      const Screenshot shot = display.Shot(run.title);
      if (shot.width >= kColumns && shown(shot)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  };
  for (const TerminalRun& run : runs) {
    ASSERT_TRUE(wait_for(run, [](const Screenshot& shot) { return RowHasText(shot, 0); }))
        << run.title << ": no prompt";
    display.Type(run.title, "gradient.bmp");
  }
  for (TerminalRun& run : runs) {
    SCOPED_TRACE(run.title);
    ASSERT_TRUE(wait_for(run, AreaIsDrawn)) << "no picture";
    // A frame may be on its way out still: measured once two shots agree.
    Screenshot shot = display.Shot(run.title);
    for (int tries = 0; tries < 20; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      Screenshot again = display.Shot(run.title);
      if (again.rgb == shot.rgb) break;
      shot = std::move(again);
    }
    ASSERT_EQ(shot.width % kColumns, 0);
    ASSERT_EQ(shot.height % kRows, 0);
    run.error = PictureError(shot);
  }
  const double asked = runs[0].error;
  const double truecolor = runs[1].error;
  const double indexed = runs[2].error;
  std::printf(
      "picture error (mean per channel, 0-255): asked %.2f, COLORTERM=truecolor %.2f, "
      "--colors=256 %.2f\n",
      asked, truecolor, indexed);
  EXPECT_LE(asked, truecolor * 1.2 + 0.2);
  EXPECT_LT(asked * 3, indexed);
}

}  // namespace
}  // namespace vistamere::testing
