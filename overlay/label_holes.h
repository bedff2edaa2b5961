// One text hole per fielder label: opened over the cells a label is about to
// take, filled again so that the picture covers its old text.
#pragma once

#include <cstdint>

#include "console/text_console.h"
#include "toollibs/tool_libraries.h"

namespace vistamere {

struct OverlayTools {
  TextConsole& console;
  ConsoleTools& console_tools;
  GraphicsTools& graphics_tools;
};

// The right column may be cut to the screen's last column in the caller's variable.
void OpenLabelHole(OverlayTools& tools, const std::int32_t& hole, const std::int32_t& top,
                   const std::int32_t& left, const std::int32_t& bottom, std::int32_t& right);
void CloseLabelHole(OverlayTools& tools, const std::int32_t& hole);

}  // namespace vistamere
