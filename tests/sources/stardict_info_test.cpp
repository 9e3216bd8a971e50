#include "sources/stardict_info.h"

#include <gtest/gtest.h>

#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

class StarDictInfoTest : public ::testing::Test {
 protected:
  int read(std::string_view text) {
    const auto path = test::writeFile(dir_ / "dict.ifo", text);
    info_ = StarDictInfo{};
    return readStarDictInfo(path, info_, ui_);
  }
  std::vector<std::u16string> warnings() const { return ui_.warnings(); }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  test::ScriptedUserInterface ui_;
  StarDictInfo info_;
};

TEST_F(StarDictInfoTest, ReadsTheThreeKeysTrimmed) {
  ASSERT_EQ(read("StarDict's dict ifo file\r\nversion=2.4.2\r\nbookname= My Dict \r\n"
                 "wordcount=1200\r\nsametypesequence=tm\r\n"),
            0);
  EXPECT_EQ(info_.bookname, u"My Dict");
  EXPECT_EQ(info_.wordcount, 1200);
  EXPECT_EQ(info_.sametypesequence, u"tm");
  EXPECT_EQ(info_.offsetBits, 32);
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(StarDictInfoTest, KeysAreCaseSensitiveAndOnlyTheFirstEqualsSeparates) {
  EXPECT_EQ(read("BookName=X\nwordcount=1\nsametypesequence=m\n"), -1);
  EXPECT_EQ(warnings(),
            std::vector<std::u16string>{
                u".ifo file format is incorrect. Cannot read bookname (dictionary name)!"});
  ASSERT_EQ(read("bookname=a=b\nwordcount=1\nsametypesequence=m\n=x\nno equals\n"), 0);
  EXPECT_EQ(info_.bookname, u"a=b");
}

TEST_F(StarDictInfoTest, TheLastOccurrenceWins) {
  ASSERT_EQ(read("bookname=First\nwordcount=1\nsametypesequence=m\nbookname=Second\n"), 0);
  EXPECT_EQ(info_.bookname, u"Second");
}

TEST_F(StarDictInfoTest, WordcountIsTheLeadingInteger) {
  ASSERT_EQ(read("bookname=x\nwordcount=12abc\nsametypesequence=m\n"), 0);
  EXPECT_EQ(info_.wordcount, 12);
  ASSERT_EQ(read("bookname=x\nwordcount=-5\nsametypesequence=m\n"), 0);
  EXPECT_EQ(info_.wordcount, -5);
  ASSERT_EQ(read("bookname=x\nwordcount=99999999999\nsametypesequence=m\n"), 0);
  EXPECT_EQ(info_.wordcount, 2147483647);
  EXPECT_EQ(read("bookname=x\nwordcount=abc\nsametypesequence=m\n"), -1);
  EXPECT_EQ(warnings().back(),
            u".ifo file format is incorrect. Cannot read wordcount (word number)!");
}

TEST_F(StarDictInfoTest, ChecksStopAtTheFirstMissingKey) {
  EXPECT_EQ(read("sametypesequence=m\n"), -1);
  EXPECT_EQ(warnings().size(), 1u);
  EXPECT_EQ(read("bookname=x\nwordcount=3\n"), -1);
  EXPECT_EQ(warnings().back(),
            u".ifo file format is incorrect. Cannot read sametypesequence (data type sequence)!");
}

TEST_F(StarDictInfoTest, MissingFileShowsTheOpenMessageAndLeavesTheOutputs) {
  info_.bookname = u"untouched";
  EXPECT_EQ(readStarDictInfo(dir_ / "none.ifo", info_, ui_), -1);
  EXPECT_EQ(info_.bookname, u"untouched");
  EXPECT_EQ(warnings(), std::vector<std::u16string>{u"Open .ifo file failed!"});
}

TEST_F(StarDictInfoTest, EveryDroppedTypeLetterGetsAnInformationNotice) {
  ASSERT_EQ(read("bookname=x\nwordcount=3\nsametypesequence=mxhx\n"), 0);
  const auto messages = ui_.messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(messages[0].text,
            u"Word explain include data of type x (A utf-8 string which is marked up with the "
            u"xdxf language)!\nThis verion cannot handle this type, and will discard it!\nThe "
            u"others will be kept!\nTo keep such data as text, use lexora-cli's --markup-as-text "
            u"option, or markup=text in the [Sources] section of the settings.");
  EXPECT_EQ(messages[1].text,
            u"Word explain include data of type h ()!\nThis verion cannot handle this type, and "
            u"will discard it!\nThe others will be kept!\nTo keep such data as text, use "
            u"lexora-cli's --markup-as-text option, or markup=text in the [Sources] section of "
            u"the settings.");
  EXPECT_EQ(messages[2].text, messages[0].text);
}

TEST_F(StarDictInfoTest, MarkupKeptAsTextIsNotToldOfAndOtherDroppedTypesGetNoHowTo) {
  const auto path =
      test::writeFile(dir_ / "dict.ifo", "bookname=x\nwordcount=3\nsametypesequence=hxW\n");
  ASSERT_EQ(readStarDictInfo(path, info_, ui_, true), 0);
  const auto messages = ui_.messages();
  ASSERT_EQ(messages.size(), 1u) << "only W is dropped";
  EXPECT_EQ(messages[0].text.find(u"--markup-as-text"), std::u16string::npos);
}

TEST_F(StarDictInfoTest, MessagesInChinese) {
  test::LanguageScope chinese(UiLanguage::Chinese);
  ASSERT_EQ(read("bookname=x\nwordcount=3\nsametypesequence=W\n"), 0);
  EXPECT_EQ(ui_.messages().at(0).text,
            u"单词解释中包含类型W(wav file)的数据！\n本版本不能处理这种数据，将把它丢弃！\n"
            u"其他类型的数据将会保留！");
  EXPECT_EQ(read("wordcount=3\n"), -1);
  EXPECT_EQ(warnings().back(), u".ifo文件格式不正确，读取不到bookname（词典名）信息！");
}

TEST(StarDictInfoParse, SixtyFourBitOffsetsAreDeclaredByIdxoffsetbits) {
  EXPECT_EQ(parseStarDictInfo("idxoffsetbits=64\n").offsetBits, 64);
  EXPECT_EQ(parseStarDictInfo("idxoffsetbits=32\n").offsetBits, 32);
  EXPECT_EQ(parseStarDictInfo("bookname=x\n").offsetBits, 32);
}

TEST(StarDictInfoParse, LongLinesAreReadInPieces) {
  // The second piece of an over-long line is a line of its own.
  const std::string text = "x=" + std::string(131069 - 2, 'a') + "bookname=Piece\n";
  EXPECT_EQ(parseStarDictInfo(text).bookname, u"Piece");
  EXPECT_EQ(parseStarDictInfo("bookname=a\0b\n").bookname, u"a");
}

}  // namespace
}  // namespace lexora
