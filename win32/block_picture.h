// The picture in console cells: each cell one of code page 437's block
// glyphs (blank, the upper and left half blocks, whose swapped colours make
// the lower and right ones, and the three shades) in two of the console's
// 16 colours, chosen to come closest to the canvas under it. Code page 437
// has no quarter blocks: a cell is split in halves at most.
#pragma once

#include <array>
#include <cstdint>

#include "picture/canvas.h"
#include "term/picture_cells.h"

namespace vistamere::win32 {

// The console's 16 colours as 0xRRGGBB, in console order: bit 0 blue,
// bit 1 green, bit 2 red, bit 3 bright.
using ConsolePalette = std::array<std::uint32_t, 16>;

// The colours of a console that has not been given others.
inline constexpr ConsolePalette kStandardConsolePalette = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

// The canvas stretched over columns x rows cells. The grid's mode is
// kIndexed16: its colours are ANSI indices (bit 0 red), its glyphs Unicode
// code points of code page 437 characters. An empty canvas gives black cells.
[[nodiscard]] term::PictureCellGrid RenderBlockPicture(const picture::Canvas& canvas, int columns,
                                                       int rows, const ConsolePalette& palette);

// The canvas stretched over columns x rows cells of upper half blocks in
// 24-bit colour (kTrueColor), for a console that takes VT colour sequences:
// the foreground is the top half's mean colour, the background the bottom's.
[[nodiscard]] term::PictureCellGrid RenderHalfBlockPicture(const picture::Canvas& canvas,
                                                           int columns, int rows);

}  // namespace vistamere::win32
