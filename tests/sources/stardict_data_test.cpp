#include "sources/stardict_data.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

// A plain gzip stream (no random-access table) far larger inflated than the memory limit,
// read at descending offsets: each block must come from the one decompression, in memory
// or in the temporary file, never from a fresh decompression from the start.
TEST(StarDictData, GzipBeyondTheMemoryLimitIsInflatedOnce) {
  constexpr size_t kSize = 48u << 20;
  std::string data(kSize, 'z');
  for (size_t at = 0; at < kSize; at += 4096) {  // markers, so that a misplaced read shows
    const std::string mark = "@" + std::to_string(at) + "@";
    data.replace(at, mark.size(), mark);
  }
  test::TempDir dir;
  const auto path = test::writeFile(dir / "big.dict.dz", test::gzipBytes(data));
  auto file = StarDictData::open(path, {.memoryBytes = 1u << 20});
  ASSERT_TRUE(file);

  const auto start = std::chrono::steady_clock::now();
  std::string block;
  for (int i = 1000; i-- > 0;) {
    const uint64_t offset = i * ((kSize - 3000) / 1000);
    ASSERT_TRUE(file->readBlock(offset, 3000, block)) << offset;
    ASSERT_EQ(block, data.substr(static_cast<size_t>(offset), 3000)) << offset;
  }
  // Straddling the memory limit, and running past the end of the data.
  ASSERT_TRUE(file->readBlock((1u << 20) - 10, 20, block));
  EXPECT_EQ(block, data.substr((1u << 20) - 10, 20));
  EXPECT_FALSE(file->readBlock(kSize - 5, 10, block));
  EXPECT_EQ(block, data.substr(kSize - 5));
  // Inflating once takes a fraction of a second; inflating from the start per block, some
  // 24 GB, takes tens of seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(file->problem(), StarDictData::Problem::none);
}

}  // namespace
}  // namespace lexora
