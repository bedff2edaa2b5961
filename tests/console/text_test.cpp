// Text operations and the number text.
#include "console/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tests/console/console_test_support.h"

namespace vistamere {
namespace {

using console_test::Bytes;

struct TextCase {
  const char* name;
  Text input;
  Text expected;
};

TEST(UpperCaseTest, ChangesAsciiLettersAndTheSevenCodePageLetters) {
  const TextCase cases[] = {
      {"ascii lower", "bmp", "BMP"},
      {"single", "q", "Q"},
      {"mixed and non-letters", "aZ09 .-_{}`~@[", "AZ09 .-_{}`~@["},
      {"letter edges", "az`{", "AZ`{"},
      {"empty", "", ""},
      {"a diaeresis", Bytes({0x84}), Bytes({0x8E})},
      {"o diaeresis", Bytes({0x94}), Bytes({0x99})},
      {"u diaeresis", Bytes({0x81}), Bytes({0x9A})},
      {"e acute", Bytes({0x82}), Bytes({0x90})},
      {"n tilde", Bytes({0xA4}), Bytes({0xA5})},
      {"a ring", Bytes({0x86}), Bytes({0x8F})},
      {"c cedilla", Bytes({0x87}), Bytes({0x80})},
      // Upper-case letters and other accented letters stay as they are.
      {"already upper", Bytes({0x8E, 0x99, 0x9A, 0x90, 0xA5, 0x8F, 0x80}),
       Bytes({0x8E, 0x99, 0x9A, 0x90, 0xA5, 0x8F, 0x80})},
      {"sigma and others unchanged", Bytes({0xE4, 0x83, 0x85, 0xA0, 0xFF}),
       Bytes({0xE4, 0x83, 0x85, 0xA0, 0xFF})},
      {"zero byte kept", Bytes({'a', 0x00, 'b'}), Bytes({'A', 0x00, 'B'})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Text input = c.input;
    EXPECT_EQ(UpperCase(input), c.expected);
    EXPECT_EQ(input, c.input);  // the argument is not changed
  }
}

TEST(UpperCaseTest, EveryOtherByteIsUnchanged) {
  for (int b = 0; b < 256; ++b) {
    const bool changes = (b >= 'a' && b <= 'z') || b == 0x84 || b == 0x94 || b == 0x81 ||
                         b == 0x82 || b == 0xA4 || b == 0x86 || b == 0x87;
    if (changes) continue;
    EXPECT_EQ(UpperCase(Bytes({b})), Bytes({b})) << "byte " << b;
  }
}

TEST(TrimRightTest, RemovesTrailingSpacesOnly) {
  const TextCase cases[] = {
      {"three spaces", "pic.bmp   ", "pic.bmp"},
      {"tab stops it", "pic.bmp\t", "pic.bmp\t"},
      {"spaces before tab stay", "pic.bmp \t", "pic.bmp \t"},
      {"spaces after tab go", "pic.bmp\t  ", "pic.bmp\t"},
      {"leading spaces stay", "  a b  ", "  a b"},
      {"spaces only", "   ", ""},
      {"empty", "", ""},
      {"nothing to trim", "abc", "abc"},
      {"zero byte stops it", Bytes({'a', 0x00, ' '}), Bytes({'a', 0x00})},
      {"non-breaking space 0xFF is no space", Bytes({'a', 0xFF}), Bytes({'a', 0xFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TrimRight(c.input), c.expected);
  }
}

TEST(RightCharsTest, TakesTheLastBytes) {
  struct Case {
    Text text;
    std::int32_t count;
    Text expected;
  };
  const Case cases[] = {
      {"pic.bmp", 3, "bmp"},
      {"pic.bmp", 1, "p"},
      {"pic.bmp", 7, "pic.bmp"},
      {"ab", 3, "ab"},
      {"ab", 0, ""},
      {"", 0, ""},
      {"", 3, ""},
      {"ab", -1, "ab"},
      {"abc", std::numeric_limits<std::int32_t>::min(), "abc"},
      {"abc", std::numeric_limits<std::int32_t>::max(), "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + std::to_string(c.count));
    EXPECT_EQ(RightChars(c.text, c.count), c.expected);
  }
}

TEST(TextOperationsTest, LengthConcatAndEquality) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength(Bytes({0x00, 'a', 0x00})), 3);
  EXPECT_EQ(TextLength(std::string(10000, 'x')), 10000);

  EXPECT_EQ(Concat(" Bad Hole:", " 3"), " Bad Hole: 3");
  EXPECT_EQ(Concat("", "b"), "b");
  EXPECT_EQ(Concat("a", ""), "a");
  EXPECT_EQ(Concat("", ""), "");
  EXPECT_EQ(Concat(Bytes({'a', 0x00}), Bytes({0x00, 'b'})), Bytes({'a', 0x00, 0x00, 'b'}));

  struct Case {
    Text a;
    Text b;
    bool equal;
  };
  const Case cases[] = {
      {"N", "n", false},
      {"Q", "Q", true},
      {"", "", true},
      {"a", "", false},
      {"", "a", false},
      {"a ", "a", false},
      {"ab", "ba", false},
      {Bytes({0x00}), "", false},
      {Bytes({0x00, 0x48}), Bytes({0x00, 0x48}), true},
      {Bytes({0x00, 0x48}), Bytes({0x00, 0x50}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.a + "' vs '" + c.b + "'");
    EXPECT_EQ(TextEquals(c.a, c.b), c.equal);
  }
}

TEST(NumberToTextTest, SignCharacterThenDigits) {
  struct Case {
    std::int64_t value;
    Text expected;
  };
  const Case cases[] = {
      {-80, "-80"},
      {0, " 0"},
      {50, " 50"},
      {7, " 7"},
      {3, " 3"},
      {-1, "-1"},
      {10, " 10"},
      {100, " 100"},
      {2147483647, " 2147483647"},
      {-2147483648LL, "-2147483648"},
      {999999999999999LL, " 999999999999999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(NumberToText(c.value), c.expected);
  }
  EXPECT_EQ(Concat(Concat(" Bad Hole:", NumberToText(3)), " "), " Bad Hole: 3 ");
}

}  // namespace
}  // namespace vistamere
