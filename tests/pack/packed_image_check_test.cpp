#include "pack/packed_image_check.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace lexora {
namespace {

using Bytes = std::vector<uint8_t>;

// A block of headwords with empty explanations.
PackedBlock block(std::initializer_list<std::string_view> headwords) {
  PackedBlock b;
  std::string records;
  for (std::string_view h : headwords) {
    b.keyBytes.push_back(static_cast<uint8_t>(h.size()));
    b.keyBytes.insert(b.keyBytes.end(), h.begin(), h.end());
    records.append(2, '\0');
  }
  b.packedBytes = test::zlibCompress(records);
  return b;
}

Bytes image(std::string_view name, std::vector<PackedBlock> blocks) {
  Bytes out{1, 0, static_cast<uint8_t>(name.size())};
  out.insert(out.end(), name.begin(), name.end());
  for (const PackedBlock& b : blocks) {
    out.insert(out.end(), {2, 0, static_cast<uint8_t>(b.keyBytes.size())});
    out.insert(out.end(), b.keyBytes.begin(), b.keyBytes.end());
    out.insert(out.end(), {3, 0, static_cast<uint8_t>(b.packedBytes.size())});
    out.insert(out.end(), b.packedBytes.begin(), b.packedBytes.end());
  }
  out.insert(out.end(), {4, 0, 0});
  return out;
}

TEST(PackedImageCheck, AcceptsKeysAscendingAcrossBlocks) {
  std::string error;
  const auto checked = checkPackedImage(image("d", {block({"Apple", "b"}), block({"Zoo"})}), error);
  ASSERT_TRUE(checked) << error;
  EXPECT_EQ(checked->entries, 3u);
  EXPECT_EQ(checked->blocks, 2u);
}

TEST(PackedImageCheck, RefusesKeysOutOfOrderAtTheHeadwordsOffset) {
  const struct {
    const char* what;
    std::vector<PackedBlock> blocks;
    size_t offset;  // of the offending key item's length byte
  } cases[] = {
      // name message 4 bytes, key message header 3, then "\x01" "b" at 7.
      {"within a block", {block({"b", "a"})}, 9},
      {"equal but for case", {block({"a", "A"})}, 9},
      {"across blocks",
       {block({"b"}), block({"a"})},
       4 + 6 + 2 + block({"b"}).packedBytes.size() + 3},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(checkPackedImage(image("d", c.blocks), error)) << c.what;
    EXPECT_NE(error.find("offset " + std::to_string(c.offset) + " "), std::string::npos)
        << c.what << ": " << error;
  }
}

// One checker reads block after block into the same room: a block whose records run short
// must not be paired with what an earlier, longer block left there.
TEST(PackedImageCheck, ABlockIsReadOnlyFromItsOwnRecords) {
  PackedImageChecker checker;
  std::string error;
  ASSERT_TRUE(checker.checkName("d", error));
  ASSERT_TRUE(checker.checkBlock(block({"a", "b", "c"}), error)) << error;
  PackedBlock shortOfRecords = block({"d", "e"});
  shortOfRecords.packedBytes = test::zlibCompress(std::string(2, '\0'));
  EXPECT_FALSE(checker.checkBlock(shortOfRecords, error));
  EXPECT_NE(error.find("block 1 "), std::string::npos) << error;
  EXPECT_TRUE(checker.checkBlock(block({"f"}), error)) << error;
  EXPECT_EQ(checker.entries(), 4u);
}

TEST(PackedImageCheck, RefusesANameThatIsNotUtf8AtTheBadByte) {
  const struct {
    std::string_view name;
    size_t offset;
  } cases[] = {
      {"ab\xFF", 5},
      {"\xED\xA0\x80", 3},      // an encoded surrogate
      {"x\xC0\xAF", 4},         // an overlong '/'
      {"\xE4\xB8\xAD\xE4", 6},  // cut inside a character
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(checkPackedImage(image(c.name, {}), error)) << c.offset;
    EXPECT_NE(error.find("offset " + std::to_string(c.offset)), std::string::npos) << error;
  }
  std::string error;
  EXPECT_TRUE(checkPackedImage(image("\xE4\xB8\xAD\xEF\xBF\xBD", {}), error)) << error;
}

}  // namespace
}  // namespace lexora
