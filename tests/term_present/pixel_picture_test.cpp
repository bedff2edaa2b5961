// The picture in sixel pixels under moving labels: the writer's bytes are
// played on a model of a sixel terminal (a glyph replaces the image in its
// cell; an image draws its set pixels from the cursor's cell on; erasing
// the display erases images), and after every frame each picture cell must
// show exactly the picture's pixels and each text cell its glyph.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "picture/canvas.h"
#include "term/graphics_mode.h"
#include "term/sixel_picture.h"
#include "term/terminal_writer.h"

namespace vistamere::term {
namespace {

constexpr CellPixels kCell{4, 7};  // a cell height that is no multiple of six

// A sixel terminal as far as the writer's output needs one.
class SixelTerminal {
 public:
  SixelTerminal(int columns, int rows)
      : columns_(columns),
        glyphs_(static_cast<std::size_t>(columns * rows), U' '),
        pixels_(static_cast<std::size_t>(columns * kCell.width * rows * kCell.height), -1) {}

  void Feed(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte == 0x1B && bytes[i + 1] == '[') {
        i = Csi(bytes, i + 2);
      } else if (byte == 0x1B && bytes[i + 1] == 'P') {
        i = Sixel(bytes, i + 2);
      } else {
        // One glyph (the test's glyphs are ASCII): the image leaves the cell.
        const int at = row_ * columns_ + column_;
        glyphs_[static_cast<std::size_t>(at)] = static_cast<char32_t>(byte);
        ErasePixels(column_, row_);
        column_ = std::min(column_ + 1, columns_ - 1);
        ++i;
      }
    }
  }

  char32_t GlyphAt(int column, int row) const {
    return glyphs_[static_cast<std::size_t>(row * columns_ + column)];
  }
  // The palette index shown at the pixel, -1 where no image is.
  int PixelAt(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y * columns_ * kCell.width + x)];
  }

 private:
  std::size_t Csi(const std::string& bytes, std::size_t i) {
    std::vector<int> params(1, 0);
    while (i < bytes.size() && (std::isdigit(static_cast<unsigned char>(bytes[i])) != 0 ||
                                bytes[i] == ';' || bytes[i] == '?')) {
      if (bytes[i] == ';') {
        params.push_back(0);
      } else if (bytes[i] != '?') {
        params.back() = params.back() * 10 + (bytes[i] - '0');
      }
      ++i;
    }
    const char final_byte = bytes[i];
    if (final_byte == 'H') {
      row_ = std::max(params[0], 1) - 1;
      column_ = params.size() > 1 ? std::max(params[1], 1) - 1 : 0;
    } else if (final_byte == 'C') {
      column_ += std::max(params[0], 1);
    } else if (final_byte == 'J' && params[0] == 2) {
      std::fill(glyphs_.begin(), glyphs_.end(), U' ');
      std::fill(pixels_.begin(), pixels_.end(), -1);
    }
    return i + 1;
  }

  std::size_t Sixel(const std::string& bytes, std::size_t i) {
    const int left = column_ * kCell.width;
    const int top = row_ * kCell.height;
    const std::size_t end = bytes.find("\x1b\\", i);
    i = bytes.find('q', i) + 1;
    int x = 0;
    int band = 0;
    int colour = 0;
    int width = 0;
    int height = 0;
    const auto number = [&] {
      int value = 0;
      while (std::isdigit(static_cast<unsigned char>(bytes[i])) != 0) {
        value = value * 10 + (bytes[i++] - '0');
      }
      return value;
    };
    while (i < end) {
      const char c = bytes[i++];
      if (c == '"') {
        number(), ++i, number(), ++i;
        width = number();
        ++i;
        height = number();
      } else if (c == '#') {
        colour = number();
        if (bytes[i] == ';') {  // a definition: skip its four numbers
          for (int k = 0; k < 4; ++k) ++i, number();
        }
      } else if (c == '$') {
        x = 0;
      } else if (c == '-') {
        x = 0;
        band += 6;
      } else {
        int repeat = 1;
        char sixel = c;
        if (c == '!') {
          repeat = number();
          sixel = bytes[i++];
        }
        for (int k = 0; k < repeat; ++k, ++x) {
          for (int bit = 0; bit < 6; ++bit) {
            if (((sixel - '?') >> bit & 1) == 0) continue;
            EXPECT_LT(x, width);
            EXPECT_LT(band + bit, height);
            pixels_[static_cast<std::size_t>((top + band + bit) * columns_ * kCell.width + left +
                                             x)] = colour;
          }
        }
      }
    }
    // Where terminals leave the cursor after an image differs: the writer
    // must not count on it.
    column_ = 0;
    row_ = 0;
    return end + 2;
  }

  void ErasePixels(int column, int row) {
    for (int y = 0; y < kCell.height; ++y) {
      for (int x = 0; x < kCell.width; ++x) {
        pixels_[static_cast<std::size_t>((row * kCell.height + y) * columns_ * kCell.width +
                                         column * kCell.width + x)] = -1;
      }
    }
  }

  int columns_;
  int column_ = 0;
  int row_ = 0;
  std::vector<char32_t> glyphs_;
  std::vector<int> pixels_;
};

picture::Canvas NoisyCanvas() {
  picture::Canvas canvas;
  canvas.Reset(64, 32);
  std::mt19937 random(7);
  for (auto& sample : canvas.rgb) sample = static_cast<std::uint8_t>(random());
  return canvas;
}

TEST(PixelPicture, LabelsMoveOverThePictureAndTheCellsTheyLeaveShowItAgain) {
  constexpr int kColumns = 24;
  constexpr int kRows = 12;
  constexpr int kLeft = 2;  // the area's top-left cell
  constexpr int kTop = 3;
  constexpr int kAreaColumns = 18;
  constexpr int kAreaRows = 8;
  const SixelPicture picture(NoisyCanvas(), kAreaColumns, kAreaRows, kCell);
  std::string whole;
  picture.AppendWhole(whole);

  TerminalWriter writer;
  writer.SetPixelPicture(&picture, kLeft, kTop);
  SixelTerminal terminal(kColumns, kRows);
  std::mt19937 random(11);
  for (int step = 0; step < 40; ++step) {
    Frame frame(kColumns, kRows);
    for (int row = 0; row < kRows; ++row) {
      for (int column = 0; column < kColumns; ++column) {
        frame.Set(column, row, TermCell{U'.', {}, {}});
      }
    }
    for (int row = kTop; row < kTop + kAreaRows; ++row) {
      for (int column = kLeft; column < kLeft + kAreaColumns; ++column) {
        frame.Set(column, row, kPictureCell);
      }
    }
    // Three labels of four letters somewhere on the area.
    for (int label = 0; label < 3; ++label) {
      const int row = kTop + static_cast<int>(random() % kAreaRows);
      const int column = kLeft + static_cast<int>(random() % (kAreaColumns - 3));
      for (int k = 0; k < 4; ++k) {
        frame.Set(column + k, row, TermCell{static_cast<char32_t>(U'a' + label), {}, {}});
      }
    }
    const std::string& bytes = writer.Update(frame);
    if (step > 0) {
      EXPECT_LT(bytes.size(), whole.size() / 2) << "step " << step << ": patches, not the whole";
    }
    terminal.Feed(bytes);
    EXPECT_TRUE(writer.Update(frame).empty()) << "step " << step << ": the same frame again";

    for (int row = 0; row < kRows; ++row) {
      for (int column = 0; column < kColumns; ++column) {
        const TermCell& cell = frame.At(column, row);
        if (!cell.picture) {
          ASSERT_EQ(terminal.GlyphAt(column, row), cell.glyph) << column << "," << row;
          ASSERT_EQ(terminal.PixelAt(column * kCell.width, row * kCell.height), -1)
              << "step " << step << ": image left under the text at " << column << "," << row;
          continue;
        }
        for (int y = 0; y < kCell.height; ++y) {
          for (int x = 0; x < kCell.width; ++x) {
            const int area_x = (column - kLeft) * kCell.width + x;
            const int area_y = (row - kTop) * kCell.height + y;
            ASSERT_EQ(terminal.PixelAt(column * kCell.width + x, row * kCell.height + y),
                      picture.IndexAt(area_x, area_y))
                << "step " << step << ": cell " << column << "," << row;
          }
        }
      }
    }
  }
}

TEST(PixelPicture, PixelsOnlyWhereTheyWorkAndFit) {
  using Kind = GraphicsDecision::Kind;
  const GraphicsSettings automatic;
  const GraphicsSettings in_tmux{GraphicsChoice::kAuto, true};
  const GraphicsSettings sixel{GraphicsChoice::kSixel, true};
  const GraphicsSettings cells{GraphicsChoice::kCells, false};
  const CellPixels xterm{9, 19};
  struct Case {
    const char* what;
    const GraphicsSettings& settings;
    TerminalGraphics terminal;
    Kind expected;
    CellPixels cell;
  } cases[] = {
      {"xterm -ti vt340", automatic, {true, false, xterm}, Kind::kSixel, xterm},
      {"kitty", automatic, {false, true, CellPixels{8, 17}}, Kind::kKitty, {}},
      {"kitty without its size in pixels",
       automatic,
       {false, true, std::nullopt},
       Kind::kKitty,
       {}},
      {"neither", automatic, {false, false, xterm}, Kind::kCells, {}},
      {"inside tmux", in_tmux, {true, true, xterm}, Kind::kCells, {}},
      {"sixel, no pixel size", automatic, {true, false, std::nullopt}, Kind::kCells, {}},
      {"102 x 34 cells of 10 x 30 pass 1000 px",
       automatic,
       {true, false, CellPixels{10, 30}},
       Kind::kCells,
       {}},
      {"sixel asked for, size unknown",
       sixel,
       {false, false, std::nullopt},
       Kind::kSixel,
       kAssumedCell},
      {"cells asked for", cells, {true, true, xterm}, Kind::kCells, {}},
  };
  for (const Case& test : cases) {
    const GraphicsDecision decision = DecideGraphics(test.settings, test.terminal, 102, 34);
    EXPECT_EQ(decision.kind, test.expected) << test.what << ": " << decision.reason;
    if (test.expected == Kind::kSixel) {
      EXPECT_EQ(decision.cell, test.cell) << test.what;
    }
    EXPECT_FALSE(decision.reason.empty()) << test.what;
  }
  EXPECT_EQ(CellSize(102, 40, 922, 764), (CellPixels{9, 19})) << "xterm counts its border in";
  EXPECT_EQ(CellSize(102, 40, 0, 0), std::nullopt);
}

}  // namespace
}  // namespace vistamere::term
