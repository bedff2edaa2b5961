#include "toollibs/file_name.h"

#include <cstdint>

#include "console/code_page_437.h"

namespace vistamere {

std::string Cp437ToUtf8(const std::string& bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  char buffer[4];
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    // Below 0x80 the bytes are ASCII and name the same file either way.
    const char32_t code_point = byte < 0x80 ? byte : Cp437ToUnicode(byte);
    utf8.append(buffer, static_cast<std::size_t>(AppendUtf8(code_point, buffer)));
  }
  return utf8;
}

}  // namespace vistamere
