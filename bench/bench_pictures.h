// Picture files for the load benchmarks, made once by make_picture.sh (with
// ImageMagick) and kept in the build tree. A photograph-like content: smooth
// colour fields with a camera's noise, so that the codecs work as on real
// pictures.
#pragma once

#include <optional>
#include <string>

namespace vistamere::bench {

// The path of a `width` x `height` picture in `format` (a file name
// extension ImageMagick knows: jpg, png, bmp, gif, webp, tif), made first if
// it is not there yet; nothing when it cannot be made.
std::optional<std::string> BenchPicture(const std::string& format, int width, int height);

}  // namespace vistamere::bench
