#include "pack/block_packer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "pack/packed_image.h"

namespace lexora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

Bytes inflateAll(const Bytes& stream) {
  Bytes out(1 << 17);
  auto size = static_cast<uLongf>(out.size());  // 32 bits on Windows; test data fits
  EXPECT_EQ(uncompress(out.data(), &size, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
  out.resize(size);
  return out;
}

// Packs with more threads than blocks in most cases, so that the split of the work is
// exercised on any machine.
PackResult pack(LoadedDictionary& d) {
  d.entries.freeze();
  auto result = packDictionary(d, PackOptions{.threads = 4});
  EXPECT_TRUE(result);
  return std::move(*result);
}

// An entry whose data is `headword TAB` and then explanation bytes up to `length` in all.
void addSized(LoadedDictionary& d, const std::string& headword, size_t length, char fill = 'e') {
  std::string data = headword + "\t";
  data.resize(length, fill);
  addEntry(d.entries, std::u16string(headword.begin(), headword.end()), data);
}

// How many entries each block holds, from its key buffer.
std::vector<size_t> entriesPerBlock(const PackedDictionary& p) {
  std::vector<size_t> counts;
  for (const auto& b : p.blocks) {
    size_t n = 0;
    for (size_t k = 0; k < b.keyBytes.size(); k += 1 + b.keyBytes[k]) ++n;
    counts.push_back(n);
  }
  return counts;
}

// Decodes every block as the handheld does; the number of entries, or a test failure.
size_t decodedEntries(const PackedDictionary& p) {
  size_t entries = 0;
  for (const auto& b : p.blocks) {
    std::string error;
    auto decoded = decodeBlock(b, error);
    EXPECT_TRUE(decoded) << error;
    if (decoded) entries += decoded->size();
  }
  return entries;
}

TEST(BlockPacker, EmptyDictionaryHasNoBlocks) {
  LoadedDictionary d;
  d.name = u"empty";
  const PackResult r = pack(d);
  EXPECT_EQ(r.dictionary.name, u"empty");
  EXPECT_TRUE(r.dictionary.blocks.empty());
  EXPECT_EQ(packedSize(r.dictionary), 0);
}

TEST(BlockPacker, OneEntryGivesTheDocumentedBytes) {
  LoadedDictionary d;
  addEntry(d.entries, u"a", "a\tb");
  addEntry(d.entries, u"e", "e\t");
  const PackResult r = pack(d);
  ASSERT_EQ(r.dictionary.blocks.size(), 1u);
  const PackedBlock& b = r.dictionary.blocks[0];
  EXPECT_EQ(b.keyBytes, (Bytes{0x01, 'a', 0x01, 'e'}));
  EXPECT_EQ(inflateAll(b.packedBytes), (Bytes{0x00, 0x01, 'b', 0x00, 0x00}));
  // Level 9, window 15, default strategy: the header bytes say so.
  EXPECT_EQ(b.packedBytes[0], 0x78);
  EXPECT_EQ(b.packedBytes[1], 0xDA);
}

TEST(BlockPacker, MergedRecordKeepsLaterHeadwordsInItsText) {
  LoadedDictionary d;
  addEntry(d.entries, u"apple", "Apple\tfruit");
  addEntry(d.entries, u"apple", "apple\tcompany");
  addEntry(d.entries, u"zoo", "Zoo\tanimals");
  const PackResult r = pack(d);
  ASSERT_EQ(r.dictionary.blocks.size(), 1u);
  EXPECT_EQ(r.dictionary.blocks[0].keyBytes, bytes("\x05"
                                                   "Apple"
                                                   "\x03"
                                                   "Zoo"));
  EXPECT_EQ(inflateAll(r.dictionary.blocks[0].packedBytes),
            bytes(std::string("\x00\x13"
                              "fruit\tapple\tcompany"
                              "\x00\x07"
                              "animals",
                              30)));
}

TEST(BlockPacker, RecordBufferClosesTheBlockOnlyPast3072Bytes) {
  // Record items are 2 + (length - 2) bytes for one-letter headwords.
  for (const auto& [first, blocks] : {std::pair{3072u, 1u}, std::pair{3073u, 2u}}) {
    LoadedDictionary d;
    addSized(d, "a", first);  // item: 2 + first - 2 = first bytes
    addSized(d, "b", 10);
    EXPECT_EQ(pack(d).dictionary.blocks.size(), blocks) << first;
  }
}

TEST(BlockPacker, NextEntryJoinsOnlyWithin65537RecordBytes) {
  for (const auto& [nextLength, blocks] : {std::pair{62537u, 1u}, std::pair{62538u, 2u}}) {
    LoadedDictionary d;
    addSized(d, "a", 3000);  // record buffer: 3,000 bytes
    addSized(d, "b", nextLength);
    EXPECT_EQ(pack(d).dictionary.blocks.size(), blocks) << nextLength;
  }
}

TEST(BlockPacker, OverlongRecordIsCappedAndStandsAlone) {
  LoadedDictionary d;
  addSized(d, "a", 100);
  addSized(d, "b", 70000);
  addSized(d, "c", 100);
  const PackResult r = pack(d);
  EXPECT_EQ(entriesPerBlock(r.dictionary), (std::vector<size_t>{1, 1, 1}));
  EXPECT_EQ(d.entries.find(u"b")->length, 70000) << "the map keeps what was loaded";
  const Bytes records = inflateAll(r.dictionary.blocks[1].packedBytes);
  ASSERT_EQ(records.size(), 2u + 65533u);
  EXPECT_EQ(records[0], 0xFF);
  EXPECT_EQ(records[1], 0xFD);
}

// Readers keep kKeptEntryBytes of an entry: one byte more than a block carries, which the
// closing rule still tells from a record of exactly 65,535 bytes.
TEST(BlockPacker, ARecordCutWhereReadersCutItPacksAsTheWholeRecord) {
  for (const size_t length : {size_t{kKeptEntryBytes}, size_t{200000}}) {
    LoadedDictionary d;
    addSized(d, "a", 2);  // a record item of two bytes: only a 65,535-byte record joins it
    addSized(d, "b", length);
    const PackResult r = pack(d);
    EXPECT_EQ(entriesPerBlock(r.dictionary), (std::vector<size_t>{1, 1})) << length;
    EXPECT_EQ(r.shortenedRecords, 1) << length;
  }
}

TEST(BlockPacker, OverlongRecordsEndOnAWholeCharacterAndAreCountedOnce) {
  LoadedDictionary d;
  std::string e2;
  for (int i = 0; i < 40000; ++i) e2 += "\xC3\xA9";  // é
  addEntry(d.entries, u"a", "a\t" + e2);             // 80,002 bytes: the cap falls inside an é
  addEntry(d.entries, u"b", "b\t" + e2);             // also cut by its reader: still one entry
  addEntry(d.entries, u"c", "c\tshort, but cut by its reader");
  addSized(d, "d", 65535);  // exactly the cap: nothing is lost
  d.shortenedKeys = {"b", "c"};
  const PackResult r = pack(d);
  EXPECT_EQ(r.shortenedRecords, 3);
  EXPECT_EQ(d.entries.find(u"a")->length, 80002) << "the map keeps what was loaded";
  const Bytes records = inflateAll(r.dictionary.blocks[0].packedBytes);
  ASSERT_EQ(records.size(), 2u + 65532u);
  EXPECT_EQ(records[records.size() - 2], 0xC3);
  EXPECT_EQ(records[records.size() - 1], 0xA9);
}

TEST(BlockPacker, SortsByKeyButShowsTheSourceCase) {
  LoadedDictionary d;
  addEntry(d.entries, u"zoo", "Zoo\tanimals");
  addEntry(d.entries, u"apple", "apple\tfruit");
  EXPECT_EQ(pack(d).dictionary.blocks[0].keyBytes, bytes("\x05"
                                                         "apple"
                                                         "\x03"
                                                         "Zoo"));
}

TEST(BlockPacker, PackedSizeIsTheSumOfBothBuffers) {
  PackedDictionary p;
  for (int i = 0; i < 10; ++i) {
    PackedBlock b;
    b.keyBytes.resize(400);
    b.packedBytes.resize(2000);
    p.blocks.push_back(b);
  }
  EXPECT_EQ(packedSize(p), 24000);
}

TEST(BlockPacker, HeadwordsBeyond255BytesAreLeftOutWithoutBreakingThePairing) {
  LoadedDictionary d;
  addSized(d, "a", 10);
  addSized(d, std::string(255, 'm'), 300);  // exactly the limit: kept
  addSized(d, std::string(256, 'n'), 300);  // one byte more: left out
  addSized(d, "z", 10);
  const PackResult r = pack(d);
  EXPECT_EQ(r.droppedLongHeadwords, 1);
  EXPECT_EQ(decodedEntries(r.dictionary), 3u);
}

TEST(BlockPacker, KeyBuffersNeverPassAMessageLength) {
  // 1,500 long headwords with empty explanations would make one 385,000-byte key buffer.
  LoadedDictionary d;
  for (int i = 0; i < 1500; ++i) {
    std::string h = std::to_string(1000 + i) + std::string(251, 'k');
    addEntry(d.entries, std::u16string(h.begin(), h.end()), h + "\t");
  }
  const PackResult r = pack(d);
  size_t entries = 0;
  for (const auto& b : r.dictionary.blocks) {
    EXPECT_LE(b.keyBytes.size(), 65535u);
    entries += entriesPerBlock({u"", {b}, {}})[0];
  }
  EXPECT_EQ(entries, 1500u);
}

TEST(BlockPacker, IncompressibleBlocksAreSplitToFitAMessage) {
  std::mt19937 random(1);
  auto noise = [&](size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
  };
  LoadedDictionary d;
  // Two entries that share a block (3,000 + 62,537 record bytes) of random bytes, and one
  // lone record of 65,533 random bytes: deflate makes each stream longer than its input.
  addEntry(d.entries, u"a", "a\t" + noise(2998));
  addEntry(d.entries, u"b", "b\t" + noise(62535));
  addEntry(d.entries, u"c", "c\t" + noise(70000));
  const PackResult r = pack(d);
  for (const auto& b : r.dictionary.blocks) EXPECT_LE(b.packedBytes.size(), 65535u);
  EXPECT_EQ(r.shortenedRecords, 1);
  EXPECT_EQ(decodedEntries(r.dictionary), 3u);
}

TEST(BlockPacker, ParallelCompressionMatchesCompressingEachBlockAlone) {
  LoadedDictionary d;
  std::mt19937 random(3);
  for (int i = 0; i < 20000; ++i) {
    const std::string h = "w" + std::to_string(random() % 50000);
    addEntry(d.entries, std::u16string(h.begin(), h.end()),
             h + "\t" + std::string(random() % 300, static_cast<char>('a' + i % 26)) +
                 std::to_string(i));
  }
  const PackResult r = pack(d);
  ASSERT_GT(r.dictionary.blocks.size(), 100u);
  for (const auto& b : r.dictionary.blocks) {
    const Bytes records = inflateAll(b.packedBytes);
    // Re-compress one block on its own with the same settings: the bytes must agree.
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes again(2 * records.size() + 64);
    z.next_in = const_cast<Bytef*>(records.data());
    z.avail_in = static_cast<uInt>(records.size());
    z.next_out = again.data();
    z.avail_out = static_cast<uInt>(again.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    again.resize(z.total_out);
    deflateEnd(&z);
    ASSERT_EQ(again, b.packedBytes);
  }
}

// A dictionary whose data wait in a scratch file packs to the very image it packs to from
// memory, whatever runs of it are read back at once: repeated headwords merged from pieces
// on disk, long records cut at a character's end, headwords too long to pack.
TEST(BlockPackerTest, DataKeptOnDiskPackTheSameImage) {
  const auto fill = [](LoadedDictionary& d) {
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
      const std::string headword = "w" + std::to_string(random() % 2000);
      addSized(d, headword, 5 + random() % 300, static_cast<char>('a' + i % 26));
    }
    // 65,534 ASCII bytes, then a three-byte character across the 65,535-byte cap.
    std::string longRecord = "long\t" + std::string(65534 - 5, 'x') + "\xE4\xB8\xAD" + "tail";
    addEntry(d.entries, u"long", longRecord);
    addEntry(d.entries, u"long", "long\tmore");
    addSized(d, std::string(300, 'h'), 40);
  };
  LoadedDictionary inMemory;
  fill(inMemory);
  LoadedDictionary onDisk;
  onDisk.entries = EntryMap(0);
  fill(onDisk);
  inMemory.entries.freeze();
  onDisk.entries.freeze();
  // The shortest entries stay in memory whatever the map: a mix of both.
  ASSERT_TRUE(std::ranges::any_of(onDisk.entries.entries(), &EntryMap::Entry::away))
      << "no scratch file could be made";

  const auto expected = packDictionary(inMemory, PackOptions{.threads = 2});
  for (const uint64_t window : {uint64_t{0}, uint64_t{1}, uint64_t{5000}}) {
    SCOPED_TRACE(window);
    const auto actual = packDictionary(onDisk, PackOptions{.threads = 2, .windowBytes = window});
    ASSERT_TRUE(expected && actual);
    EXPECT_TRUE(actual->dictionary.stored);  // packed to disk as well
    EXPECT_EQ(serializePackedImage(actual->dictionary), serializePackedImage(expected->dictionary));
    EXPECT_EQ(actual->shortenedRecords, expected->shortenedRecords);
    EXPECT_EQ(actual->droppedLongHeadwords, expected->droppedLongHeadwords);
  }
}

}  // namespace
}  // namespace lexora
