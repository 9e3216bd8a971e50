#include "sources/load_dictionary_file.h"

#include <gtest/gtest.h>

#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

TEST(SourceSelection, ExtensionIsWhatFollowsTheLastDot) {
  EXPECT_EQ(extensionOf(u"C:\\dicts\\Oxford.TXT"), u"txt");
  EXPECT_EQ(extensionOf(u"words.txt.bak"), u"bak");
  EXPECT_EQ(extensionOf(u"D:\\my.dicts\\readme"), u"dicts\\readme");
  EXPECT_EQ(extensionOf(u"/home/me/my.dicts/readme"), u"dicts/readme");
  EXPECT_EQ(extensionOf(u"README"), u"readme");
}

TEST(SourceSelection, NameIsBetweenTheLastSeparatorAndTheLastDot) {
  EXPECT_EQ(dictionaryNameFromPath(u"C:\\Dict\\English-Chinese.2008.txt"), u"English-Chinese.2008");
  EXPECT_EQ(dictionaryNameFromPath(u"/home/me/dicts/oxford.txt"), u"oxford");
  EXPECT_EQ(dictionaryNameFromPath(u"oxford.tab"), u"oxford");
  EXPECT_EQ(dictionaryNameFromPath(u"/a/.txt"), u"");
}

TEST(SourceSelection, UnknownExtensionsAreRefusedWithTheirMessage) {
  for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
    test::LanguageScope scope(language);
    test::TempDir dir;
    test::writeFile(dir / "words.txt.bak", "a\tb\n");
    test::ScriptedUserInterface ui;
    LoadedDictionary dictionary;
    EXPECT_EQ(loadDictionaryFile(dictionary, dir / "words.txt.bak", ui), -1);
    EXPECT_TRUE(dictionary.entries.empty());
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.messages()[0].text, language == UiLanguage::Chinese
                                         ? u"莱克索拉不支持这种扩展名的词典文件！"
                                         : u"Lexora cannot handle file with this extend name");
  }
}

TEST(SourceSelection, UpperCaseExtensionsReachTheTextReader) {
  test::LanguageScope scope(UiLanguage::English);
  test::TempDir dir;
  test::writeFile(dir / "Oxford.TXT", "Zoo\tanimals\n");
  test::writeFile(dir / "list.Tab", "x\ty\n");
  test::ScriptedUserInterface ui;
  LoadedDictionary oxford, list;
  EXPECT_EQ(loadDictionaryFile(oxford, dir / "Oxford.TXT", ui), 0);
  EXPECT_EQ(loadDictionaryFile(list, dir / "list.Tab", ui), 0);
  EXPECT_EQ(oxford.name, u"Oxford");
  EXPECT_NE(oxford.entries.find(u"zoo"), nullptr);
  EXPECT_EQ(list.entries.size(), 1u);
  EXPECT_TRUE(ui.messages().empty());
}

TEST(SourceSelection, FilesWithoutEntriesLoadButSayWhy) {
  test::LanguageScope scope(UiLanguage::English);
  test::TempDir dir;
  // A file read whole that held nothing still loads (the size question shows 0 bytes),
  // with one warning; a big-endian file gets a second one telling what is read instead.
  const std::pair<std::string, size_t> cases[] = {
      {std::string("\xFF\xFE", 2), 1u},
      {std::string("\xFE\xFF\0w\0\t\0m\0\n", 10), 2u},
  };
  for (const auto& [bytes, warnings] : cases) {
    test::writeFile(dir / "empty.txt", bytes);
    test::ScriptedUserInterface ui;
    LoadedDictionary dictionary;
    EXPECT_EQ(loadDictionaryFile(dictionary, dir / "empty.txt", ui), 0);
    EXPECT_TRUE(dictionary.entries.empty());
    EXPECT_EQ(ui.warnings().size(), warnings);
  }
}

}  // namespace
}  // namespace lexora
