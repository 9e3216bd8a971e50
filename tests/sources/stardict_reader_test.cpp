#include "sources/stardict_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text_codec.h"
#include "platform/ui_language.h"
#include "sources/load_dictionary_file.h"
#include "sources/stardict_fields.h"
#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::string_literals;
using V = std::vector<std::string>;
using test::StarDictFixture;

class StarDictReaderTest : public ::testing::Test {
 protected:
  int load(const StarDictFixture& fixture, const std::string& base = "dict") {
    ifo_ = test::writeStarDict(dir_.path(), base, fixture);
    return loadPath(ifo_);
  }
  int loadPath(const std::filesystem::path& ifo) {
    dictionary_ = LoadedDictionary{};
    return loadDictionaryFile(dictionary_, ifo, ui_);
  }
  V entries() {
    V out;
    for (const auto& e : dictionary_.entries.entries()) {
      out.push_back(std::string(e.key()) + " => " +
                    std::string(e.data(), static_cast<size_t>(e.length)));
    }
    return out;
  }
  static StarDictFixture sample() {
    StarDictFixture f;
    f.infoLines = {"bookname=Sample", "sametypesequence=tm"};
    for (int i = 0; i < 40; ++i) {
      const std::string word = "Word" + std::to_string(i);
      f.entries.push_back({word, "w" + std::to_string(i) + "\0"s + "meaning of " + word +
                                     std::string(static_cast<size_t>(i * 7), 'x')});
    }
    return f;
  }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  test::ScriptedUserInterface ui_;
  LoadedDictionary dictionary_;
  std::filesystem::path ifo_;
};

TEST_F(StarDictReaderTest, ReadsAnEntry) {
  StarDictFixture f;
  f.entries = {{"Apple", "fruit"}};
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(dictionary_.name, u"Test Dictionary");
  EXPECT_EQ(entries(), V{"apple => Apple\tfruit"});
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(StarDictReaderTest, EveryFormOfTheFilesGivesTheSameEntries) {
  StarDictFixture f = sample();
  ASSERT_EQ(load(f, "reference"), 0);
  const V expected = entries();
  ASSERT_EQ(expected.size(), 40u);
  int form = 0;
  for (auto index :
       {test::IndexForm::Plain, test::IndexForm::Gzip, test::IndexForm::GzipUnderPlainName}) {
    for (auto data : {test::DataForm::Plain, test::DataForm::Gzip, test::DataForm::Dictzip,
                      test::DataForm::GzipUnderPlainName, test::DataForm::DictzipUnderPlainName}) {
      for (bool reverse : {false, true}) {
        f.indexForm = index;
        f.dataForm = data;
        f.reverseBlocks = reverse;
        SCOPED_TRACE(form);
        ASSERT_EQ(load(f, "form" + std::to_string(form++)), 0);
        EXPECT_EQ(entries(), expected);
      }
    }
  }
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(StarDictReaderTest, FilesMadeByTheDictzipToolGiveTheEntriesOfThePlainData) {
  const std::filesystem::path made = std::string(LEXORA_SOURCE_DIR) + "/tests/data/dictzip";
  // The plain form: the same files with the data inflated.
  test::writeFile(dir_ / "inorder.ifo", test::readFile(made / "inorder.ifo"));
  test::writeFile(dir_ / "inorder.idx.gz", test::readFile(made / "inorder.idx.gz"));
  test::writeFile(dir_ / "inorder.dict",
                  test::gunzipBytes(test::readFile(made / "inorder.dict.dz")));
  ASSERT_EQ(loadPath(dir_ / "inorder.ifo"), 0);
  const V expected = entries();
  ASSERT_EQ(expected.size(), 700u);
  for (const char* name : {"inorder.ifo", "shuffled.ifo"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(loadPath(made / name), 0);
    EXPECT_TRUE(entries() == expected);
  }
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(StarDictReaderTest, DictzipWithABadTableFallsBackToTheStream) {
  StarDictFixture f = sample();
  f.reverseBlocks = true;
  ASSERT_EQ(load(f, "reference"), 0);
  const V expected = entries();
  const std::string data = test::buildStarDictFiles(f).data;
  const std::string good = test::dictzipBytes(data, 64);
  auto variant = [&](auto patch) {
    std::string bytes = good;
    patch(bytes);
    test::writeFile(dir_ / "dict.ifo", test::readFile(ifo_));
    test::writeFile(dir_ / "dict.idx", test::buildStarDictFiles(f).index);
    test::writeFile(dir_ / "dict.dict.dz", bytes);
    EXPECT_EQ(loadPath(dir_ / "dict.ifo"), 0);
    EXPECT_TRUE(entries() == expected);
  };
  variant([](std::string& b) { b[16] = 2; });                             // version
  variant([](std::string& b) { b[20] = static_cast<char>(b[20] + 1); });  // chunk count
  variant([](std::string& b) { b[22] = static_cast<char>(b[22] + 1); });  // first chunk size
  variant([](std::string& b) { b[b.size() - 4] = static_cast<char>(b[b.size() - 4] + 1); });
  // A table over a stream that was not flushed at the chunk boundaries: the chunks do not
  // inflate on their own, which shows only when they are read.
  variant([&](std::string& b) {
    const std::string plain = test::gzipBytes(data);
    const std::string deflated = plain.substr(10, plain.size() - 18);
    const size_t count = (data.size() + 63) / 64;
    std::string header("\x1f\x8b\x08\x04\0\0\0\0\x02\x03", 10);
    auto le16 = [&](size_t v) {
      header.push_back(static_cast<char>(v & 0xFF));
      header.push_back(static_cast<char>(v >> 8));
    };
    le16(4 + 6 + 2 * count);
    header += "RA";
    le16(6 + 2 * count);
    le16(1);
    le16(64);
    le16(count);
    size_t left = deflated.size();
    for (size_t i = 0; i < count; ++i) {
      const size_t size = i + 1 == count ? left : deflated.size() / count;
      le16(size);
      left -= size;
    }
    b = header + deflated + plain.substr(plain.size() - 8);
  });
  EXPECT_TRUE(ui_.warnings().empty());
}

TEST_F(StarDictReaderTest, ADamagedDictzipChunkCostsOnlyItsOwnEntries) {
  StarDictFixture f = sample();
  ASSERT_EQ(load(f, "reference"), 0);
  const V expected = entries();
  const test::StarDictFiles files = test::buildStarDictFiles(f);
  std::string bytes = test::dictzipBytes(files.data, 64);
  const size_t chunks = (files.data.size() + 63) / 64;
  for (size_t i = 0; i < 6; ++i) bytes[22 + 2 * chunks + 2 + i] = 0;  // inside the first chunk
  test::writeFile(dir_ / "dict.ifo", test::readFile(ifo_));
  test::writeFile(dir_ / "dict.idx", files.index);
  test::writeFile(dir_ / "dict.dict.dz", bytes);
  ASSERT_EQ(loadPath(dir_ / "dict.ifo"), 0);
  const V got = entries();
  ASSERT_EQ(got.size(), expected.size());
  // Only the blocks that start within the first 64 bytes may suffer.
  size_t damaged = 0;
  for (size_t i = 0; i < got.size(); ++i) damaged += got[i] != expected[i];
  EXPECT_GE(damaged, 1u);
  EXPECT_LE(damaged, 4u);
  ASSERT_EQ(ui_.warnings().size(), 1u);
  EXPECT_NE(ui_.warnings()[0].find(utf8ToUtf16(std::to_string(damaged))), std::u16string::npos);
}

TEST_F(StarDictReaderTest, SixtyFourBitOffsets) {
  StarDictFixture f = sample();
  ASSERT_EQ(load(f, "reference"), 0);
  const V expected = entries();
  f.offsets64 = true;
  ASSERT_EQ(load(f, "wide"), 0);
  EXPECT_EQ(entries(), expected);
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(StarDictReaderTest, CandidateNamesAreTriedInOrder) {
  StarDictFixture f;
  f.entries = {{"a", "from idx"}};
  const auto ifo = test::writeStarDict(dir_.path(), "Oxford", f);
  std::filesystem::rename(ifo, dir_ / "Oxford.IFO");
  f.entries = {{"a", "from gz"}};
  f.indexForm = test::IndexForm::Gzip;
  f.dataForm = test::DataForm::Gzip;
  test::writeStarDict(dir_.path(), "Oxford", f);  // adds .idx.gz and .dict.dz
  ASSERT_EQ(loadPath(dir_ / "Oxford.IFO"), 0);
  EXPECT_EQ(entries(), V{"a => a\tfrom idx"});
  std::filesystem::remove(dir_ / "Oxford.idx");
  std::filesystem::remove(dir_ / "Oxford.dict");
  ASSERT_EQ(loadPath(dir_ / "Oxford.IFO"), 0);
  EXPECT_EQ(entries(), V{"a => a\tfrom gz"});
}

TEST_F(StarDictReaderTest, MissingFilesKeepTheName) {
  StarDictFixture f;
  f.entries = {{"a", "b"}};
  test::writeStarDict(dir_.path(), "x", f);
  std::filesystem::remove(dir_ / "x.dict");
  EXPECT_EQ(loadPath(dir_ / "x.ifo"), -1);
  EXPECT_EQ(dictionary_.name, u"Test Dictionary");
  EXPECT_EQ(ui_.warnings().back(), u"Open .dict/.dict.dz file failed!");
  std::filesystem::remove(dir_ / "x.idx");
  EXPECT_EQ(loadPath(dir_ / "x.ifo"), -1);
  EXPECT_TRUE(dictionary_.entries.empty());
  EXPECT_EQ(ui_.warnings().back(), u"Open .idx/.idx.gz file failed!");
  {
    test::LanguageScope chinese(UiLanguage::Chinese);
    EXPECT_EQ(loadPath(dir_ / "x.ifo"), -1);
    EXPECT_EQ(ui_.warnings().back(), u"打开.idx/.idx.gz文件失败！");
  }
  std::filesystem::remove(dir_ / "x.ifo");
  EXPECT_EQ(loadPath(dir_ / "x.ifo"), -1);
  EXPECT_EQ(dictionary_.name, u"");
}

TEST_F(StarDictReaderTest, WordcountLimitsTheRecordsRead) {
  StarDictFixture f;
  f.entries = {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}};
  f.addWordcount = false;
  f.infoLines.push_back("wordcount=3");
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(entries(), (V{"a => a\t1", "b => b\t2", "c => c\t3"}));
  f.infoLines.back() = "wordcount=-5";
  ASSERT_EQ(load(f), 0);
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(ui_.warnings().size(), 1u);  // only that no entries were found
}

TEST_F(StarDictReaderTest, HeadwordsAndExplanationsAreEscapedAlike) {
  StarDictFixture f;
  f.entries = {{"Apple", "fruit"},   {"apple", "com\tpany"}, {" sp ", "x"},
               {"a\\nb", "l1\\nl2"}, {"", "dropped"},        {"Zoo", ""}};
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(entries(), (V{" sp  =>  sp \tx", "a\nb => a\nb\tl1\nl2",
                          "apple => Apple\tfruit\tapple\tcom pany", "zoo => Zoo\t"}));
}

TEST_F(StarDictReaderTest, IndexEndingEarlyKeepsTheSoundEntriesAndSaysSo) {
  StarDictFixture f;
  f.entries = {{"a", "1"}, {"b", "2"}};
  f.addWordcount = false;
  f.infoLines.push_back("wordcount=3");
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(entries(), (V{"a => a\t1", "b => b\t2"}));
  EXPECT_EQ(ui_.warnings(), std::vector<std::u16string>{
                                u"The index file of this dictionary is damaged: only 2 of its 3 "
                                u"entries could be read. The entries read are kept."});
  // A record cut short inside its numbers.
  std::string index = test::readFile(dir_ / "dict.idx");
  test::writeFile(dir_ / "dict.idx", index.substr(0, index.size() - 3));
  ASSERT_EQ(loadPath(ifo_), 0);
  EXPECT_EQ(entries(), (V{"a => a\t1"}));
}

TEST_F(StarDictReaderTest, HeadwordWithoutNulEndsTheLoad) {
  StarDictFixture f;
  f.entries = {{"a", "1"}};
  ifo_ = test::writeStarDict(dir_.path(), "dict", f);
  test::writeFile(dir_ / "dict.idx", test::indexRecord(std::string(255, 'h'), 0, 1) +
                                         std::string(300, 'z') + test::indexRecord("b", 0, 1));
  test::writeFile(dir_ / "dict.ifo", "bookname=x\nwordcount=3\nsametypesequence=m\n");
  ASSERT_EQ(loadPath(ifo_), 0);
  ASSERT_EQ(entries().size(), 1u);
  EXPECT_EQ(ui_.warnings().size(), 1u);
}

TEST_F(StarDictReaderTest, BlockBeyondTheDataEndGivesOnlyExistingBytes) {
  for (auto form : {test::DataForm::Plain, test::DataForm::Gzip, test::DataForm::Dictzip}) {
    StarDictFixture f;
    f.infoLines = {"bookname=x", "sametypesequence=mm"};
    f.entries = {{"first", "stale\0bytes"s}, {"second", "ab"}};
    f.dataForm = form;
    ifo_ = test::writeStarDict(dir_.path(), "dict", f);
    // "second" claims 10 bytes where 2 exist; "third" lies wholly beyond the end.
    test::writeFile(dir_ / "dict.idx", test::indexRecord("first", 0, 11) +
                                           test::indexRecord("second", 11, 10) +
                                           test::indexRecord("third", 4000000000u, 4000000000u));
    test::writeFile(dir_ / "dict.ifo", "bookname=x\nwordcount=3\nsametypesequence=mm\n");
    ASSERT_EQ(loadPath(ifo_), 0);
    EXPECT_EQ(entries(),
              (V{"first => first\tstale\nbytes", "second => second\tab", "third => third\t"}));
    EXPECT_EQ(ui_.warnings().back(),
              u"The data file of this dictionary is damaged: the data of 2 entries are "
              u"incomplete. Those entries keep only what could be read.");
  }
}

TEST_F(StarDictReaderTest, RecordsClaimingHugeOverlappingBlocksKeepWhatABlockCarries) {
  for (auto form : {test::DataForm::Plain, test::DataForm::Gzip, test::DataForm::Dictzip}) {
    StarDictFixture f;
    f.entries = {{"a", std::string(1 << 20, 'x')}};
    f.dataForm = form;
    f.chunkLength = 60000;
    ifo_ = test::writeStarDict(dir_.path(), "dict", f);
    // Every record claims the whole data and more; the last few share one headword.
    std::string index;
    for (int i = 0; i < 60; ++i) {
      index += test::indexRecord(i < 50 ? "w" + std::to_string(i) : "same", 0, 0xFFFFFFFF);
    }
    test::writeFile(dir_ / "dict.idx", index);
    test::writeFile(dir_ / "dict.ifo", "bookname=x\nwordcount=60\nsametypesequence=m\n");
    ASSERT_EQ(loadPath(ifo_), 0);
    const auto records = dictionary_.entries.entries();
    ASSERT_EQ(records.size(), 51u);
    for (const auto& e : records) {
      EXPECT_EQ(e.length, kKeptEntryBytes) << e.key();
      const std::string head = std::string(e.key()) + "\txxx";
      EXPECT_EQ(std::string(e.data(), head.size()), head);
    }
    EXPECT_EQ(ui_.warnings().back(),
              u"The data file of this dictionary is damaged: the data of 60 entries are "
              u"incomplete. Those entries keep only what could be read.");
  }
}

// Blocks longer than the first read, of every kind whose text depends on bytes far on,
// give the entries that reading each block whole gives.
TEST_F(StarDictReaderTest, LongBlocksGiveTheEntriesOfTheirWholeText) {
  const std::string big(300000, 'y');
  const std::string lfs(200000, '\n');
  std::string sized = "\0\x04\0\0"s + std::string(0x40000, 'p');  // 256 KiB picture
  StarDictFixture f;
  f.infoLines = {"bookname=x", "sametypesequence=gWm"};
  f.entries = {{"lfs", "a" + lfs + "b\0" + sized + "c"},         // LFs until far on, then text
               {"tag", "<" + big + ">tail\0" + sized + "text"},  // a tag closed only far on
               {"pairs", std::string(150000, '\\') + "n\0" + sized + "z"},
               {"picture", "\0" + sized + "after the picture"},  // text only beyond a large field
               {"plain", big + "\0" + sized + "m"}};
  ASSERT_EQ(load(f), 0);
  std::vector<std::string> expected;
  for (const auto& [headword, block] : f.entries) {
    PowerWordWalkState state;
    std::string explanation;
    convertStarDictFields(block, u"gWm", state, explanation);
    joinBackslashN(explanation);
    std::string entry = headword + "\t" + explanation;
    entry.resize(std::min<size_t>(entry.size(), kKeptEntryBytes));
    expected.push_back(headword + " => " + entry);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries(), expected);
  // Only the note that pictures are left out: no block is taken for damaged.
  EXPECT_EQ(ui_.warnings().size(), 1u);
}

// A PowerWord field after a long text still numbers on into the next entry.
TEST_F(StarDictReaderTest, APowerWordFieldAfterALongFieldStillCarriesItsNumbering) {
  StarDictFixture f;
  f.infoLines = {"bookname=x", "sametypesequence=mk"};
  f.entries = {
      {"go",
       std::string(300000, 'm') +
           "\0<单词项><解释项><![CDATA[a]]></解释项><解释项><![CDATA[b]]></解释项></单词项>"s},
      {"went", "\0<解释项><![CDATA[c]]></解释项>"s}};
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(entries().back(), "went => went\t(3)c");
}

TEST_F(StarDictReaderTest, PowerWordFieldsConvertThroughTheDictionaryState) {
  StarDictFixture f;
  f.infoLines = {"bookname=x", "sametypesequence=k"};
  f.entries = {
      {"go", "<单词项><解释项><![CDATA[a]]></解释项><解释项><![CDATA[b]]></解释项></单词项>"},
      {"went", "<解释项><![CDATA[c]]></解释项>"},
      {"bad", "a & b"}};
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(entries(), (V{"bad => bad\t", "go => go\t(1)a\n(2)b", "went => went\t(3)c"}));
}

}  // namespace
}  // namespace lexora
