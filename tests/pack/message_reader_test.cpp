// Reassembling transfer messages from writes of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "link/link_test_data.h"
#include "pack/packed_image.h"
#include "pack/transfer_message.h"

namespace lexora {
namespace {

// The sender's side follows the same boundaries without keeping the messages.
TEST(MessageReader, GivesTheSameMessagesWhateverTheWriteSizes) {
  const PackedDictionary d = test::packedTestDictionary(u"split", 400);
  ASSERT_GE(d.blocks.size(), 2u);
  const std::vector<uint8_t> image = serializePackedImage(d);
  std::vector<TransferMessage> whole;
  MessageReader().feed(image, whole);
  ASSERT_EQ(whole.size(), 2 + 2 * d.blocks.size());
  std::set<uint64_t> boundaries{image.size()};
  for (const auto& m : whole) boundaries.insert(m.offset);
  std::mt19937 random(7);
  for (size_t maxWrite : {size_t{1}, size_t{2}, size_t{3}, size_t{1024}, size_t{70000}}) {
    MessageReader reader;
    MessageBoundaries followed;
    std::vector<TransferMessage> got;
    std::vector<MessageType> completed;
    for (size_t at = 0; at < image.size();) {
      const size_t n = std::min(image.size() - at, 1 + random() % maxWrite);
      reader.feed({image.data() + at, n}, got);
      followed.feed({image.data() + at, n}, [&](MessageType t) { completed.push_back(t); });
      at += n;
      EXPECT_EQ(reader.midMessage(), !boundaries.contains(at)) << at;
      EXPECT_EQ(completed.size(), got.size()) << at;
    }
    EXPECT_EQ(got, whole);
    for (size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(completed[i], whole[i].type) << i;
    EXPECT_FALSE(reader.endOfInput());
  }
}

}  // namespace
}  // namespace lexora
