#include "overlay/load_picture.h"

#include <gtest/gtest.h>

#include "scene/screen_size.h"
#include "support/recording_tools.h"
#include "support/scripted_console.h"

namespace vistamere {
namespace {

struct PathCase {
  const char* name;
  std::vector<std::string> expected;
};

TEST(LoadPicture, ChoosesTheBitmapPathByTheLastThreeCharactersOnly) {
  ScreenRows = 40;
  ScreenCols = 102;
  const PathCase cases[] = {
      {"park.bmp", {"BitmapParam('park.bmp',0)", "StretchBitmap('park.bmp',1024,512)"}},
      {"PARK.BMP", {"BitmapParam('PARK.BMP',0)", "StretchBitmap('PARK.BMP',1024,512)"}},
      {"a.Bmp", {"BitmapParam('a.Bmp',0)", "StretchBitmap('a.Bmp',1024,512)"}},
      {"bmp", {"BitmapParam('bmp',0)", "StretchBitmap('bmp',1024,512)"}},
      {"park.jpg", {"ImageParam('park.jpg',0)", "StretchImage('park.jpg',1024,512)"}},
      {"park.bm", {"ImageParam('park.bm',0)", "StretchImage('park.bm',1024,512)"}},
      {"mp", {"ImageParam('mp',0)", "StretchImage('mp',1024,512)"}},
      {"", {"ImageParam(null,0)", "StretchImage(null,1024,512)"}},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ScriptedConsole screen;
    testing::RecordingTools library;
    OverlayTools tools{screen.console, library, library};
    LoadPicture(tools, c.name);
    std::vector<std::string> expected = {"ConsoleGfx(1,6,102,39)", "GfxWindow(0)"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(library.calls, expected);
  }
}

}  // namespace
}  // namespace vistamere
