// Built where LZO is (liblzo2); the other builds report LZO blocks unsupported.
#include <gtest/gtest.h>

#include <string>

#include "sources/mdict_block.h"

namespace lexora {
namespace {

using namespace std::string_literals;

// "abcab" repeated to 300 bytes, as liblzo2's LZO1X-1 packs it: literals, then matches.
const std::string kPacked =
    "\x02\x61\x62\x63\x61\x62\x20\xf3\x10\x00\x00\x01\x62\x63\x61\x62\x61\x62\x63\x61\x62\x61"
    "\x62\x63\x61\x62\x61\x62\x63\x61\x62\x11\x00\x00"s;

std::string expected() {
  std::string text;
  for (int i = 0; i < 300; ++i) text.push_back("abcab"[i % 5]);
  return text;
}

std::string block(std::string_view sum) {
  return "\x01\x00\x00\x00"s + std::string(sum) + kPacked;
}

TEST(MdictLzoBlockTest, UnpacksToExactlyTheDeclaredSize) {
  // Adler-32 of the 300 bytes, big-endian.
  const std::string sum = "\x65\x93\x72\x9d"s;
  std::string out;
  ASSERT_EQ(decodeMdictBlock(block(sum), 300, out), MdictBlockOutcome::ok);
  EXPECT_EQ(out, expected());
  EXPECT_EQ(decodeMdictBlock(block("\x00\x00\x00\x00"s), 300, out), MdictBlockOutcome::badChecksum);
  // More output than declared is never written; less is no block either. A stream that
  // breaks off is damaged rather than of another size.
  EXPECT_EQ(decodeMdictBlock(block(sum), 299, out), MdictBlockOutcome::wrongSize);
  EXPECT_EQ(decodeMdictBlock(block(sum), 301, out), MdictBlockOutcome::wrongSize);
  EXPECT_EQ(decodeMdictBlock(block(sum).substr(0, 20), 300, out), MdictBlockOutcome::damaged);
}

}  // namespace
}  // namespace lexora
