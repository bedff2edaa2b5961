// UTF-8 and the UTF-16 of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace vistamere::win32 {

// Malformed UTF-8 becomes U+FFFD, as MultiByteToWideChar makes it.
[[nodiscard]] std::wstring WideOf(std::string_view utf8);
[[nodiscard]] std::string Utf8Of(std::wstring_view wide);

}  // namespace vistamere::win32
