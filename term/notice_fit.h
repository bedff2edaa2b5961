// Fitting a notice that names a file into the rows it may take.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vistamere::term {

// Stands for the middle of a name too long to show whole. The console font
// has no ellipsis character (U+2026 is not a code page 437 glyph), so it is
// three full stops.
inline constexpr std::u32string_view kNameElision = U"...";

// The UTF-8 notice as displayable lines of at most `width` characters (see
// WrapText). Where it takes more than `most_lines` lines, its name, the bytes
// [name_begin, name_end), keeps only its two ends with kNameElision between
// them, as many characters as still let the notice fit; the rest of the
// notice is never cut. With no room even for that, the name is kNameElision
// alone and the lines are as many as the rest needs.
std::vector<std::u32string> FitNotice(std::string_view utf8, std::size_t name_begin,
                                      std::size_t name_end, int width, int most_lines);

}  // namespace vistamere::term
