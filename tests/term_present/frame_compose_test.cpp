#include "term/frame_compose.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "screen_setup.h"
#include "term/notice_text.h"
#include "tests/picture_codecs/jpeg_writer.h"
#include "toollibs/tool_libraries_impl.h"

namespace vistamere::term::testing {
namespace {

namespace fs = std::filesystem;

TEST(AttributeColoursTest, ConsoleBitsBecomeAnsiColours) {
  const struct {
    std::uint8_t attribute;
    Colour fg;
    Colour bg;
  } kCases[] = {
      {0x07, Colour::Default(), Colour::Default()},  // the program's own: the user's theme
      {0x01, Colour::Ansi(4), Colour::Ansi(0)},      // blue
      {0x02, Colour::Ansi(2), Colour::Ansi(0)},      // green
      {0x04, Colour::Ansi(1), Colour::Ansi(0)},      // red
      {0x06, Colour::Ansi(3), Colour::Ansi(0)},      // brown / yellow
      {0x0C, Colour::Ansi(9), Colour::Ansi(0)},      // bright red
      {0x0F, Colour::Ansi(15), Colour::Ansi(0)},     // bright white
      {0x1E, Colour::Ansi(11), Colour::Ansi(4)},     // yellow on blue
      {0x70, Colour::Ansi(0), Colour::Ansi(7)},      // inverse
      {0x00, Colour::Ansi(0), Colour::Ansi(0)},     {0xF0, Colour::Ansi(0), Colour::Ansi(15)},
      {0x17, Colour::Ansi(7), Colour::Ansi(4)},
  };
  for (const auto& [attribute, fg, bg] : kCases) {
    Colour got_fg;
    Colour got_bg;
    AttributeColours(attribute, got_fg, got_bg);
    EXPECT_EQ(got_fg, fg) << std::hex << int{attribute};
    EXPECT_EQ(got_bg, bg) << std::hex << int{attribute};
  }
}

class ComposeFrameTest : public ::testing::Test {
 protected:
  ComposeFrameTest() {
    ClearBuffer(buffer);
    for (int row = 0; row < picture.rows; ++row) {
      for (int column = 0; column < picture.columns; ++column) {
        picture.cells.push_back(PictureCell{U'\u2580', static_cast<std::uint32_t>(column),
                                            static_cast<std::uint32_t>(row)});
      }
    }
  }
  void ShowWindow(HoleRect area) {
    window.area = area;
    window.shown = true;
  }
  void Compose() { ComposeFrame(buffer, window, &picture, frame); }

  ScreenBuffer buffer{kColumns, kRows};
  GraphicsWindow window;
  PictureCellGrid picture{8, 5, ColourMode::kTrueColor, {}};
  Frame frame;
};

TEST_F(ComposeFrameTest, ConsoleBytesShowAsCodePageGlyphs) {
  const Cell cells[] = {{0x00, 0x07}, {0x01, 0x07}, {'A', 0x07}, {0xB0, 0x07}, {0x7F, 0x1E}};
  buffer.WriteOutput(3, 2, cells);

  Compose();

  ASSERT_EQ(frame.columns(), kColumns);
  ASSERT_EQ(frame.rows(), kRows);
  EXPECT_EQ(frame.At(3, 2), (TermCell{U' ', Colour::Default(), Colour::Default()}));
  EXPECT_EQ(frame.At(4, 2).glyph, U'\u263A');
  EXPECT_EQ(frame.At(5, 2).glyph, U'A');
  EXPECT_EQ(frame.At(6, 2).glyph, U'\u2591');
  EXPECT_EQ(frame.At(7, 2), (TermCell{U'\u2302', Colour::Ansi(11), Colour::Ansi(4)}));
}

TEST_F(ComposeFrameTest, OnlyWrittenOrCoveredCellsAreKnown) {
  ScreenBuffer fresh(kColumns, kRows);
  WriteText(fresh, 10, 3, "abc");
  window.area = HoleRect{50, 20, 57, 24};
  window.shown = true;

  ComposeFrame(fresh, window, &picture, frame);

  EXPECT_TRUE(frame.Known(10, 3));
  EXPECT_TRUE(frame.Known(12, 3));
  EXPECT_FALSE(frame.Known(13, 3));
  EXPECT_FALSE(frame.Known(0, 0));
  EXPECT_TRUE(frame.Known(49, 19)) << "the picture is drawn where it stands";
  EXPECT_FALSE(frame.Known(48, 19));
  EXPECT_FALSE(frame.AllKnown());
}

TEST_F(ComposeFrameTest, PictureFillsTheAreaExceptItsHoles) {
  ShowWindow(HoleRect{3, 2, 10, 6});
  WriteText(buffer, 4, 3, "hole");
  window.holes[1] = HoleRect{5, 4, 8, 4};

  Compose();

  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const bool in_area = column >= 2 && column <= 9 && row >= 1 && row <= 5;
      const bool in_hole = row == 3 && column >= 4 && column <= 7;
      const TermCell& cell = frame.At(column, row);
      if (in_area && !in_hole) {
        EXPECT_EQ(cell.glyph, U'\u2580');
        EXPECT_EQ(cell.fg, Colour::Rgb(static_cast<std::uint32_t>(column - 2))) << column;
        EXPECT_EQ(cell.bg, Colour::Rgb(static_cast<std::uint32_t>(row - 1))) << row;
      } else {
        EXPECT_EQ(cell.fg, Colour::Default()) << column << "," << row;
      }
    }
  }
  EXPECT_EQ(frame.At(4, 3).glyph, U'h');
  EXPECT_EQ(frame.At(7, 3).glyph, U'e');
}

TEST_F(ComposeFrameTest, IndexedPictureCellsArePaletteColours) {
  picture.mode = ColourMode::kIndexed256;
  ShowWindow(HoleRect{1, 1, 8, 5});

  Compose();

  EXPECT_EQ(frame.At(3, 2).fg, Colour::Indexed(3));
  EXPECT_EQ(frame.At(3, 2).bg, Colour::Indexed(2));
}

TEST_F(ComposeFrameTest, HiddenWindowShowsTheConsole) {
  ShowWindow(HoleRect{1, 1, 8, 5});
  window.shown = false;
  WriteText(buffer, 0, 0, "text");

  Compose();

  EXPECT_EQ(frame.At(0, 0).glyph, U't');
  EXPECT_EQ(frame.At(5, 3).fg, Colour::Default());
}

TEST_F(ComposeFrameTest, NoticeIsCentredOnTheAreasMiddleRow) {
  ShowWindow(HoleRect{1, 1, kColumns, 34});
  window.notice = "Cannot show \"x.bmp\"";

  Compose();

  const int middle = 16;  // rows 0-33
  const int length = 19;
  const int start = (kColumns - length) / 2;
  std::u32string shown;
  for (int column = start; column < start + length; ++column) {
    shown.push_back(frame.At(column, middle).glyph);
  }
  EXPECT_EQ(shown, U"Cannot show \"x.bmp\"");
  EXPECT_EQ(frame.At(start, middle).bg, frame.At(start - 1, middle).bg) << "padded";
  EXPECT_NE(frame.At(start, middle).bg, frame.At(start - 2, middle).bg);
  EXPECT_EQ(frame.At(start, middle - 1).glyph, U' ') << "no picture: black cells";
}

TEST_F(ComposeFrameTest, WarningStandsOnTheAreasBottomRow) {
  ShowWindow(HoleRect{1, 6, kColumns, 39});
  window.notice = "showing part of 'x.png': truncated PNG data";
  window.notice_is_warning = true;

  Compose();

  const int length = 43;
  const int start = (kColumns - length) / 2;
  std::u32string shown;
  for (int column = start; column < start + length; ++column) {
    shown.push_back(frame.At(column, 38).glyph);
  }
  EXPECT_EQ(shown, U"showing part of 'x.png': truncated PNG data");
}

TEST_F(ComposeFrameTest, LongNoticeWrapsInsideTheAreaAndHolesStayOnTop) {
  ShowWindow(HoleRect{11, 5, 30, 14});  // 20 columns, 10 rows
  window.notice = std::string(45, 'x');
  WriteText(buffer, 10, 8, "HOLE");
  window.holes[2] = HoleRect{11, 9, 14, 9};

  Compose();

  int notice_cells = 0;
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (frame.At(column, row).glyph != U'x') continue;
      ++notice_cells;
      EXPECT_TRUE(column >= 10 && column <= 29 && row >= 4 && row <= 13) << column << "," << row;
    }
  }
  EXPECT_EQ(notice_cells, 45 - 3) << "three x under the hole, the rest in three lines";
  EXPECT_EQ(frame.At(10, 8).glyph, U'H');
}

// Real files loaded by the real tool libraries: however long the name, the
// notice shows within the area why the picture is not shown whole.
class PictureNoticeTest : public ComposeFrameTest {
 protected:
  void SetUp() override {
    fs::create_directories(deep);
    tools.ConsoleGfx(1, 6, kColumns, 39);
    tools.GfxWindow(kShowWindow);
  }
  void TearDown() override { fs::remove_all(directory); }

  const fs::path directory =
      fs::temp_directory_path() / ("vistamere-notice-" + std::to_string(::getpid()));
  const fs::path deep = directory / std::string(200, 'd') / std::string(200, 'e');
  ToolLibraries tools{window, nullptr};
};

TEST_F(PictureNoticeTest, ShowsTheWholeReasonAndBothEndsOfALongName) {
  namespace codec = picture::testing;
  const codec::Bytes jpeg = codec::EncodeJpeg(codec::MakeTestPicture({256, 128}), {});
  std::ofstream(deep / "cut.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()),
             static_cast<std::streamsize>(jpeg.size() / 2));
  const struct {
    std::string name;
    std::string opening, closing;  // the notice without spaces, around the name
    int first_row, last_row;       // 0-based; a warning keeps to the bottom rows
  } kCases[] = {
      {(directory / std::string(5000, 'n')).string(), "cannotshow'", "':filenametoolong", 5, 38},
      {(deep / "cut.jpg").string(), "showingpartof'", "':truncatedJPEGdata", 36, 38},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(tools.StretchImage(c.name.c_str(), 1024, 512), kPictureNotShown);
    Compose();
    std::string text;
    int first_row = kRows;
    int last_row = -1;
    for (int row = 0; row < kRows; ++row) {
      for (int column = 0; column < kColumns; ++column) {
        const TermCell& cell = frame.At(column, row);
        if (cell.bg != kNoticeBackground) continue;
        first_row = std::min(first_row, row);
        last_row = row;
        if (cell.glyph != U' ') text.push_back(static_cast<char>(cell.glyph));
      }
    }
    EXPECT_EQ(first_row, c.first_row);
    EXPECT_EQ(last_row, c.last_row);
    ASSERT_TRUE(text.starts_with(c.opening) && text.ends_with(c.closing)) << text;
    const std::string name =
        text.substr(c.opening.size(), text.size() - c.opening.size() - c.closing.size());
    const std::size_t elision = name.find("...");
    ASSERT_NE(elision, std::string::npos) << name;
    EXPECT_TRUE(c.name.starts_with(name.substr(0, elision))) << name;
    EXPECT_TRUE(c.name.ends_with(name.substr(elision + 3))) << name;
    EXPECT_LE(name.size() - 2 * elision - 3, 1u) << "cut in the middle: " << name;
  }
}

TEST_F(ComposeFrameTest, CursorShowsOnlyOverText) {
  ShowWindow(HoleRect{1, 1, 20, 10});
  window.holes[1] = HoleRect{5, 5, 9, 5};
  const struct {
    int column, row;
    bool cursor_on, visible;
  } kCases[] = {
      {30, 30, true, true}, {30, 30, false, false}, {2, 2, true, false},
      {5, 4, true, true},   {19, 9, true, false},   {20, 9, true, true},
  };
  for (const auto& [column, row, cursor_on, visible] : kCases) {
    buffer.SetCursorPosition(column, row);
    buffer.SetCursorInfo(CursorInfo{25, cursor_on});
    Compose();
    EXPECT_EQ(frame.cursor.visible, visible) << column << "," << row;
    EXPECT_EQ(frame.cursor.column, column);
    EXPECT_EQ(frame.cursor.row, row);
  }
}

}  // namespace
}  // namespace vistamere::term::testing
