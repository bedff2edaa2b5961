// Our tool libraries on the real graphics window model and real files.
#include "toollibs/tool_libraries_impl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "toollibs/ole_string.h"

namespace vistamere {
namespace {

namespace fs = std::filesystem;

class RecordingHost final : public ToolHost {
 public:
  void SetTitle(const std::string& title) override { titles.push_back(title); }
  bool ShowLoadProgress(const std::string&, int percent) override {
    progress.push_back(percent);
    return true;
  }
  // The program has icon 1 only.
  bool SetIcon(int icon) override {
    icons.push_back(icon);
    return icon == 1;
  }
  void SetWindowState(int state) override { states.push_back(state); }
  std::vector<std::string> titles;
  std::vector<int> progress;
  std::vector<int> icons;
  std::vector<int> states;
};

class ToolLibrariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() / ("vistamere-toollibs-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    tools.ConsoleGfx(1, 6, 102, 39);
  }
  void TearDown() override { fs::remove_all(directory); }

  GraphicsWindow window;
  RecordingHost host;
  ToolLibraries tools{window, &host};
  fs::path directory;
};

TEST_F(ToolLibrariesTest, TextHolesOpenOnlyWithAGoodNumberInsideTheArea) {
  const struct {
    std::int32_t hole, left, top, right, bottom, result;
  } cases[] = {
      {1, 46, 28, 52, 28, 0},
      {32, 1, 6, 102, 39, 0},
      {0, 46, 28, 52, 28, kBadHoleNumber},
      {33, 46, 28, 52, 28, kBadHoleNumber},
      {-1, 46, 28, 52, 28, kBadHoleNumber},
      {2, 97, 20, 103, 20, kBadRectangle},
      {2, 10, 5, 12, 5, kBadRectangle},
      {2, 10, 40, 12, 40, kBadRectangle},
      {2, 12, 20, 10, 20, kBadRectangle},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tools.GfxTextHole(c.hole, c.left, c.top, c.right, c.bottom), c.result)
        << c.hole << " " << c.left << "," << c.top << "-" << c.right << "," << c.bottom;
  }
  EXPECT_EQ(window.holes.size(), 2u);
  EXPECT_EQ(tools.FillHole(1), 0);
  EXPECT_EQ(tools.FillHole(1), 0);  // closing a closed hole is no failure
  EXPECT_EQ(tools.FillHole(0), kBadHoleNumber);
  EXPECT_EQ(window.holes.size(), 1u);
}

TEST_F(ToolLibrariesTest, IconAndWindowStateGoToTheHostAndTheSystemMenuStays) {
  EXPECT_EQ(tools.ConsoleIcon(1), 0);
  EXPECT_EQ(tools.ConsoleIcon(2), kBadArgument);
  EXPECT_EQ(tools.ConsoleWindow(kShowWindow), 0);
  EXPECT_EQ(tools.ConsoleWindow(kMaximiseWindow), 0);
  EXPECT_EQ(tools.DeleteWindowMenuItem(-2), 0);
  EXPECT_EQ(tools.ConsoleToolBar(0, 99), 0);
  EXPECT_EQ(host.icons, (std::vector<int>{1, 2}));
  EXPECT_EQ(host.states, (std::vector<int>{kShowWindow, kMaximiseWindow}));
}

TEST_F(ToolLibrariesTest, HolesNeedAnArea) {
  GraphicsWindow bare;
  ToolLibraries no_area{bare, nullptr};
  EXPECT_EQ(no_area.GfxTextHole(1, 46, 28, 52, 28), kNoGraphicsArea);
}

TEST_F(ToolLibrariesTest, PictureCoversTheAreaOnlyWhileShownAndOutsideOpenHoles) {
  EXPECT_FALSE(window.Covers(50, 20));
  tools.GfxWindow(5);
  EXPECT_TRUE(window.Covers(50, 20));
  EXPECT_FALSE(window.Covers(50, 5));
  ASSERT_EQ(tools.GfxTextHole(8, 49, 20, 54, 20), 0);
  EXPECT_FALSE(window.Covers(50, 20));
  EXPECT_TRUE(window.Covers(55, 20));
  tools.GfxWindow(0);
  EXPECT_FALSE(window.Covers(55, 20));
}

TEST_F(ToolLibrariesTest, TitleGoesToTheHostAndThePreviousOneComesBackAsAnOleString) {
  SysFreeString(tools.ConsoleTitle("Vistamere 1.0"));
  char* previous = tools.ConsoleTitle("Caf\x82");
  ASSERT_NE(previous, nullptr);
  EXPECT_EQ(SysStringByteLen(previous), 13u);
  EXPECT_STREQ(previous, "Vistamere 1.0");
  SysFreeString(previous);
  EXPECT_EQ(host.titles, (std::vector<std::string>{"Vistamere 1.0", "Caf\xC3\xA9"}));
}

TEST_F(ToolLibrariesTest, NoNameDrawsTheBuiltInBallpark) {
  EXPECT_EQ(tools.StretchImage(nullptr, 1024, 512), 0);
  EXPECT_EQ(window.canvas.width, 1024);
  EXPECT_EQ(window.canvas.height, 512);
  EXPECT_TRUE(window.notice.empty());
  const std::uint8_t* sky = window.canvas.Pixel(512, 2);
  EXPECT_GT(sky[2], sky[0]) << "blue above";
}

TEST_F(ToolLibrariesTest, PicturesNotShownWholeLeaveANoticeNamingFileAndReason) {
  const fs::path empty = directory / "empty.png";
  std::ofstream(empty).close();
  const fs::path source = fs::path(VISTAMERE_BMPSUITE) / "g" / "rgb24.bmp";
  const fs::path cut = directory / "cut.bmp";
  fs::copy_file(source, cut);
  fs::resize_file(cut, fs::file_size(source) * 2 / 3);
  const struct {
    std::string name;
    bool partial;  // drawn in part, with a warning over it
    std::string notice;
  } cases[] = {
      {(directory / "missing.jpg").string(), false, "cannot show '%': no such file"},
      {directory.string(), false, "cannot show '%': not a regular file"},
      {empty.string(), false, "cannot show '%': empty file"},
      {cut.string(), true, "showing part of '%': truncated BMP data"},
  };
  for (const auto& c : cases) {
    std::string notice = c.notice;
    notice.replace(notice.find('%'), 1, c.name);
    EXPECT_EQ(tools.StretchImage(c.name.c_str(), 1024, 512), kPictureNotShown);
    EXPECT_EQ(window.notice, notice);
    EXPECT_EQ(window.notice_is_warning, c.partial) << c.name;
    // The platform shortens the name, and nothing else, when it must.
    ASSERT_LE(window.notice_name_begin, window.notice_name_end);
    EXPECT_EQ(window.notice.substr(window.notice_name_begin,
                                   window.notice_name_end - window.notice_name_begin),
              c.name);
  }
  // The name shows as its glyphs: a control byte cannot reach the terminal.
  EXPECT_EQ(tools.StretchImage("bad\x1b[2Jname", 1024, 512), kPictureNotShown);
  EXPECT_EQ(window.notice.find('\x1b'), std::string::npos);
  EXPECT_NE(window.notice.find("bad\xE2\x86\x90[2Jname"), std::string::npos);  // U+2190
}

TEST_F(ToolLibrariesTest, CodePageNamesOpenTheFileOfTheSameNameInUtf8) {
  const fs::path picture = directory / "caf\xC3\xA9.bmp";
  fs::copy_file(fs::path(VISTAMERE_BMPSUITE) / "g" / "rgb24.bmp", picture);
  const std::string typed = (directory / "caf\x82.bmp").string();  // as typed at the console
  EXPECT_EQ(tools.StretchBitmap(typed.c_str(), 1024, 512), 0) << window.notice;
  EXPECT_TRUE(window.notice.empty());
  EXPECT_EQ(host.progress.back(), -1);
}

TEST_F(ToolLibrariesTest, DrawingSizesOutsideReasonRefuseWithoutTouchingThePicture) {
  tools.StretchImage(nullptr, 1024, 512);
  const auto version = window.picture_version;
  for (const auto& [w, h] : {std::pair{0, 512}, {1024, -1}, {100000, 512}}) {
    EXPECT_EQ(tools.StretchImage(nullptr, w, h), kBadArgument);
  }
  EXPECT_EQ(window.picture_version, version);
}

}  // namespace
}  // namespace vistamere
