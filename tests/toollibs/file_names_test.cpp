// Picture names as people type, paste and complete them, on real files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "console/code_page_437.h"
#include "console/utf8.h"
#include "tests/support/scripted_console.h"
#include "toollibs/file_name_completer.h"
#include "toollibs/picture_path.h"
#include "toollibs/tool_libraries_impl.h"

namespace vistamere {
namespace {

namespace fs = std::filesystem;

class FileNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        Utf8OfPath(fs::temp_directory_path() / ("vistamere-names-" + std::to_string(::getpid())));
    fs::create_directories(PathOfUtf8(folder + "/sub"));
    for (const char* name :
         {"a b.png", "cat.png", "camera.png", ".hidden.png", "?uro.png", "\xe7\x8c\xab.png",
          "\xc3\x9c"
          "n\xc3\xaf"
          "c\xc3\xb8"
          "d\xc3\xa9.png",
          "sub/deep.png"}) {
      fs::copy_file(fs::path(VISTAMERE_BMPSUITE) / "g" / "rgb24.bmp",
                    PathOfUtf8(folder + "/" + name));
    }
  }
  void TearDown() override { fs::remove_all(PathOfUtf8(folder)); }

  std::string folder;  // UTF-8
};

TEST_F(FileNamesTest, NamesResolveAsPeopleTypeAndPasteThem) {
  const std::string f = folder + "/";
  const struct {
    std::string typed;
    std::string file;
  } cases[] = {
      {f + "a b.png", f + "a b.png"},
      {"'" + f + "a b.png'", f + "a b.png"},  // dragged into a terminal
      {"\"" + f + "a b.png\"", f + "a b.png"},
      {"~/cat.png", f + "cat.png"},
      {"'~/cat.png'", f + "cat.png"},
      {"'" + f + "a b.png\"", "'" + f + "a b.png\""},  // quotes that do not match
      {"~/missing.png", "~/missing.png"},              // the failure names what was typed
      {f + "?uro.png", f + "?uro.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolvePicturePath(c.typed, folder.c_str()), c.file) << c.typed;
  }
}

TEST_F(FileNamesTest, TabCompletesAsFarAsTheNamesAgree) {
  FileNameCompleter completer(folder.c_str());
  const std::u32string f = *CharactersOfUtf8(folder + "/");
  const struct {
    std::u32string typed;
    std::u32string more;
  } cases[] = {
      {f + U"ca", U""},           {f + U"cat", U".png"},     {f + U"su", U"b/"},
      {f + U"sub/", U"deep.png"}, {f + U".h", U"idden.png"}, {f + U"x", U""},
      {f + U"\u732b", U".png"},   {U"~/cam", U"era.png"},    {f + U"", U""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8Of(completer.Complete(c.typed)), Utf8Of(c.more)) << Utf8Of(c.typed);
  }
}

// The whole way: keys typed at the prompt (with Tab), the line the program
// gets (code page bytes), the picture the tool library opens from it.
TEST_F(FileNamesTest, TypedNamesOpenTheFileTypedAndNoOther) {
  const struct {
    std::u32string keys;  // \t is Tab
    const char* line;     // what the program gets, code page 437
    bool shown;
  } cases[] = {
      {U"\u732b.png", "?.png", true},
      {U"\u00dcn\u00efc\u00f8d\u00e9.png",
       "\x9a"
       "n\x8b"
       "c?d\x82.png",
       true},
      {U"\u732b\t", "?.png", true},
      {U"\u20acuro.png", "?uro.png", false},  // only "?uro.png" exists
      {U"?uro.png", "?uro.png", true},
      {U"su\tde\t", "sub/deep.png", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8Of(c.keys));
    testing::ScriptedConsole run;
    TypedLine typed_line;
    FileNameCompleter completer(nullptr);
    TextConsole console(run.buffer, {&typed_line, &completer});
    for (const char32_t key : c.keys) {
      InputRecord record = testing::KeyPress(UnicodeToCp437(key), key == U'\t' ? 0x0F : 0);
      if (key == U'\t') record.key.character = '\t';
      record.key.unicode = key;
      run.Press(record);
    }
    run.Type("\r");
    const fs::path before = fs::current_path();
    fs::current_path(PathOfUtf8(folder));
    const Text line = console.LineInput();
    GraphicsWindow window;
    ToolLibraries tools(window, nullptr, &typed_line);
    tools.ConsoleGfx(1, 6, 102, 39);
    const std::int32_t result = tools.StretchImage(line.c_str(), 1024, 512);
    fs::current_path(before);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(result == 0, c.shown) << window.notice;
  }
}

}  // namespace
}  // namespace vistamere
