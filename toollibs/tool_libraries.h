// The calls the program makes into its console and graphics tool libraries.
// Every call takes and returns 32-bit values; a text argument is a
// zero-terminated byte string, or a null pointer for the empty text.
#pragma once

#include <cstdint>

namespace vistamere {

// Window states for ConsoleWindow and GfxWindow, numbered as the Windows
// ShowWindow call numbers them.
inline constexpr std::int32_t kHideWindow = 0;
inline constexpr std::int32_t kMaximiseWindow = 3;
inline constexpr std::int32_t kShowWindow = 5;

// Console window extras, the graphics area and its text holes.
class ConsoleTools {
 public:
  virtual ~ConsoleTools() = default;
  virtual std::int32_t InitConsoleTools(std::intptr_t instance, std::int32_t a, std::int32_t b,
                                        std::int32_t c, std::int32_t* d, std::int32_t e) = 0;
  // Returns an OLE byte string (see ole_string.h) or null; the caller frees it.
  [[nodiscard]] virtual char* ConsoleTitle(const char* title) = 0;
  virtual std::int32_t ConsoleIcon(std::int32_t icon) = 0;
  virtual std::int32_t DeleteWindowMenuItem(std::int32_t item) = 0;
  virtual std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) = 0;
  virtual std::int32_t ConsoleWindow(std::int32_t state) = 0;
  // Cells are 1-based console columns and rows, inclusive.
  virtual std::int32_t ConsoleGfx(std::int32_t left, std::int32_t top, std::int32_t right,
                                  std::int32_t bottom) = 0;
  // 0 when the hole was opened.
  [[nodiscard]] virtual std::int32_t GfxTextHole(std::int32_t hole, std::int32_t left,
                                                 std::int32_t top, std::int32_t right,
                                                 std::int32_t bottom) = 0;
};

// Pictures in the graphics window.
class GraphicsTools {
 public:
  virtual ~GraphicsTools() = default;
  virtual std::int32_t GfxWindow(std::int32_t state) = 0;  // kShowWindow or kHideWindow
  virtual std::int32_t BitmapParam(const char* name, std::int32_t query) = 0;
  virtual std::int32_t StretchBitmap(const char* name, std::int32_t width, std::int32_t height) = 0;
  virtual std::int32_t ImageParam(const char* name, std::int32_t query) = 0;
  virtual std::int32_t StretchImage(const char* name, std::int32_t width, std::int32_t height) = 0;
  virtual std::int32_t GfxRefresh(std::int32_t mode) = 0;
  // 0 when the hole was closed.
  [[nodiscard]] virtual std::int32_t FillHole(std::int32_t hole) = 0;
};

}  // namespace vistamere
