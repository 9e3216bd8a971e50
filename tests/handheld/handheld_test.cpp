// The emulator's own logic: the conversation's acknowledgements and what reaches the store.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text_codec.h"
#include "handheld/conversation.h"
#include "handheld/dictionary_store.h"
#include "handheld/log_text.h"
#include "handheld/memory_budget.h"
#include "link/link_test_data.h"
#include "pack/packed_image.h"
#include "pack/transfer_message.h"
#include "pack/word_lookup.h"
#include "support/test_support.h"

namespace lexora::handheld {
namespace {

std::vector<TransferMessage> messagesOf(const std::vector<uint8_t>& image) {
  MessageReader reader;
  std::vector<TransferMessage> out;
  reader.feed(image, out);
  return out;
}

constexpr auto kAck = static_cast<uint8_t>(MessageType::Acknowledgement);
constexpr auto kRefusal = static_cast<uint8_t>(MessageType::Refusal);
constexpr auto kName = MessageType::Name;
constexpr auto kKey = MessageType::Key;
constexpr auto kRecord = MessageType::Record;
constexpr auto kEnd = MessageType::End;

class ConversationTest : public ::testing::Test {
 protected:
  std::vector<std::optional<Acknowledgement>> play(const std::vector<TransferMessage>& messages) {
    std::vector<std::optional<Acknowledgement>> acks;
    for (const auto& m : messages) acks.push_back(conversation.handle(m));
    return acks;
  }
  static std::vector<uint8_t> types(const std::vector<std::optional<Acknowledgement>>& acks) {
    std::vector<uint8_t> out;
    for (const auto& a : acks) out.push_back(a ? static_cast<uint8_t>(a->type) : 0);
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
  std::vector<uint8_t> expected{kAck};
  for (size_t i = 0; i < d.blocks.size(); ++i) expected.insert(expected.end(), {0, kAck});
  expected.push_back(kAck);
  EXPECT_EQ(types(acks), expected);
  const std::string stored = test::readFile(dir / "whole.lxp");
  EXPECT_EQ(stored, std::string(image.begin(), image.end()));
}

TEST_F(ConversationTest, ADamagedBlockIsRefusedAndItsDictionaryNeverStored) {
  PackedDictionary d = test::packedTestDictionary(u"bad", 400);
  d.blocks[1].packedBytes.back() ^= 0xFF;  // breaks the zlib stream's check value
  const auto acks = play(messagesOf(serializePackedImage(d)));
  EXPECT_EQ(acks[4]->type, MessageType::Refusal);
  EXPECT_FALSE(acks[4]->text.empty());
  EXPECT_EQ(acks.back()->type,
            MessageType::Acknowledgement);  // the PC already knows; the end flag itself is fine
  EXPECT_EQ(storedFiles(), 0u);
}

TEST_F(ConversationTest, BlocksWhoseKeysDoNotAscendAreRefused) {
  PackedDictionary d = test::packedTestDictionary(u"swapped", 400);
  std::swap(d.blocks[0], d.blocks[1]);
  const auto acks = play(messagesOf(serializePackedImage(d)));
  EXPECT_EQ(acks[2]->type, MessageType::Acknowledgement);
  EXPECT_EQ(acks[4]->type, MessageType::Refusal);
  EXPECT_EQ(storedFiles(), 0u);
}

TEST_F(ConversationTest, MessagesOutOfOrderAreRefused) {
  const std::vector<uint8_t> key{1, 'a'};
  // A record or an end flag without a name.
  auto acks = play({{kRecord, {1}}, {kEnd, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{kRefusal, kRefusal}));
  // A record without its key; a key without its record (told at the end flag).
  acks = play({{kName, {'x'}}, {kRecord, {1}}, {kEnd, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{kAck, kRefusal, kAck}));
  acks = play({{kName, {'y'}}, {kKey, key}, {kEnd, {}}});
  EXPECT_EQ(types(acks), (std::vector<uint8_t>{kAck, 0, kRefusal}));
  // A name that is not UTF-8.
  acks = play({{kName, {0xFF, 0xFE}}});
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

// The budget is shared: what one conversation holds is refused to another, and a
// dictionary stored, dropped or abandoned gives its share back.
TEST(SharedMemoryBudget, RefusesBeyondItAndIsGivenBackWhateverTheEnd) {
  test::TempDir dir;
  DictionaryStore store{dir.path()};
  const auto messages = messagesOf(serializePackedImage(test::packedTestDictionary(u"m", 400)));
  uint64_t blockBytes = 0;
  for (const auto& m : messages) {
    if (m.type == kKey || m.type == kRecord) blockBytes += m.payload.size();
  }
  MemoryBudget budget(blockBytes + 10);
  const auto silent = [](const std::string&) {};
  Conversation first{store, silent, 1ull << 30, &budget};
  Conversation second{store, silent, 1ull << 30, &budget};
  for (size_t i = 0; i + 1 < messages.size(); ++i) first.handle(messages[i]);
  EXPECT_EQ(budget.used(), blockBytes);
  second.handle(messages[0]);
  second.handle(messages[1]);
  EXPECT_EQ(second.handle(messages[2])->type, MessageType::Refusal);
  second.abandon();
  first.abandon();
  EXPECT_EQ(budget.used(), 0u);
  for (const auto& m : messages) second.handle(m);
  EXPECT_TRUE(std::filesystem::exists(dir / "m.lxp"));
  EXPECT_EQ(budget.used(), 0u);
}

// A name longer than a file name can be is stored under a shortened one, and `list` and
// `lookup` still know the dictionary by its own name.
TEST_F(ConversationTest, AnOverLongNameIsStoredAndFoundByItself) {
  std::u16string cjk;
  for (int i = 0; i < 82; ++i) cjk += u'\u8BCD';
  const std::vector<std::u16string> names{std::u16string(300, u'x'), cjk,
                                          std::u16string(250, u'x') + u"y"};
  for (const auto& name : names) {
    const auto acks = play(messagesOf(serializePackedImage(test::packedTestDictionary(name, 50))));
    EXPECT_EQ(acks.back()->type, MessageType::Acknowledgement) << acks.back()->text;
  }
  std::string error;
  const auto entries = store.list(error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), names.size());
  for (const auto& name : names) {
    EXPECT_EQ(std::count_if(entries->begin(), entries->end(),
                            [&](const auto& e) { return e.error.empty() && e.name == name; }),
              1);
    const auto found = store.lookup(utf16ToUtf8(name), {"word7"}, error);
    ASSERT_TRUE(found) << error;
    EXPECT_TRUE((*found)[0].entry);
  }
}

// An entry that cannot be followed (a loop of links) is told as such; the rest are listed.
TEST(DictionaryStore, ListTellsAnEntryItCannotFollowAndListsTheRest) {
  test::TempDir dir;
  DictionaryStore store{dir.path()};
  std::filesystem::path path;
  std::string error;
  ASSERT_TRUE(store.store(test::packedTestDictionary(u"good", 50), path, error)) << error;
  std::filesystem::create_symlink("loop.lxp", dir / "loop.lxp");
  const auto entries = store.list(error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].name, u"good");
  EXPECT_TRUE((*entries)[0].error.empty()) << (*entries)[0].error;
  EXPECT_EQ((*entries)[1].path, dir / "loop.lxp");
  EXPECT_FALSE((*entries)[1].error.empty());
}

TEST(PrintableText, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
  EXPECT_EQ(printableText("a\x1b[2J\nb\x7f\\", 100), "a\\x1B[2J\\x0Ab\\x7F\\\\");
  // Valid UTF-8 stays; a C1 control, a lone continuation byte and a cut sequence do not.
  EXPECT_EQ(printableText("\xe8\xaf\x8d\xc2\x9b\x80\xe8\xaf", 100),
            "\xe8\xaf\x8d\\xC2\\x9B\\x80\\xE8\\xAF");
  EXPECT_LE(printableText(std::string(100000, '\n'), 1000).size(), 1010u);
}

TEST(DictionaryStore, LookupMatchesAsciiLettersWithoutRegardToCase) {
  const PackedDictionary d = test::packedTestDictionary(u"look", 400);
  std::string error;
  ASSERT_GE(d.blocks.size(), 3u);
  // Every word, so that the first and last key of each block are among them.
  for (int i = 0; i < 400; ++i) {
    auto entry = lookupWord(d, "WORD" + std::to_string(i), error);
    ASSERT_TRUE(entry) << i << ": " << error;
    EXPECT_EQ(entry->headword, "Word" + std::to_string(i));
    EXPECT_EQ(entry->text,
              "the explanation of Word" + std::to_string(i) + ", number " + std::to_string(i * 7));
  }
  for (const char* absent : {"word400", "a", "zzz", "word12 ", ""}) {
    EXPECT_FALSE(lookupWord(d, absent, error)) << absent;
    EXPECT_TRUE(error.empty()) << absent;
  }
}

}  // namespace
}  // namespace lexora::handheld
