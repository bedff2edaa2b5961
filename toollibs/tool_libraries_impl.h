// Our console and graphics tool libraries: they keep the graphics window
// model that the platform renders; the window's icon and state go to the
// platform, which may have neither; menus and tool bars are left as they are.
#pragma once

#include <string>

#include "console/typed_line.h"
#include "toollibs/graphics_window.h"
#include "toollibs/tool_host.h"
#include "toollibs/tool_libraries.h"

namespace vistamere {

// Results other than 0.
inline constexpr std::int32_t kBadHoleNumber = 1;
inline constexpr std::int32_t kBadRectangle = 2;
inline constexpr std::int32_t kNoGraphicsArea = 3;
inline constexpr std::int32_t kBadArgument = 4;
inline constexpr std::int32_t kPictureNotShown = 5;

class ToolLibraries final : public ConsoleTools, public GraphicsTools {
 public:
  // `typed_line` (may be null): the file prompt's line as typed, so that a
  // name with characters the code page lacks still opens its file.
  ToolLibraries(GraphicsWindow& window, ToolHost* host, const TypedLine* typed_line = nullptr)
      : window_(window), host_(host), typed_line_(typed_line) {}

  std::int32_t InitConsoleTools(std::intptr_t instance, std::int32_t a, std::int32_t b,
                                std::int32_t c, std::int32_t* d, std::int32_t e) override;
  [[nodiscard]] char* ConsoleTitle(const char* title) override;
  std::int32_t ConsoleIcon(std::int32_t icon) override;
  std::int32_t DeleteWindowMenuItem(std::int32_t item) override;
  std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) override;
  std::int32_t ConsoleWindow(std::int32_t state) override;
  std::int32_t ConsoleGfx(std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom) override;
  [[nodiscard]] std::int32_t GfxTextHole(std::int32_t hole, std::int32_t left, std::int32_t top,
                                         std::int32_t right, std::int32_t bottom) override;

  std::int32_t GfxWindow(std::int32_t state) override;
  std::int32_t BitmapParam(const char* name, std::int32_t query) override;
  std::int32_t StretchBitmap(const char* name, std::int32_t width, std::int32_t height) override;
  std::int32_t ImageParam(const char* name, std::int32_t query) override;
  std::int32_t StretchImage(const char* name, std::int32_t width, std::int32_t height) override;
  std::int32_t GfxRefresh(std::int32_t mode) override;
  [[nodiscard]] std::int32_t FillHole(std::int32_t hole) override;

 private:
  std::int32_t Stretch(const char* name, std::int32_t width, std::int32_t height);
  [[nodiscard]] std::string FileNameOf(const std::string& bytes) const;

  GraphicsWindow& window_;
  ToolHost* host_;
  const TypedLine* typed_line_;
  std::string title_;
};

}  // namespace vistamere
