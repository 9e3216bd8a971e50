#include <gtest/gtest.h>

#include <random>

#include "sources/dictzip_reader.h"
#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::string_literals;
using Result = DictzipReader::Result;

std::string sampleData(size_t size) {
  std::mt19937 random(11);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>('a' + random() % 26);
  return data;
}

std::unique_ptr<DictzipReader> open(std::string bytes,
                                    uint64_t keptInMemoryBytes = uint64_t{256} << 20) {
  return DictzipReader::open(std::make_unique<MemoryInput>(std::move(bytes)), keptInMemoryBytes);
}

// The files in tests/data/dictzip were made by Debian's dictzip (make_fixtures.py there).
std::string fixture(const std::string& name) {
  return test::readFile(std::string(LEXORA_SOURCE_DIR) + "/tests/data/dictzip/" + name);
}

// Bytes of a dictzip file with `tail` put between the last chunk and the trailer.
std::string withTail(const std::string& bytes, const std::string& tail) {
  return bytes.substr(0, bytes.size() - 8) + tail + bytes.substr(bytes.size() - 8);
}

TEST(Dictzip, ReadsBlocksAcrossChunksInAnyOrder) {
  const std::string data = sampleData(5000);
  auto reader = open(test::dictzipBytes(data, 100));
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->size(), 5000u);
  std::mt19937 random(3);
  std::string block;
  // Scattered reads: many more than the few chunks kept at first, so the reader also
  // switches to keeping every chunk part-way through.
  for (int i = 0; i < 2000; ++i) {
    const uint64_t offset = random() % 5000;
    const auto size = static_cast<uint32_t>(random() % 700);
    ASSERT_EQ(reader->read(offset, size, block), Result::whole);
    ASSERT_EQ(block, data.substr(static_cast<size_t>(offset), size)) << offset << " " << size;
  }
}

TEST(Dictzip, FilesMadeByTheDictzipToolAreReadByChunk) {
  // dictzip ends the stream with an empty final block after the last chunk.
  for (const char* name : {"inorder.dict.dz", "shuffled.dict.dz"}) {
    SCOPED_TRACE(name);
    const std::string bytes = fixture(name);
    const std::string data = test::gunzipBytes(bytes);
    ASSERT_GT(data.size(), 2 * 58315u);  // three chunks
    auto reader = open(bytes);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), data.size());
    std::mt19937 random(5);
    std::string block;
    for (int i = 0; i < 200; ++i) {
      const uint64_t offset = random() % data.size();
      const auto size = static_cast<uint32_t>(random() % 70000);
      ASSERT_EQ(reader->read(offset, size, block), Result::whole);
      ASSERT_EQ(block, data.substr(static_cast<size_t>(offset), size)) << offset << " " << size;
    }
  }
}

TEST(Dictzip, BlocksBeyondTheEndGiveOnlyTheBytesThatExist) {
  const std::string data = sampleData(250);
  auto reader = open(test::dictzipBytes(data, 100));
  ASSERT_TRUE(reader);
  std::string block = "stale";
  ASSERT_EQ(reader->read(240, 100, block), Result::whole);
  EXPECT_EQ(block, data.substr(240));
  ASSERT_EQ(reader->read(250, 1, block), Result::whole);
  EXPECT_EQ(block, "");
  ASSERT_EQ(reader->read(~uint64_t{0}, ~uint32_t{0}, block), Result::whole);
  EXPECT_EQ(block, "");
}

TEST(Dictzip, UnsoundTablesAreRefused) {
  const std::string good = test::dictzipBytes(sampleData(1000), 100);
  ASSERT_TRUE(open(good));
  auto patched = [&](size_t at, char value) {
    std::string bytes = good;
    bytes[at] = value;
    return bytes;
  };
  EXPECT_FALSE(open(patched(16, 2)));                   // version
  EXPECT_FALSE(open(patched(18, 0)));                   // chunk length 100 -> 0
  EXPECT_FALSE(open(patched(20, 9)));                   // chunk count 10 -> 9
  EXPECT_FALSE(open(patched(22, 1)));                   // first chunk's size
  EXPECT_FALSE(open(patched(3, 0)));                    // no extra field
  EXPECT_FALSE(open(patched(10, '\x7F')));              // extra field longer than the header
  EXPECT_FALSE(open(good.substr(0, good.size() - 1)));  // truncated
  EXPECT_FALSE(open(good + "x"));                       // trailing bytes
  EXPECT_FALSE(open(test::gzipBytes("plain gzip")));
  EXPECT_FALSE(open(""));

  // A tail after the chunks must end the stream and give no data.
  const std::string made = fixture("inorder.dict.dz");
  ASSERT_TRUE(open(made));
  ASSERT_EQ(made.substr(made.size() - 10, 2), "\x03\x00"s);
  const std::string bare = made.substr(0, made.size() - 10) + made.substr(made.size() - 8);
  EXPECT_FALSE(open(withTail(bare, "\xab\x00\x00"s)));      // a final block holding "x"
  EXPECT_FALSE(open(withTail(bare, "\x00\x00\xff\xff"s)));  // does not end the stream
  EXPECT_FALSE(open(withTail(made, "\x03\x00"s)));          // bytes after the end
  EXPECT_FALSE(open(withTail(good, std::string(100, '\0'))));
  // The last chunk already ends the stream, so the tail is not part of it: the first read
  // of that chunk shows the table false.
  auto reader = open(withTail(good, "\x03\x00"s));
  ASSERT_TRUE(reader);
  std::string block;
  EXPECT_EQ(reader->read(990, 10, block), Result::falseTable);
}

TEST(Dictzip, ADamagedChunkCostsOnlyTheBlocksInIt) {
  const std::string data = sampleData(1000);
  std::string bytes = test::dictzipBytes(data, 100);
  // Chunk 1 spoiled; every chunk starts at a full flush, so chunks 2 to 9 inflate on their own.
  const size_t secondChunk =
      22 + 2 * 10 +
      (static_cast<unsigned char>(bytes[22]) | static_cast<unsigned char>(bytes[23]) << 8);
  for (size_t i = 0; i < 6; ++i) bytes[secondChunk + i] = 0;
  auto reader = open(bytes);
  ASSERT_TRUE(reader);
  std::string block;
  // Met first, before any chunk was seen whole: still damage, not a false table.
  EXPECT_EQ(reader->read(50, 100, block), Result::damagedChunk);
  EXPECT_EQ(block, data.substr(50, 50)) << "the bytes before the damaged chunk stay";
  EXPECT_EQ(reader->read(0, 100, block), Result::whole);
  EXPECT_EQ(block, data.substr(0, 100));
  EXPECT_EQ(reader->read(200, 800, block), Result::whole);
  EXPECT_EQ(block, data.substr(200));
  // Asked again with every cache place taken: still damaged, never another chunk's bytes.
  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ(reader->read(150, 10, block), Result::damagedChunk);
    EXPECT_EQ(block, "");
  }
}

// Scattered reads of data kept in a scratch file give what they give from memory, damage
// included: the bytes before a damaged chunk, never another chunk's.
TEST(Dictzip, DataKeptOnDiskReadAsFromMemory) {
  const std::string data = sampleData(5000);
  std::string bytes = test::dictzipBytes(data, 100);
  const size_t secondChunk =
      22 + 2 * 50 +
      (static_cast<unsigned char>(bytes[22]) | static_cast<unsigned char>(bytes[23]) << 8);
  for (size_t i = 0; i < 6; ++i) bytes[secondChunk + i] = 0;
  auto inMemory = open(bytes);
  auto onDisk = open(bytes, 0);
  ASSERT_TRUE(inMemory && onDisk);
  std::mt19937 random(5);
  std::string expected, actual;
  for (int i = 0; i < 2000; ++i) {
    const uint64_t offset = random() % 5200;
    const auto size = static_cast<uint32_t>(random() % 700);
    ASSERT_EQ(onDisk->read(offset, size, actual), inMemory->read(offset, size, expected))
        << offset << " " << size;
    ASSERT_EQ(actual, expected) << offset << " " << size;
  }
}

}  // namespace
}  // namespace lexora
