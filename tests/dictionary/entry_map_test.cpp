#include "dictionary/entry_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "base/text_codec.h"

namespace lexora {
namespace {

std::vector<std::string> keysOf(EntryMap& map) {
  map.freeze();
  std::vector<std::string> keys;
  for (const auto& e : map.entries()) keys.emplace_back(e.key());
  return keys;
}

std::string dataOf(const EntryMap::Entry* e) {
  return std::string(e->data(), static_cast<size_t>(e->length));
}

TEST(EntryMap, RepeatedHeadwordsMergeInTheOrderAdded) {
  EntryMap map;
  addEntry(map, u"apple", "Apple\tfruit");
  addEntry(map, u"pear", "pear\tanother fruit");
  addEntry(map, u"apple", "apple\tcompany");
  addEntry(map, u"apple", "APPLE\tthird");
  map.freeze();
  const auto* apple = map.find(u"apple");
  ASSERT_NE(apple, nullptr);
  EXPECT_EQ(apple->length, 37);
  EXPECT_EQ(dataOf(apple), "Apple\tfruit\tapple\tcompany\tAPPLE\tthird");
  EXPECT_EQ(map.size(), 2u);
}

// Freezing ends loading: the records stay as they were, and an entry added afterwards is a
// fault in the caller, which a debug build stops at and any other build ignores.
TEST(EntryMap, AFrozenMapRefusesWrites) {
  EntryMap map;
  addEntry(map, u"pear", "pear\tfruit");
  map.freeze();
  const EntryMap::Entry* pear = map.find(u"pear");
  EXPECT_DEBUG_DEATH(addEntry(map, u"pear", "pear\tlate"), "frozen");
  EXPECT_DEBUG_DEATH(map.addUtf8Key("zoo", "zoo\tlate"), "frozen");
  map.freeze();  // again: nothing changes
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.find(u"pear"), pear);
  EXPECT_EQ(dataOf(pear), "pear\tfruit");
}

TEST(EntryMap, EmptyKeysAreIgnored) {
  EntryMap map;
  addEntry(map, u"", "\tnothing");
  EXPECT_TRUE(map.empty());
  map.freeze();
  EXPECT_EQ(map.size(), 0u);
}

TEST(EntryMap, IteratesInUtf16CodeUnitOrder) {
  EntryMap map;
  for (std::u16string_view k :
       {u"zoo", u"b", u"\u00c9clair", u"ab", u"a", u"\uE000", u"\U00010000"}) {
    addEntry(map, k, "x\ty");
  }
  // U+00C9 sorts after every ASCII letter; a supplementary character (surrogates D800..)
  // sorts before U+E000 although its code point is larger.
  EXPECT_EQ(keysOf(map),
            (std::vector<std::string>{"a", "ab", "b", "zoo", utf16ToUtf8(u"\u00c9clair"),
                                      utf16ToUtf8(u"\U00010000"), utf16ToUtf8(u"\uE000")}));
}

std::string keyBytes(std::u16string_view key) {
  std::string out;
  appendKeyBytes(out, key);
  return out;
}

// The map compares keys in a UTF-8 form; the order must be exactly the UTF-16 code-unit
// order, lone surrogates (which may pair up by chance here) included.
TEST(EntryMap, KeyComparisonAgreesWithUtf16OnRandomText) {
  std::mt19937 random(7);
  // NUL included: short keys that differ only by trailing NULs share their sort prefix.
  const char32_t pool[] = {0,      U'a',   U'b',   U'z',    0x7F,    0x80,     0x7FF,
                           0x800,  0xD7FF, 0xE000, 0xFFFD,  0xFFFF,  0xD800,   0xDBFF,
                           0xDC00, 0xDFFF, 0xD83D, 0x10000, 0x1F600, 0x10FFFF, 0x4E2D};
  auto randomText = [&] {
    std::u16string s;
    const int n = static_cast<int>(random() % 4);
    for (int i = 0; i < n; ++i) {
      char32_t c = pool[random() % std::size(pool)];
      if (c >= 0x10000) {
        c -= 0x10000;
        s.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        s.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      } else {
        s.push_back(static_cast<char16_t>(c));
      }
    }
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::u16string a = randomText(), b = randomText();
    const int expected = a < b ? -1 : (b < a ? 1 : 0);
    const int actual = compareKeys(keyBytes(a), keyBytes(b));
    ASSERT_EQ((actual > 0) - (actual < 0), expected) << keyBytes(a) << " vs " << keyBytes(b);
  }
  // The map's own sort too, which orders by key prefixes first.
  EntryMap map;
  std::set<std::u16string> keys;
  for (int i = 0; i < 5000; ++i) {
    const std::u16string k = randomText() + randomText();
    if (k.empty()) continue;
    keys.insert(k);
    addEntry(map, k, "x\ty");
  }
  std::vector<std::string> expected;
  for (const auto& k : keys) expected.push_back(keyBytes(k));
  EXPECT_EQ(keysOf(map), expected);

  // Keys sharing their first eight bytes, repeated, so that what settles ties on the sort
  // prefix decides: the bytes after it, the sizes, the keys, the order of adding.
  EntryMap shared;
  std::map<std::string, std::string> merged;  // byte order is UTF-16 order for these
  const char16_t tails[] = {0, u'a', u'b', 0xE9, 0xE000};
  for (int i = 0; i < 4000; ++i) {
    std::u16string k = u"abcdefgh";
    for (int n = static_cast<int>(random() % 7); n > 0; --n) k.push_back(tails[random() % 5]);
    const std::string data = std::to_string(i);
    addEntry(shared, k, data);
    std::string& record = merged[keyBytes(k)];
    record += (record.empty() ? "" : "\t") + data;
  }
  shared.freeze();
  std::vector<std::pair<std::string, std::string>> records;
  for (const auto& e : shared.entries()) records.emplace_back(e.key(), dataOf(&e));
  EXPECT_EQ(records,
            (std::vector<std::pair<std::string, std::string>>(merged.begin(), merged.end())));
}

TEST(EntryMap, ManyEntriesStayPutAcrossArenaChunks) {
  EntryMap map;
  const std::string big(3 << 20, 'x');  // larger pieces than one arena chunk leaves free
  for (int i = 0; i < 5; ++i)
    addEntry(map, u"w" + std::u16string(1, static_cast<char16_t>(u'0' + i)), "w\t" + big);
  for (int i = 0; i < 20000; ++i)
    addEntry(map, utf8ToUtf16("k" + std::to_string(i)), "k\t" + std::to_string(i));
  map.freeze();
  EXPECT_EQ(map.size(), 20005u);
  EXPECT_EQ(dataOf(map.find(u"k12345")), "k\t12345");
  EXPECT_EQ(map.find(u"w3")->length, static_cast<int32_t>(big.size() + 2));
}

}  // namespace
}  // namespace lexora
