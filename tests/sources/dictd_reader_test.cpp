#include "sources/dictd_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ansi_code_page.h"
#include "sources/dictd_index.h"
#include "sources/load_dictionary_file.h"
#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::string_literals;
using V = std::vector<std::string>;

std::string base64(uint64_t value) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 63]);
    value >>= 6;
  } while (value != 0);
  return digits;
}

// A database's files: the texts stored one after the other, one index line for each.
struct Database {
  std::string index, data;
  void add(const std::string& headword, const std::string& text) {
    index += headword + "\t" + base64(data.size()) + "\t" + base64(text.size()) + "\n";
    data += text;
  }
};

class RecordingInterface : public test::ScriptedUserInterface {
 public:
  void showFileWarning(std::u16string_view text, const std::filesystem::path& file,
                       int error) override {
    files.push_back(file);
    ScriptedUserInterface::showFileWarning(text, file, error);
  }
  std::vector<std::filesystem::path> files;
};

class DictdReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(chooseAnsiCodePage("CP1252")); }

  // Writes NAME.index and the data (".dict", ".dict.dz" as dictzip, or none when empty).
  int load(const Database& db, const std::string& dataExtension = ".dict",
           const std::string& name = "NAME") {
    index_ = test::writeFile(dir_ / (name + ".index"), db.index);
    if (dataExtension == ".dict") test::writeFile(dir_ / (name + ".dict"), db.data);
    if (dataExtension == ".dict.dz") {
      test::writeFile(dir_ / (name + ".dict.dz"), test::dictzipBytes(db.data, 16));
    }
    dictionary_ = LoadedDictionary{};
    return loadDictionaryFile(dictionary_, index_, ui_);
  }
  V entries() const {
    V out;
    for (const auto& e : dictionary_.entries.entries()) {
      out.push_back(std::string(e.key()) + " => " +
                    std::string(e.data(), static_cast<size_t>(e.length)));
    }
    return out;
  }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  RecordingInterface ui_;
  LoadedDictionary dictionary_;
  std::filesystem::path index_;
};

TEST(DictdIndex, NumbersAreBase64MostSignificantFirst) {
  EXPECT_EQ(parseDictdNumber("A"), 0u);
  EXPECT_EQ(parseDictdNumber("/"), 63u);
  EXPECT_EQ(parseDictdNumber("BA"), 64u);
  EXPECT_EQ(parseDictdNumber("Ba+"), 64u * 64 + 26 * 64 + 62);
  // 64 bits take eleven digits, the first of which holds four.
  EXPECT_EQ(parseDictdNumber("P//////////"), UINT64_MAX);
  EXPECT_EQ(parseDictdNumber("AAAAAAAAAAAAAB"), 1u);
  for (const char* bad : {"", "Q//////////", "A=", "A B", "-1"}) {
    EXPECT_EQ(parseDictdNumber(bad), std::nullopt) << bad;
  }
  EXPECT_TRUE(parseDictdIndexLine("word\tA\tB\textra\tfields"));
  for (const char* bad : {"word", "word\tA", "word\t\tB", "word\tA\t", "word\tA\tE/////"}) {
    EXPECT_FALSE(parseDictdIndexLine(bad)) << bad;
  }
}

TEST_F(DictdReaderTest, ExplanationsFollowTheFormatsRules) {
  Database db;
  db.add("00-database-short", "00-database-short\n   The  Test\n\tDictionary \n");
  db.add("00-database-info", "about this database");
  db.add("00databasealphabet", "abc");
  db.add("Apple", "Apple\r\r\n  a fruit;\tsee {pear} and {tree\r\n  fruit}\r\n\r\n");
  db.add("braces", "set {a, {b} and c} ends {");
  db.add("  spaced ", "  \t\r\n");
  ASSERT_EQ(load(db), 0);
  EXPECT_EQ(dictionary_.name, u"The Test Dictionary");
  EXPECT_EQ(entries(), (V{"apple => Apple\tApple\n  a fruit; see pear and tree\n  fruit",
                          "braces => braces\tset {a, b and c} ends {", "spaced => spaced\t"}));
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(DictdReaderTest, NameFallsBackToTheFileName) {
  Database db;
  db.add("word", "text");
  ASSERT_EQ(load(db, ".dict", "my.base"), 0);
  EXPECT_EQ(dictionary_.name, u"my.base");
  // A short name that holds only its own headword (indexed without its dashes) names nothing.
  db.add("00databaseshort", "00-database-short\n  \n");
  ASSERT_EQ(load(db, ".dict", "other"), 0);
  EXPECT_EQ(dictionary_.name, u"other");
}

TEST_F(DictdReaderTest, TheUtf8EntryDecidesHowTheDataAreDecoded) {
  Database db;
  db.add("caf\xC3\xA9", "d\xC3\xA9j\xC3\xA0 \xFF");
  ASSERT_EQ(load(db), 0);  // the ANSI code page: every byte a character
  EXPECT_EQ(entries(), V{"caf\xC3\x83\xC2\xA9 => caf\xC3\x83\xC2\xA9\td\xC3\x83\xC2\xA9j\xC3\x83"
                         "\xC2\xA0 \xC3\xBF"});
  // The fact sorts after the entries here: it still applies to all of them.
  db.add("00-database-utf8", "");
  ASSERT_EQ(load(db), 0);
  EXPECT_EQ(entries(), V{"caf\xC3\xA9 => caf\xC3\xA9\td\xC3\xA9j\xC3\xA0 \xEF\xBF\xBD"});
}

TEST_F(DictdReaderTest, RepeatedHeadwordsMergeAndCompressedDataReadsTheSame) {
  Database db;
  db.add("Bank", "a river side");
  db.add("other", "x");
  db.add("bank", "money");
  db.add("Bank", "a river side, again");
  ASSERT_EQ(load(db), 0);
  const V expected{"bank => Bank\ta river side\tbank\tmoney\tBank\ta river side, again",
                   "other => other\tx"};
  EXPECT_EQ(entries(), expected);
  ASSERT_EQ(load(db, ".dict.dz", "zipped"), 0);
  EXPECT_EQ(entries(), expected);
  // The compressed file wins over a plain one beside it.
  test::writeFile(dir_ / "zipped.dict", std::string(db.data.size(), '?'));
  ASSERT_EQ(load(db, ".dict.dz", "zipped"), 0);
  EXPECT_EQ(entries(), expected);
}

TEST_F(DictdReaderTest, BadLinesAndDataBeyondTheEndAreCountedOnceEach) {
  Database db;
  db.add("good", "kept");
  db.index +=
      "no fields\n"
      "bad\t!!\tB\n"
      "huge\tA\t//////////\n"
      "\t\n"
      " \tA\tB\n\n";
  db.index += "past\t" + base64(1000) + "\tB\r\n";
  db.index += "short\tC\t" + base64(100) + "\n";
  ASSERT_EQ(load(db), 0);
  EXPECT_EQ(entries(), (V{"good => good\tkept", "past => past\t", "short => short\tpt"}));
  const auto warnings = ui_.warnings();
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find(u"5"), std::u16string::npos);
  EXPECT_NE(warnings[1].find(u"2"), std::u16string::npos);
}

TEST_F(DictdReaderTest, AHugeClaimedLengthCostsOnlyWhatIsKept) {
  Database db;
  db.data = std::string(200000, 'x');
  db.index = "big\tA\t" + base64(UINT32_MAX) + "\n";
  for (int i = 0; i < 1000; ++i) db.index += "big\tA\t" + base64(UINT32_MAX) + "\n";
  ASSERT_EQ(load(db), 0);
  ASSERT_EQ(dictionary_.entries.size(), 1u);
  EXPECT_EQ(dictionary_.entries.entries()[0].length, kKeptEntryBytes);
  EXPECT_EQ(ui_.warnings().size(), 1u);
}

TEST_F(DictdReaderTest, TextLongerThanTheFirstReadIsReadOnWhenItMatters) {
  Database db;
  db.add("blank", std::string(200000, ' ') + "word");
  db.add("long", std::string(300000, 'y'));
  ASSERT_EQ(load(db, ".dict.dz"), 0);
  EXPECT_EQ(entries()[0], "blank => blank\tword");
  EXPECT_EQ(entries()[1], "long => long\t" + std::string(kKeptEntryBytes - 5, 'y'));
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(DictdReaderTest, AMissingFileFailsNamingIt) {
  Database db;
  db.add("word", "text");
  EXPECT_EQ(load(db, "none"), -1);
  ASSERT_EQ(ui_.files.size(), 1u);
  EXPECT_EQ(ui_.files[0], dir_ / "NAME.dict.dz");
  EXPECT_TRUE(dictionary_.entries.empty());

  dictionary_ = LoadedDictionary{};
  EXPECT_EQ(loadDictionaryFile(dictionary_, dir_ / "absent.index", ui_), -1);
  ASSERT_EQ(ui_.files.size(), 2u);
  EXPECT_EQ(ui_.files[1], dir_ / "absent.index");
}

// Every dictd database installed the way Debian installs them loads with entries and a name,
// and without a notice of damage.
TEST(DebianDictd, EveryInstalledDatabaseLoads) {
  const std::filesystem::path folder = "/usr/share/dictd";
  std::vector<std::filesystem::path> indexes;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    if (item.path().extension() == ".index") indexes.push_back(item.path());
  }
  if (indexes.empty()) {
    GTEST_SKIP() << "no dictd database in " << folder
                 << " (scripts/setup.sh installs two small dict-freedict packages)";
  }
  std::sort(indexes.begin(), indexes.end());
  for (const auto& index : indexes) {
    SCOPED_TRACE(index.string());
    test::ScriptedUserInterface ui;
    LoadedDictionary dictionary;
    ASSERT_EQ(loadDictionaryFile(dictionary, index, ui), 0);
    EXPECT_GT(dictionary.entries.size(), 0u);
    EXPECT_FALSE(dictionary.name.empty());
    EXPECT_TRUE(ui.messages().empty());
  }
}

}  // namespace
}  // namespace lexora
