// OLE byte strings: a 32-bit byte length stored just before the first byte
// and a zero byte after the last. The pointer handed out points at the
// first byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistamere {

[[nodiscard]] char* SysAllocStringByteLen(const char* bytes, std::uint32_t length);
void SysFreeString(char* string);
[[nodiscard]] std::uint32_t SysStringByteLen(const char* string);

}  // namespace vistamere
