#include "pack/packed_image.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace lexora {
namespace {

using Bytes = std::vector<uint8_t>;

PackedBlock block(std::string_view keys, std::string_view records) {
  PackedBlock b;
  b.keyBytes.assign(keys.begin(), keys.end());
  b.packedBytes = test::zlibCompress(records);
  return b;
}

TEST(PackedImage, IsExactlyTheConversationBytes) {
  PackedDictionary p;
  p.name = u"\u4e2d";
  PackedBlock b;
  b.keyBytes = {1, 'a'};
  b.packedBytes = {9, 8, 7};
  p.blocks.push_back(b);
  EXPECT_EQ(serializePackedImage(p),
            (Bytes{1, 0, 3, 0xE4, 0xB8, 0xAD, 2, 0, 2, 1, 'a', 3, 0, 3, 9, 8, 7, 4, 0, 0}));
  std::string error;
  const auto back = parsePackedImage(serializePackedImage(p), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->name, p.name);
  ASSERT_EQ(back->blocks.size(), 1u);
  EXPECT_EQ(back->blocks[0].packedBytes, b.packedBytes);
}

TEST(PackedImage, DamagedImagesNameTheOffset) {
  const struct {
    const char* what;
    Bytes image;
    const char* expected;
  } cases[] = {
      {"empty", {}, "offset 0"},
      {"name longer than the file", {1, 0, 9, 'a'}, "offset 0"},
      {"starts with a key", {2, 0, 0, 4, 0, 0}, "offset 0"},
      {"no end flag", {1, 0, 1, 'n'}, "offset 4"},
      {"key without record", {1, 0, 0, 2, 0, 1, 'k', 4, 0, 0}, "offset 7"},
      {"record without key", {1, 0, 0, 3, 0, 0, 4, 0, 0}, "offset 3"},
      {"bytes after the end flag", {1, 0, 0, 4, 0, 0, 0}, "offset 6"},
      {"end flag with payload", {1, 0, 0, 4, 0, 1, 0}, "offset 3"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(parsePackedImage(c.image, error)) << c.what;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
  }
}

TEST(PackedImage, DecodePairsKeyAndRecordItems) {
  std::string error;
  auto entries = decodeBlock(block("\x01"
                                   "a"
                                   "\x02"
                                   "bc",
                                   std::string("\x00\x01x\x00\x00", 5)),
                             error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].headword, "a");
  EXPECT_EQ((*entries)[0].text, "x");
  EXPECT_EQ((*entries)[1].headword, "bc");
  EXPECT_EQ((*entries)[1].text, "");
}

TEST(PackedImage, DecodeRefusesBlocksThatDoNotPairUp) {
  const struct {
    const char* what;
    PackedBlock b;
  } cases[] = {
      {"more keys than records", block("\x01"
                                       "a"
                                       "\x01"
                                       "b",
                                       std::string("\x00\x00", 2))},
      {"more records than keys", block("\x01"
                                       "a",
                                       std::string("\x00\x00\x00\x00", 4))},
      {"key item past the buffer", block("\x05"
                                         "ab",
                                         std::string("\x00\x00", 2))},
      {"empty key item", block(std::string("\x00", 1), std::string("\x00\x00", 2))},
      {"record item past the buffer", block("\x01"
                                            "a",
                                            std::string("\x00\x09xy", 4))},
      {"too large when inflated", block("\x01"
                                        "a",
                                        std::string(70000, '\0'))},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(decodeBlock(c.b, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  PackedBlock garbage;
  garbage.keyBytes = {1, 'a'};
  garbage.packedBytes = {0x78, 0xDA, 0xFF, 0xFF};
  std::string error;
  EXPECT_FALSE(decodeBlock(garbage, error));
  PackedBlock trailing = block(
      "\x01"
      "a",
      std::string("\x00\x00", 2));
  trailing.packedBytes.push_back(0);
  EXPECT_FALSE(decodeBlock(trailing, error));
}

TEST(PackedImage, WritingIsAtomicAndReportsFailure) {
  test::TempDir dir;
  PackedDictionary p;
  p.name = u"d";
  std::string error;
  ASSERT_TRUE(writePackedImage((dir / "d.lxp").string(), p, error)) << error;
  EXPECT_EQ(test::readFile(dir / "d.lxp"), std::string("\x01\x00\x01"
                                                       "d"
                                                       "\x04\x00\x00",
                                                       7));
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_FALSE(writePackedImage((dir / "missing" / "d.lxp").string(), p, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

}  // namespace
}  // namespace lexora
