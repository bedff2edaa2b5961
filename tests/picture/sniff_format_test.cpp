#include <gtest/gtest.h>

#include <string>

#include "picture/format_sniffer.h"

namespace vistamere::picture {
namespace {

TEST(SniffFormat, TellsFormatsByTheirFirstBytes) {
  struct Case {
    std::string head;
    PictureFormat expected;
  };
  const Case cases[] = {
      {std::string("BM\x36\0\0\0", 6), PictureFormat::kBmp},
      {"\xFF\xD8\xFF\xE0", PictureFormat::kJpeg},
      {"\x89PNG\r\n\x1A\n", PictureFormat::kPng},
      {"GIF87a", PictureFormat::kGif},
      {"GIF89a", PictureFormat::kGif},
      {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), PictureFormat::kWebp},
      {std::string("II*\0", 4), PictureFormat::kTiff},
      {std::string("MM\0*", 4), PictureFormat::kTiff},
      // Near misses.
      {"B", PictureFormat::kUnknown},
      {"\xFF\xD8", PictureFormat::kUnknown},
      {"\x89PNG\r\n", PictureFormat::kUnknown},
      {"GIF88a", PictureFormat::kUnknown},
      {std::string("RIFF\x10\0\0\0WAVE", 12), PictureFormat::kUnknown},
      {std::string("II\0*", 4), PictureFormat::kUnknown},
      {"hello, this is text", PictureFormat::kUnknown},
      {"", PictureFormat::kUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SniffFormat(reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size()),
              c.expected)
        << c.head;
  }
}

}  // namespace
}  // namespace vistamere::picture
