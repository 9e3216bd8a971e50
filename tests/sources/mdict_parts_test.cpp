// The pieces of the MDict reader that stand on their own: the hash and cipher of the
// key-block info, the header's attributes, and what a record's text gives.
#include <gtest/gtest.h>

#include <string>

#include "sources/mdict_cipher.h"
#include "sources/mdict_header.h"
#include "sources/mdict_text.h"
#include "sources/ripemd128.h"

namespace lexora {
namespace {

using namespace std::string_literals;

std::string hex(const Ripemd128Digest& digest) {
  std::string text;
  for (uint8_t byte : digest) {
    text.push_back("0123456789abcdef"[byte >> 4]);
    text.push_back("0123456789abcdef"[byte & 15]);
  }
  return text;
}

// The published test vectors, which between them cross every padding case: a tail that
// fits the last block with its length, and ones that need a block more (62, 80 bytes).
TEST(Ripemd128Test, GivesThePublishedDigests) {
  EXPECT_EQ(hex(ripemd128("")), "cdf26213a150dc3ecb610f18f6b38b46");
  EXPECT_EQ(hex(ripemd128("a")), "86be7afa339d0fc7cfc785e72f578d33");
  EXPECT_EQ(hex(ripemd128("abc")), "c14a12199c66e4ba84636b0f69144c77");
  EXPECT_EQ(hex(ripemd128("message digest")), "9e327b3d6e523062afc1132d7df9d1b8");
  EXPECT_EQ(hex(ripemd128("abcdefghijklmnopqrstuvwxyz")), "fd2aa607f71dc8f510714922b371834e");
  EXPECT_EQ(hex(ripemd128("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")),
            "d1e959eb179c911faea4624c60c5c702");
  std::string eighty;
  for (int i = 0; i < 8; ++i) eighty += "1234567890";
  EXPECT_EQ(hex(ripemd128(eighty)), "3f45ef194732c2dbb2c4a2c769795fa3");
  EXPECT_EQ(hex(ripemd128(std::string(1000000, 'a'))), "4a7f5723f954eba1216c9d8f6320431f");
}

// The writers' scrambling: each byte's nibbles swapped after XOR with the byte before it
// (as stored), its position and the key.
std::string encipher(std::string block) {
  std::string seed = block.substr(4, 4) + "\x95\x36\x00\x00"s;
  const Ripemd128Digest key = ripemd128(seed);
  uint8_t previous = 0x36;
  for (size_t i = 8; i < block.size(); ++i) {
    const size_t at = i - 8;
    const auto t = static_cast<uint8_t>(static_cast<uint8_t>(block[i]) ^ previous ^
                                        static_cast<uint8_t>(at) ^ key[at % 16]);
    previous = static_cast<uint8_t>(t >> 4 | t << 4);
    block[i] = static_cast<char>(previous);
  }
  return block;
}

TEST(MdictCipherTest, UndoesTheWritersScrambling) {
  const std::string plain = "\x02\x00\x00\x00\x12\x34\x56\x78key block info"s;
  // Computed apart from this code, from the format's description.
  const std::string known =
      "\x02\x00\x00\x00\x12\x34\x56\x78"
      "\x25\x08\x74\x01\x47\xa2\x8d\xde\x59\x4c\x6c\x30\x98\x3e"s;
  std::string block = known;
  decipherMdictKeyInfo(block);
  EXPECT_EQ(block, plain);

  // Longer than the key, with every byte value, and the head left as it is.
  std::string text = "\x02\x00\x00\x00\xde\xad\xbe\xef"s;
  for (int i = 0; i < 600; ++i) text.push_back(static_cast<char>(i * 7));
  block = encipher(text);
  EXPECT_EQ(block.substr(0, 8), text.substr(0, 8));
  decipherMdictKeyInfo(block);
  EXPECT_EQ(block, text);
}

TEST(MdictHeaderTest, ReadsTheAttributesTheReaderUses) {
  const std::optional<MdictHeader> header = parseMdictHeader(
      "<Dictionary GeneratedByEngineVersion=\"2.0\" RequiredEngineVersion=\"2.0\" "
      "Format=\"Text\" KeyCaseSensitive=\"Yes\" StripKey = 'Yes' Encrypted=\"2\" "
      "Encoding=\"GBK\" Description=\"<b>raw & unescaped</b>\" "
      "Title=\"Tom &amp; Jerry&#x4E2D;\"/>\r\n\0junk"s);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->version, "2.0");
  EXPECT_EQ(header->majorVersion, 2);
  EXPECT_EQ(header->encoding, "GBK");
  EXPECT_EQ(header->encrypted, 2);
  EXPECT_EQ(header->title, "Tom & Jerry\xe4\xb8\xad");
  EXPECT_FALSE(header->html);
  EXPECT_TRUE(header->keyCaseSensitive);
  EXPECT_TRUE(header->stripKey);

  const std::optional<MdictHeader> defaults =
      parseMdictHeader("<Library_Data GeneratedByEngineVersion=\"1.2\" Encrypted=\"Yes\"/>");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->majorVersion, 1);
  EXPECT_EQ(defaults->encrypted, 1);
  EXPECT_TRUE(defaults->html);
  EXPECT_TRUE(defaults->encoding.empty());

  EXPECT_FALSE(parseMdictHeader("<Dictionary Title=\"no version\"/>"));
  EXPECT_FALSE(parseMdictHeader("not xml at all"));
  EXPECT_FALSE(parseMdictHeader("<Dictionary GeneratedByEngineVersion=\"2.0"));

  EXPECT_EQ(meaningfulMdictTitle(" Title (No HTML code allowed) "), "");
  EXPECT_EQ(meaningfulMdictTitle(" Oxford "), "Oxford");
}

TEST(MdictTextTest, EndsTextsAtAWholeZeroUnit) {
  const std::optional<MdictTextDecoder> utf16 = MdictTextDecoder::forEncoding("UTF-16");
  ASSERT_TRUE(utf16);
  // "A" then U+4E00: a zero byte ends one unit and starts the next, which ends nothing.
  const std::string bytes = "A\x00\x00\x4e\x00\x00rest"s;
  const std::string_view text = utf16->untilTerminator(bytes);
  EXPECT_EQ(text.size(), 4u);
  std::string out;
  utf16->append(out, text);
  EXPECT_EQ(out, "A\xe4\xb8\x80");
  // A lone surrogate cannot go into a key.
  out.clear();
  utf16->append(out, "\x00\xd8x\x00"s);
  EXPECT_EQ(out, "\xef\xbf\xbdx");

  const std::optional<MdictTextDecoder> gbk = MdictTextDecoder::forEncoding("GB2312");
  ASSERT_TRUE(gbk);
  out.clear();
  gbk->append(out, gbk->untilTerminator("\xb4\xca\x00\xb5\xe4"s));
  EXPECT_EQ(out, "\xe8\xaf\x8d");  // 词
  EXPECT_FALSE(MdictTextDecoder::forEncoding("no-such-encoding"));
}

TEST(MdictTextTest, TellsLinksAndExplanations) {
  EXPECT_EQ(mdictLinkTarget("@@@LINK=apple\r\n"), "apple");
  EXPECT_EQ(mdictLinkTarget(" @@@LINK= big apple \r\nsecond line"), "big apple");
  EXPECT_FALSE(mdictLinkTarget("see @@@LINK=apple"));

  std::string out;
  appendMdictExplanation(" one\ttwo\r\nthree\rfour\n ", false, out);
  EXPECT_EQ(out, "one two\nthree\nfour");
  out.clear();
  appendMdictExplanation(
      "<style>p{}</style><p>a <a href=\"sound://x.mp3\">play</a><img src=\"y.png\"></p>"
      "<script>f()</script><p><a href=\"entry://b\">b</a></p>",
      true, out);
  EXPECT_EQ(out, "a play\nb");
}

}  // namespace
}  // namespace lexora
