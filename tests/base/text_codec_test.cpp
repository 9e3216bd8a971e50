#include "base/text_codec.h"

#include <gtest/gtest.h>

#include <random>

#include "base/white_space.h"

namespace lexora {
namespace {

TEST(TextCodec, RoundTripsEveryPlaneIncludingSurrogatePairs) {
  const std::u16string text = u"a\u00e9\u4e2d\U00010000\U0010FFFF\uE000\uFFFD";
  const std::string utf8 = utf16ToUtf8(text);
  EXPECT_EQ(utf8, "a\xC3\xA9\xE4\xB8\xAD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEE\x80\x80\xEF\xBF\xBD");
  EXPECT_EQ(utf8ToUtf16(utf8), text);
}

TEST(TextCodec, InvalidUtf8BecomesOneReplacementPerMaximalSubsequence) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xE4\xBD", u"\uFFFD"},                            // truncated at the end
      {"\xE4\xBDx", u"\uFFFDx"},                          // truncated before ASCII
      {"\xF5\x80", u"\uFFFD\uFFFD"},                      // past U+10FFFF
      {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong four-byte form
      {"\x80z", u"\uFFFDz"},                              // stray continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToUtf16(c.in), c.out) << c.in.size();
}

TEST(TextCodec, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(utf16ToUtf8(std::u16string(1, 0xDC00)), "\xEF\xBF\xBD");
}

TEST(TextCodec, LowerCasingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(asciiLower(u"ZOO \u00c9clair \u0391"), u"zoo \u00c9clair \u0391");
  EXPECT_EQ(asciiLower(std::string("A\xC3\x89Z")), "a\xC3\x89z");
}

TEST(ValidUtf8, MatchesTheUtf16RoundTrip) {
  std::mt19937 random(7);
  const char pieces[][5] = {"a",    "\xC3\xA9",     "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xC3",
                            "\x80", "\xED\xA0\x80", "\xF4\x90",     "\xE0\x80",         "\xFF",
                            "\0"};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    for (auto k = random() % 12; k > 0; --k) bytes += pieces[random() % std::size(pieces)];
    std::string valid;
    appendValidUtf8(valid, bytes);
    ASSERT_EQ(valid, utf16ToUtf8(utf8ToUtf16(bytes))) << round;
  }
}

TEST(WhiteSpace, FollowsTheFixedTable) {
  for (int c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0xA0, 0x1680, 0x2000, 0x200A, 0x2028, 0x2029,
                0x202F, 0x205F, 0x3000}) {
    EXPECT_TRUE(isWhiteSpace(static_cast<char16_t>(c))) << c;
  }
  for (int c : {0x08, 0x0E, 0x1F, 0x85, 0x200B, 0xFEFF, 0x41}) {
    EXPECT_FALSE(isWhiteSpace(static_cast<char16_t>(c))) << c;
  }
}

}  // namespace
}  // namespace lexora
