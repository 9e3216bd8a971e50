// Whole MDict files: the fixtures in tests/data/mdict (made by bench/gen_mdict.py; their
// README says what each holds), and damaged copies of them.
#include "sources/mdict_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"
#include "sources/load_dictionary_file.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using V = std::vector<std::string>;

std::filesystem::path fixture(const std::string& name) {
  return std::string(LEXORA_SOURCE_DIR) + "/tests/data/mdict/" + name;
}

struct Loaded {
  int result;
  std::u16string name;
  V entries;  // each entry's data, in key order
  std::vector<std::u16string> warnings;
};

// `residentBytes` 0 sends every entry's data to the map's scratch file as it is added.
Loaded load(const std::filesystem::path& path, uint64_t residentBytes = EntryMap::kResidentBytes) {
  test::ScriptedUserInterface ui;
  LoadedDictionary dictionary;
  dictionary.entries = EntryMap(residentBytes);
  Loaded loaded;
  loaded.result = loadDictionaryFile(dictionary, path, ui);
  loaded.name = dictionary.name;
  const EntryMap& map = dictionary.entries;
  EntryMap::TextWindow texts;
  EXPECT_TRUE(map.readTexts(0, map.size(), texts));
  for (size_t i = 0; i < map.size(); ++i) loaded.entries.emplace_back(texts.text(i));
  loaded.warnings = ui.warnings();
  return loaded;
}

const V kFruit = {"apple\tapple n. a round fruit.", "banana\ta long yellow fruit",
                  "cherry\tlisten a small red fruit; see apple",
                  "run\tto move fast\trun\ta period of running", "zebra\tan animal with stripes"};

// A build without liblzo2 (Windows without its source) cannot read the fixtures that have
// LZO blocks.
bool hasLzo() {
  return LEXORA_TEST_LZO != 0;
}

TEST(MdictReaderTest, EveryVersionAndBlockTypeGivesTheSameEntries) {
  for (const char* name : {"v2-zlib.mdx", "v2-none.mdx", "v2-mixed-cipher.mdx", "v1-mixed.mdx",
                           "v2-lzo.mdx", "v1-lzo.mdx"}) {
    SCOPED_TRACE(name);
    const bool lzo = std::string_view(name).find("lzo") != std::string_view::npos ||
                     std::string_view(name).find("mixed") != std::string_view::npos;
    if (lzo && !hasLzo()) continue;
    const Loaded loaded = load(fixture(name));
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.name, u"Generated MDict dictionary");
    EXPECT_EQ(loaded.entries, kFruit);
    EXPECT_TRUE(loaded.warnings.empty());
  }
}

TEST(MdictReaderTest, DecodesEveryEncoding) {
  if (!hasLzo()) GTEST_SKIP() << "the GBK and UTF-16 fixtures have LZO blocks";
  EXPECT_EQ(load(fixture("gbk.mdx")).entries,
            (V{"中国\t中国 Zhōngguó：China", "你好\thello; 你好吗？", "学习\tto study, to learn"}));
  EXPECT_EQ(load(fixture("big5.mdx")).entries, (V{"中國\t中國 China", "學習\tto study, to learn"}));
  const Loaded utf16 = load(fixture("utf16.mdx"));
  EXPECT_TRUE(utf16.warnings.empty());
  EXPECT_EQ(utf16.entries,
            (V{"café\tn. a coffee house", "naïve\tinnocent", "日本語\tJapanese (language)",
               "𝄞 clef\tthe G clef, outside the BMP"}));
}

TEST(MdictReaderTest, TextRecordsAndKeysKeepTheirFormAndMerge) {
  const Loaded text = load(fixture("text.mdx"));
  EXPECT_EQ(text.name, u"text");  // an empty title
  EXPECT_EQ(text.entries,
            (V{"line\tfirst line\nsecond line\nthird line",
               "plain\tjust text with <b>no markup</b> & an ampersand", "tab\tbefore after"}));
  // Keys differing only in case are one word on the handheld.
  if (hasLzo()) {
    EXPECT_EQ(load(fixture("case.mdx")).entries,
              V{"POLISH\tin capitals\tPolish\tof Poland\tpolish\tto make shiny"});
  }
  // StripKey orders a dictionary; the headwords stay as written, only trimmed. A key that
  // trims to nothing has no entry, and is no fault of the file's.
  const Loaded stripped = load(fixture("stripkey.mdx"));
  EXPECT_EQ(stripped.entries,
            (V{"it's\tit is", "its\tof it", "New York\ta city", "new-york\ta hyphenated spelling",
               "padded\ta key with spaces around it"}));
  EXPECT_TRUE(stripped.warnings.empty());
}

// Links take their words' text from the map, in memory or on disk.
TEST(MdictReaderTest, LinksTakeTheirWordsExplanationOneLevelDeep) {
  EXPECT_EQ(load(fixture("links.mdx"), 0).entries, load(fixture("links.mdx")).entries);
  const Loaded loaded = load(fixture("links.mdx"));
  EXPECT_EQ(loaded.result, 0);
  EXPECT_EQ(loaded.name, u"links");  // the writer's placeholder title
  EXPECT_EQ(
      loaded.entries,
      (V{"color\tcolor the property of light", "colour\tcolor the property of light",
         "gray\ta colour between black and white", "grey\ta colour between black and white"}));
  // A link to a link, to nothing, in a loop and to itself: one notice for all, naming the file.
  ASSERT_EQ(loaded.warnings.size(), 1u);
  EXPECT_NE(loaded.warnings[0].find(u"links.mdx"), std::u16string::npos);
}

// The map keeps a long record cut; a link to it, from a shorter headword than the word's,
// must still carry as much of it as the handheld keeps.
TEST(MdictReaderTest, LinksToARecordLongerThanKeptCarryAsMuchAsTheWord) {
  EXPECT_EQ(load(fixture("long-link.mdx"), 0).entries, load(fixture("long-link.mdx")).entries);
  const Loaded loaded = load(fixture("long-link.mdx"));
  EXPECT_EQ(loaded.result, 0);
  ASSERT_EQ(loaded.entries.size(), 3u);
  std::string words;
  for (int i = 0; i < 14000; ++i) words += i == 0 ? "word" : " word";
  for (const std::string& entry : loaded.entries) {
    const std::string headword = entry.substr(0, entry.find('\t'));
    SCOPED_TRACE(headword);
    EXPECT_EQ(entry, (headword + "\t" + words).substr(0, kKeptEntryBytes));
  }
}

// `bytes` with zlib's own check broken in the zlib block that holds `text`.
std::string withDamagedZlibBlock(std::string bytes, std::string_view text) {
  const std::string type("\x02\x00\x00\x00", 4);
  for (size_t at = bytes.find(type); at != std::string::npos; at = bytes.find(type, at + 1)) {
    std::string out(1 << 16, '\0');
    auto outSize = static_cast<uLongf>(out.size());
    auto inSize = static_cast<uLong>(bytes.size() - at - 8);
    if (uncompress2(reinterpret_cast<Bytef*>(out.data()), &outSize,
                    reinterpret_cast<const Bytef*>(bytes.data() + at + 8), &inSize) == Z_OK &&
        std::string_view(out.data(), outSize).find(text) != std::string_view::npos) {
      bytes[at + 8 + inSize - 1] = static_cast<char>(bytes[at + 8 + inSize - 1] ^ 1);
      return bytes;
    }
  }
  ADD_FAILURE() << "no zlib block holds " << text;
  return bytes;
}

TEST(MdictReaderTest, ABadBlockLosesOnlyItsEntries) {
  const Loaded loaded = load(fixture("bad-checksum.mdx"));
  EXPECT_EQ(loaded.result, 0);
  V expected = kFruit;
  expected.erase(expected.begin() + 2);  // cherry
  EXPECT_EQ(loaded.entries, expected);
  ASSERT_EQ(loaded.warnings.size(), 1u);
  EXPECT_NE(loaded.warnings[0].find(u"bad-checksum.mdx"), std::u16string::npos);

  // Data that do not unpack say nothing against the block table: the records of the blocks
  // after it are where the table puts them.
  test::TempDir dir;
  const std::filesystem::path path = dir / "corrupt.mdx";
  test::writeFile(path,
                  withDamagedZlibBlock(test::readFile(fixture("v2-zlib.mdx")), "sound://cherry"));
  const Loaded corrupt = load(path);
  EXPECT_EQ(corrupt.result, 0);
  EXPECT_EQ(std::count(corrupt.entries.begin(), corrupt.entries.end(), kFruit[2]), 0);
  for (const std::string& later : {kFruit[3], kFruit[4]})
    EXPECT_NE(std::find(corrupt.entries.begin(), corrupt.entries.end(), later),
              corrupt.entries.end())
        << later;
  ASSERT_EQ(corrupt.warnings.size(), 1u);
  EXPECT_NE(corrupt.warnings[0].find(u"corrupt.mdx"), std::u16string::npos);
}

TEST(MdictReaderTest, RefusesWhatItCannotReadAndSaysWhy) {
  for (const char* name :
       {"v3.mdx", "encrypted-records.mdx", "encrypted-records-yes.mdx", "media.mdd"}) {
    SCOPED_TRACE(name);
    const Loaded loaded = load(fixture(name));
    EXPECT_EQ(loaded.result, -1);
    EXPECT_TRUE(loaded.entries.empty());
    ASSERT_EQ(loaded.warnings.size(), 1u);
    EXPECT_NE(loaded.warnings[0].find(test::u16path(name)), std::u16string::npos);
  }
  EXPECT_NE(load(fixture("v3.mdx")).warnings[0].find(u"3.0"), std::u16string::npos);
}

// Cuts of a file and every byte flipped in turn: the reader refuses, or keeps entries
// the whole file has (checksums guard every block, the key section's counts and the key
// info), and never crashes; the fuzz target takes this further.
TEST(MdictReaderTest, DamagedCopiesLoadOnlyWhatTheyHold) {
  test::TempDir dir;
  const std::string bytes = test::readFile(fixture("v2-zlib.mdx"));
  const std::filesystem::path path = dir / "damaged.mdx";
  V possible = kFruit;
  possible.push_back("run\tto move fast");  // a record block of the two lost
  possible.push_back("run\ta period of running");
  const auto check = [&](const std::string& damaged) {
    test::writeFile(path, damaged);
    const Loaded loaded = load(path);
    if (loaded.result != 0) {
      EXPECT_TRUE(loaded.entries.empty());
    }
    for (const std::string& entry : loaded.entries)
      EXPECT_NE(std::find(possible.begin(), possible.end(), entry), possible.end()) << entry;
  };
  for (size_t size = 0; size < bytes.size(); size += 5) check(bytes.substr(0, size));
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::string flipped = bytes;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    check(flipped);
  }
}

}  // namespace
}  // namespace lexora
