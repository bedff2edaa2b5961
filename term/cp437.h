// The terminal's view of code page 437.
#pragma once

#include "console/code_page_437.h"

namespace vistamere::term {
using vistamere::AppendUtf8;
using vistamere::Cp437ToUnicode;
using vistamere::UnicodeToCp437;
}  // namespace vistamere::term
