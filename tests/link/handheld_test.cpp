// The emulator's own logic: reassembling messages from writes of any size, the
// conversation's acknowledgements, and what reaches the store.
#include <gtest/gtest.h>

#include <random>

#include "handheld/conversation.h"
#include "handheld/dictionary_store.h"
#include "handheld/message_assembler.h"
#include "link/link_test_data.h"
#include "pack/packed_image.h"
#include "support/test_support.h"

namespace lexora::handheld {
namespace {

std::vector<ChannelMessage> messagesOf(const std::vector<uint8_t>& image) {
  MessageAssembler assembler;
  std::vector<ChannelMessage> out;
  assembler.feed(image, out);
  return out;
}

TEST(MessageAssembler, GivesTheSameMessagesWhateverTheWriteSizes) {
  const PackedDictionary d = test::packedTestDictionary(u"split", 400);
  ASSERT_GE(d.blocks.size(), 2u);
  const std::vector<uint8_t> image = serializePackedImage(d);
  const auto whole = messagesOf(image);
  ASSERT_EQ(whole.size(), 2 + 2 * d.blocks.size());
  std::mt19937 random(7);
  for (size_t maxWrite : {size_t{1}, size_t{2}, size_t{3}, size_t{1024}, size_t{70000}}) {
    MessageAssembler assembler;
    std::vector<ChannelMessage> got;
    for (size_t at = 0; at < image.size();) {
      const size_t n = std::min(image.size() - at, 1 + random() % maxWrite);
      assembler.feed({image.data() + at, n}, got);
      at += n;
    }
    ASSERT_EQ(got.size(), whole.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].type, whole[i].type);
      EXPECT_EQ(got[i].payload, whole[i].payload);
    }
    EXPECT_FALSE(assembler.midMessage());
  }
}

class ConversationTest : public ::testing::Test {
 protected:
  std::vector<std::optional<Acknowledgement>> play(const std::vector<ChannelMessage>& messages) {
    std::vector<std::optional<Acknowledgement>> acks;
    for (const auto& m : messages) acks.push_back(conversation.handle(m));
    return acks;
  }
  static std::vector<uint8_t> types(const std::vector<std::optional<Acknowledgement>>& acks) {
    std::vector<uint8_t> out;
    for (const auto& a : acks) out.push_back(a ? a->type : 0);
    return out;
  }
  size_t storedFiles() {
    std::error_code ec;
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path(), ec)) ++n;
    return n;
  }

  test::TempDir dir;
  DictionaryStore store{dir.path()};
  Conversation conversation{store, [](const std::string&) {}};
};

TEST_F(ConversationTest, StoresTheConversationsBytesAtItsEndFlag) {
  const PackedDictionary d = test::packedTestDictionary(u"whole", 400);
  const auto image = serializePackedImage(d);
  const auto acks = play(messagesOf(image));
  // Name, then per block nothing for the key and 100 for the record, then the end flag.
  std::vector<uint8_t> expected{100};
  for (size_t i = 0; i < d.blocks.size(); ++i) expected.insert(expected.end(), {0, 100});
  expected.push_back(100);
  EXPECT_EQ(types(acks), expected);
  const std::string stored = test::readFile(dir / "whole.lxp");
  EXPECT_EQ(stored, std::string(image.begin(), image.end()));
}

TEST_F(ConversationTest, ADamagedBlockIsRefusedAndItsDictionaryNeverStored) {
  PackedDictionary d = test::packedTestDictionary(u"bad", 400);
  d.blocks[1].packedBytes.back() ^= 0xFF;  // breaks the zlib stream's check value
  const auto acks = play(messagesOf(serializePackedImage(d)));
  EXPECT_EQ(acks[4]->type, kRefusal);
  EXPECT_FALSE(acks[4]->text.empty());
  EXPECT_EQ(acks.back()->type, 100);  // the PC already knows; the end flag itself is fine
  EXPECT_EQ(storedFiles(), 0u);
}

TEST_F(ConversationTest, MessagesOutOfOrderAreRefused) {
  const std::vector<uint8_t> key{1, 'a'};
  // A record or an end flag without a name.
  auto acks = play({{3, {1}}, {4, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{kRefusal, kRefusal}));
  // A record without its key; a key without its record (told at the end flag).
  acks = play({{1, {'x'}}, {3, {1}}, {4, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{100, kRefusal, 100}));
  acks = play({{1, {'y'}}, {2, key}, {4, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{100, 0, kRefusal}));
  // A name that is not UTF-8.
  acks = play({{1, {0xFF, 0xFE}}});
  EXPECT_EQ(types(acks), std::vector<uint8_t>{kRefusal});
  EXPECT_EQ(storedFiles(), 0u);
}

TEST_F(ConversationTest, ADictionaryCutOffBeforeItsEndFlagIsDropped) {
  const auto messages = messagesOf(serializePackedImage(test::packedTestDictionary(u"cut", 400)));
  play({messages.begin(), messages.end() - 1});
  conversation.abandon();
  // A stop after the name: the next dictionary simply begins.
  play({messages[0]});
  play(messages);
  EXPECT_EQ(storedFiles(), 1u);
}

TEST(DictionaryStore, LookupMatchesAsciiLettersWithoutRegardToCase) {
  const PackedDictionary d = test::packedTestDictionary(u"look", 400);
  std::string error;
  auto text = lookupWord(d, "WORD123", error);
  ASSERT_TRUE(text) << error;
  EXPECT_EQ(*text, "the explanation of Word123, number 861");
  EXPECT_FALSE(lookupWord(d, "word400", error));
}

}  // namespace
}  // namespace lexora::handheld
