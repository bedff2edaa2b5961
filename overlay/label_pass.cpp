#include "overlay/label_pass.h"

#include "scene/project_fielder.h"
#include "scene/screen_size.h"

namespace vistamere {

void LabelPass(OverlayTools& tools, const FielderTable& fielders, std::int32_t fielder_count,
               const Viewpoint& viewpoint, CellPos& current) {
  for (std::int32_t i = 1; i <= fielder_count; ++i) CloseLabelHole(tools, i);
  tools.graphics_tools.GfxRefresh(0);

  for (std::int32_t i = 1; i <= fielder_count; ++i) {
    const auto index = static_cast<std::size_t>(i);
    ProjectFielder(fielders.x[index], fielders.y[index], fielders.z[index], viewpoint.ObsX,
                   viewpoint.ObsY, viewpoint.ObsZ, viewpoint.TilZ, viewpoint.TilY, current.row,
                   current.column);
    if (current.row == 0 || current.column == 0) continue;
    const Text& label = FielderLabel(i);
    const std::int32_t length = TextLength(label);
    std::int32_t last_column = current.column + length - 1;
    OpenLabelHole(tools, i, current.row, current.column, current.row, last_column);
    tools.console.Locate(current.row, current.column);
    if (current.column + length - 1 > ScreenCols) {
      tools.console.PrintText(kOverflowMarker);
    } else {
      tools.console.PrintText(label);
    }
  }
  tools.graphics_tools.GfxRefresh(0);
}

}  // namespace vistamere
