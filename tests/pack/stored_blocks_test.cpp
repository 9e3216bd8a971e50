#include "pack/stored_blocks.h"

#include <gtest/gtest.h>

#include <vector>

#include "pack/packed_dictionary.h"

namespace lexora {
namespace {

PackedBlock blockOf(size_t i) {
  PackedBlock block;
  block.keyBytes.assign(1 + i % 7, static_cast<uint8_t>(i));
  block.packedBytes.assign(40'000 + i * 97 % 25'000, static_cast<uint8_t>(i * 3));
  return block;
}

bool same(const PackedBlock& a, const PackedBlock& b) {
  return a.keyBytes == b.keyBytes && a.packedBytes == b.packedBytes;
}

// Blocks written a megabyte at a time come back whole, each alone and in a pass over all,
// whether they reached the file or still wait in memory.
TEST(StoredBlocksTest, BlocksComeBackAsAddedFromTheFileAndFromMemory) {
  std::unique_ptr<StoredBlocks> store = StoredBlocks::create();
  ASSERT_TRUE(store) << "no scratch file could be made";
  constexpr size_t kCount = 90;  // about 4.5 MB: four writes, the rest still in memory
  for (size_t i = 0; i < kCount; ++i) ASSERT_TRUE(store->add(blockOf(i)));

  const auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    PackedBlock block;
    for (size_t i : {size_t{0}, size_t{41}, kCount - 1}) {
      ASSERT_TRUE(store->read(i, block));
      EXPECT_TRUE(same(block, blockOf(i))) << i;
    }
    StoredBlocks::Cursor cursor(*store);
    size_t i = 0;
    for (; cursor.next(block); ++i) EXPECT_TRUE(same(block, blockOf(i))) << i;
    EXPECT_FALSE(cursor.failed());
    EXPECT_EQ(i, kCount);
  };
  check("some in memory");
  ASSERT_TRUE(store->flush());
  check("all in the file");
}

}  // namespace
}  // namespace lexora
