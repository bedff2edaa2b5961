#include "toollibs/ole_string.h"

#include <cstdlib>
#include <cstring>

namespace vistamere {

char* SysAllocStringByteLen(const char* bytes, std::uint32_t length) {
  auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + length + 1));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &length, sizeof length);
  char* text = block + sizeof(std::uint32_t);
  if (bytes != nullptr) {
    std::memcpy(text, bytes, length);
  } else {
    std::memset(text, 0, length);
  }
  text[length] = '\0';
  return text;
}

void SysFreeString(char* string) {
  if (string != nullptr) std::free(string - sizeof(std::uint32_t));
}

std::uint32_t SysStringByteLen(const char* string) {
  if (string == nullptr) return 0;
  std::uint32_t length = 0;
  std::memcpy(&length, string - sizeof(std::uint32_t), sizeof length);
  return length;
}

}  // namespace vistamere
