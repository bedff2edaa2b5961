// The EXIF orientation reader: both byte orders, and hostile structures
// that must give 1 without reading outside the data.
#include "picture/exif_orientation.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace vistamere::picture::testing {
namespace {

struct ReadCase {
  const char* label;
  Bytes tiff;
  int expected;
};

Bytes Patched(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes.at(at) = value;
  return bytes;
}

Bytes Cut(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

std::vector<ReadCase> Cases() {
  const Bytes little6 = TiffWithOrientation(6, false);
  const Bytes big8 = TiffWithOrientation(8, true);
  return {
      {"little_endian", little6, 6},
      {"big_endian", big8, 8},
      {"each_value_little", TiffWithOrientation(3, false), 3},
      {"each_value_big", TiffWithOrientation(5, true), 5},
      {"zero_is_invalid", TiffWithOrientation(0, false), 1},
      {"nine_is_invalid", TiffWithOrientation(9, true), 1},
      {"huge_value", TiffWithOrientation(0x0106, true), 1},
      {"long_type", Patched(little6, 12, 4), 6},  // SHORT -> LONG, value bytes 6,0,0,0
      {"unknown_type", Patched(little6, 12, 7), 1},
      {"other_tag", Patched(little6, 10, 0x13), 1},
      {"bad_magic", Patched(little6, 2, 43), 1},
      {"bad_byte_order", Patched(little6, 0, 'X'), 1},
      {"ifd_offset_past_end", Patched(little6, 4, 200), 1},
      {"entry_count_past_end_found_first", Patched(little6, 8, 0xFF), 6},
      {"entry_count_past_end_not_found", Patched(Patched(little6, 8, 0xFF), 10, 0x13), 1},
      {"cut_inside_entry", Cut(little6, 20), 1},
      {"cut_inside_header", Cut(big8, 6), 1},
      {"empty", Bytes{}, 1},
  };
}

TEST(OrientationFromTiffStructure, ReadsOrFallsBackToAsStored) {
  for (const ReadCase& test : Cases()) {
    // A copy of exactly the right size, so a reader overrun shows under ASan.
    const auto copy = std::make_unique<std::uint8_t[]>(test.tiff.size() + 1);
    std::copy(test.tiff.begin(), test.tiff.end(), copy.get());
    EXPECT_EQ(OrientationFromTiffStructure(copy.get(), test.tiff.size()), test.expected)
        << test.label;
  }
}

TEST(OrientationFromExifSegment, NeedsTheExifIdentifier) {
  const Bytes tiff = TiffWithOrientation(7, true);
  Bytes segment = {'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), tiff.begin(), tiff.end());
  EXPECT_EQ(OrientationFromExifSegment(segment.data(), segment.size()), 7);

  Bytes xmp = segment;
  xmp[0] = 'h';  // "http://ns.adobe.com/xap/1.0/" and the like
  EXPECT_EQ(OrientationFromExifSegment(xmp.data(), xmp.size()), 1);
  EXPECT_EQ(OrientationFromExifSegment(segment.data(), 5), 1);
  EXPECT_EQ(OrientationFromExifSegment(nullptr, 0), 1);
}

}  // namespace
}  // namespace vistamere::picture::testing
