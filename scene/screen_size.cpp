#include "scene/screen_size.h"

namespace vistamere {

std::int32_t ScreenRows = 0;
std::int32_t ScreenCols = 0;

}  // namespace vistamere
