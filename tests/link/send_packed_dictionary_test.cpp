// The transfer conversation against the in-process service, reached directly and (on
// Windows) through COM: the exact writes, the status
// texts, every failure message with its consequence, and the stop request.
#include "link/send_packed_dictionary.h"

#include <gtest/gtest.h>

#include <chrono>

#include "link/fake/fake_service.h"
#include "link/service_route.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

PackedBlock block(Bytes key, Bytes packed) {
  return {std::move(key), std::move(packed)};
}

PackedDictionary dictionaryOf(std::u16string name, size_t blocks) {
  PackedDictionary d{std::move(name), {}, {}};
  for (size_t i = 0; i < blocks; ++i) {
    d.blocks.push_back(block({1, static_cast<uint8_t>('a' + i)}, {0x78, 0x9C, uint8_t(i)}));
  }
  return d;
}

class SendTest : public ::testing::TestWithParam<test::ServiceRoute> {
 protected:
  void SetUp() override {
    USBLink::resetSendChunkSizeForTesting();
    link = USBLink::create(kChannelName, ui, route.factory(), {200ms, 100ms});
    ASSERT_EQ(link->Open(), 0);
  }
  void TearDown() override {
    link->Close();
    link.reset();
    USBLink::resetSendChunkSizeForTesting();
  }
  bool send(const PackedDictionary& d) { return SendPackedDictionary(*link, d, stop, ui); }
  std::vector<Bytes> writes() const {
    std::vector<Bytes> out;
    for (const auto& w : fake.writes()) out.push_back(w.bytes);
    return out;
  }
  // The index of the first write of the message with this type byte (the n-th such).
  size_t writeIndexOfType(uint8_t type, int nth = 1) const {
    const auto all = writes();
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i] == Bytes{type} && --nth == 0) return i;
    }
    return SIZE_MAX;
  }
  bool endFlagSent() const {
    const auto all = writes();
    return all.size() >= 2 && all[all.size() - 2] == Bytes{4} && all.back() == Bytes({0, 0});
  }

  test::LanguageScope english{UiLanguage::English};
  test::ScriptedUserInterface ui;
  FakeService fake;
  test::RoutedService route{GetParam(), fake.factory()};
  Event stop{Event::Reset::Auto};
  Ref<USBLink> link;
};

TEST_P(SendTest, OneBlockTravelsAsTheDocumentedWrites) {
  PackedDictionary d{u"abc", {block({0x01, 0x61}, {0x78, 0x9C, 0x03, 0x00})}, {}};
  EXPECT_TRUE(send(d));
  EXPECT_EQ(writes(), (std::vector<Bytes>{{1},
                                          {0, 3},
                                          {'a', 'b', 'c'},
                                          {2},
                                          {0, 2},
                                          {0x01, 0x61},
                                          {3},
                                          {0, 4},
                                          {0x78, 0x9C, 0x03, 0x00},
                                          {4},
                                          {0, 0}}));
  EXPECT_EQ(ui.statuses(), (std::vector<std::u16string>{
                               u"Send dictionary's name abc...",
                               u"Send dictionary's name abc...Success",
                               u"Send dictionary's content abc...100%",
                               u"End sending...",
                               u"End sending...Success",
                           }));
  EXPECT_EQ(ui.progress(), std::vector<int>{100});
  EXPECT_TRUE(ui.warnings().empty());
}

TEST_P(SendTest, NamesAreSentAsUtf8WithTheirByteCount) {
  EXPECT_TRUE(send(dictionaryOf(u"", 0)));
  EXPECT_TRUE(send(dictionaryOf(u"词典", 0)));
  EXPECT_EQ(writes(), (std::vector<Bytes>{{1},
                                          {0, 0},
                                          {4},
                                          {0, 0},
                                          {1},
                                          {0, 6},
                                          {0xE8, 0xAF, 0x8D, 0xE5, 0x85, 0xB8},
                                          {4},
                                          {0, 0}}));
  for (const auto& s : ui.statuses()) EXPECT_EQ(s.find(u"content"), std::u16string::npos);
}

TEST_P(SendTest, LongBuffersAreCutIntoChunksAfterTheirHeader) {
  PackedDictionary d{u"x", {block(Bytes(300, 'k'), Bytes(2500, 'p'))}, {}};
  EXPECT_TRUE(send(d));
  const auto all = writes();
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[4], Bytes({0x01, 0x2C}));
  EXPECT_EQ(all[5].size(), 300u);
  EXPECT_EQ(all[7], Bytes({0x09, 0xC4}));
  EXPECT_EQ(all[8].size(), 1024u);
  EXPECT_EQ(all[9].size(), 1024u);
  EXPECT_EQ(all[10].size(), 452u);
}

TEST_P(SendTest, TheContentStatusShowsTheShareDoneOnceTheBlockIsAcknowledged) {
  EXPECT_TRUE(send(dictionaryOf(u"three", 3)));
  EXPECT_EQ(ui.progress(), (std::vector<int>{33, 66, 100}));
  EXPECT_TRUE(send(dictionaryOf(u"seven", 7)));
  EXPECT_EQ(ui.progress(), (std::vector<int>{33, 66, 100, 14, 28, 42, 57, 71, 85, 100}));
  EXPECT_EQ(ui.statuses()[4], u"Send dictionary's content three...100%");
}

TEST_P(SendTest, AcknowledgementsOfType100WithAPayloadAreSuccesses) {
  fake.queueReply(FakeService::ack(100, {'o', 'k'}));
  EXPECT_TRUE(send(dictionaryOf(u"a", 1)));
}

TEST_P(SendTest, ChineseTextsFollowTheInterfaceLanguage) {
  test::LanguageScope chinese(UiLanguage::Chinese);
  fake.queueReply(FakeService::silence());
  EXPECT_FALSE(send(dictionaryOf(u"abc", 1)));
  EXPECT_EQ(ui.statuses(), std::vector<std::u16string>{u"发送词典名abc..."});
  EXPECT_EQ(ui.warnings(), std::vector<std::u16string>{u"接收词典名称响应失败！"});
  EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Warning);
  EXPECT_EQ(ui.messages()[0].buttons, MessageButtons::Ok);
}

// The name's failures end the job and send nothing more.
TEST_P(SendTest, NameFailuresEndTheJobWithoutBlocksOrEndFlag) {
  struct Case {
    FakeService::Reply reply;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {FakeService::silence(), u"Recieve acknowledge of dictionary's name failed!"},
      {FakeService::raw({0x64, 0x00}), u"Recieve acknowledge of dictionary's name failed!"},
      {FakeService::raw({0x64, 0x00, 0x00, 0x00}),
       u"Recieve acknowledge of dictionary's name failed!"},
      {FakeService::failedRead(), u"Recieve acknowledge of dictionary's name failed!"},
      {FakeService::ack(101), u"Handle dictionary's name on BB failed"},
  };
  for (const Case& c : cases) {
    test::ScriptedUserInterface caseUi;
    const size_t before = fake.writes().size();
    fake.queueReply(c.reply);
    EXPECT_FALSE(SendPackedDictionary(*link, dictionaryOf(u"abc", 2), stop, caseUi));
    EXPECT_EQ(caseUi.warnings(), std::vector<std::u16string>{c.message});
    EXPECT_EQ(fake.writes().size() - before, 3u);
  }
}

TEST_P(SendTest, ANameThatCannotBeWrittenEndsTheJob) {
  fake.setWriteFilter([](size_t, auto) { return false; });
  EXPECT_FALSE(send(dictionaryOf(u"abc", 2)));
  EXPECT_EQ(ui.warnings(), std::vector<std::u16string>{u"Send dictionary's name failed!"});
  // Every later transfer in this run stops at its name at once.
  const size_t calls = fake.writes().size();
  EXPECT_FALSE(send(dictionaryOf(u"next", 1)));
  EXPECT_EQ(fake.writes().size(), calls);
}

// A write that fails for good leaves the chunk size at 0, so the end flag fails too.
TEST_P(SendTest, KeyOrRecordWriteFailuresAreFollowedByAFailedEndFlag) {
  for (const uint8_t type : {uint8_t{2}, uint8_t{3}}) {
    USBLink::resetSendChunkSizeForTesting();
    FakeService service;
    test::ScriptedUserInterface caseUi;
    bool failing = false;
    service.setWriteFilter([&](size_t, std::span<const uint8_t> bytes) {
      if (bytes.size() == 1 && bytes[0] == type) failing = true;
      return !failing;
    });
    Ref<USBLink> l = USBLink::create(kChannelName, caseUi, service.factory(), {200ms, 100ms});
    ASSERT_EQ(l->Open(), 0);
    EXPECT_FALSE(SendPackedDictionary(*l, dictionaryOf(u"abc", 3), stop, caseUi));
    const std::u16string first = type == 2 ? u"Send key failed!" : u"Send record failed!";
    EXPECT_EQ(caseUi.warnings(), (std::vector<std::u16string>{first, u"Send end flag failed!"}));
    EXPECT_EQ(caseUi.statuses().back(), u"End sending...");
    l->Close();
  }
}

// A block's acknowledgement failures leave the loop; the end flag still ends the
// conversation, and when it is acknowledged the job goes on.
TEST_P(SendTest, RecordAcknowledgementFailuresStillSendTheEndFlag) {
  struct Case {
    FakeService::Reply reply;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {FakeService::silence(), u"Recieve acknowledge of record failed!"},
      {FakeService::raw({0x64, 0x00, 0x01}), u"Recieve acknowledge of record failed!"},
      {FakeService::failedRead(), u"Recieve acknowledge of record failed!"},
      {FakeService::ack(101), u"Handle record on BB failed!"},
      {FakeService::ack(0), u"Handle record on BB failed!"},
  };
  for (const Case& c : cases) {
    test::ScriptedUserInterface caseUi;
    const size_t before = fake.writes().size();
    fake.queueReply(FakeService::ack());
    fake.queueReply(c.reply);
    EXPECT_TRUE(SendPackedDictionary(*link, dictionaryOf(u"abc", 3), stop, caseUi));
    EXPECT_EQ(caseUi.warnings(), std::vector<std::u16string>{c.message});
    // Name (3 writes), one block (6), end flag (2): the later blocks are not sent.
    EXPECT_EQ(fake.writes().size() - before, 11u);
    EXPECT_TRUE(endFlagSent());
    EXPECT_EQ(caseUi.statuses().back(), u"End sending...Success");
  }
}

TEST_P(SendTest, AChannelClosedAfterARecordFailsTheRecordAndTheEndFlag) {
  fake.queueReply(FakeService::ack());
  fake.queueReply(FakeService::closeChannel());
  EXPECT_FALSE(send(dictionaryOf(u"abc", 2)));
  EXPECT_EQ(ui.warnings(), (std::vector<std::u16string>{u"Recieve acknowledge of record failed!",
                                                        u"Send end flag failed!"}));
}

TEST_P(SendTest, AnEndFlagNotAcknowledgedWith100EndsTheJob) {
  for (auto reply : {FakeService::silence(), FakeService::ack(101)}) {
    test::ScriptedUserInterface caseUi;
    fake.queueReply(FakeService::ack());
    fake.queueReply(FakeService::ack());
    fake.queueReply(reply);
    EXPECT_FALSE(SendPackedDictionary(*link, dictionaryOf(u"abc", 1), stop, caseUi));
    EXPECT_EQ(caseUi.warnings(), std::vector<std::u16string>{u"Send end flag failed!"});
  }
}

TEST_P(SendTest, AStopSeenAfterTheNameEndsTheConversationAtOnce) {
  stop.set();
  EXPECT_FALSE(send(dictionaryOf(u"abc", 2)));
  EXPECT_EQ(writes().size(), 3u);
  EXPECT_TRUE(ui.warnings().empty());
  EXPECT_EQ(ui.statuses().back(), u"Send dictionary's name abc...Success");
  EXPECT_FALSE(stop.wait(0ms));  // the test that saw it cleared it
}

TEST_P(SendTest, AStopDuringABlockFinishesThatBlockThenSendsTheEndFlag) {
  // Stop is pressed while block 2 of 5 is on its way.
  fake.setWriteFilter([&](size_t, std::span<const uint8_t> bytes) {
    if (bytes.size() == 2 && bytes[0] == 1 && bytes[1] == 'b') stop.set();
    return true;
  });
  EXPECT_FALSE(send(dictionaryOf(u"abc", 5)));
  EXPECT_EQ(ui.progress(), (std::vector<int>{20, 40}));
  EXPECT_EQ(writeIndexOfType(2, 3), SIZE_MAX);
  EXPECT_TRUE(endFlagSent());
  EXPECT_EQ(ui.statuses().back(), u"End sending...Success");
  EXPECT_TRUE(ui.warnings().empty());
}

TEST_P(SendTest, ADictionaryThatDoesNotFitTheLengthFieldIsRefusedBeforeSending) {
  PackedDictionary d{std::u16string(70000, u'n'), {}, {}};
  EXPECT_TRUE(send(d));
  EXPECT_EQ(ui.warnings().size(), 1u);
  EXPECT_TRUE(fake.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Services, SendTest, ::testing::ValuesIn(test::serviceRoutes()),
                         test::routeName);

}  // namespace
}  // namespace lexora
