// File names typed at the console are code page 437 bytes; the file system
// wants UTF-8.
#pragma once

#include <string>

namespace vistamere {

std::string Cp437ToUtf8(const std::string& bytes);

}  // namespace vistamere
