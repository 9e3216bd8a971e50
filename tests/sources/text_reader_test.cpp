#include "sources/text_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

std::string utf16File(std::u16string_view text, bool mark = true) {
  std::string bytes = mark ? "\xFF\xFE" : "";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

class TextReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(chooseAnsiCodePage("CP1252")); }

  // Reads `bytes` as a .txt file; returns the reader's result.
  int read(std::string_view bytes, const std::string& name = "dict.txt") {
    path_ = test::writeFile(dir_ / name, bytes);
    dictionary_ = LoadedDictionary{};
    return readTextDictionary(dictionary_, path_, ui_);
  }
  // Entries as "key => data" lines, in map order.
  std::vector<std::string> entries() {
    std::vector<std::string> out;
    for (const auto& e : dictionary_.entries.entries()) {
      out.push_back(std::string(e.key()) + " => " +
                    std::string(e.data(), static_cast<size_t>(e.length)));
    }
    return out;
  }
  using V = std::vector<std::string>;

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  std::filesystem::path path_;
  test::ScriptedUserInterface ui_;
  LoadedDictionary dictionary_;
};

TEST_F(TextReaderTest, TrimsTheHeadwordButNotTheExplanation) {
  ASSERT_EQ(read(" Apple \t fruit\t(n.)\r\n"), 0);
  EXPECT_EQ(entries(), V{"apple => Apple\t fruit (n.)"});
  EXPECT_EQ(dictionary_.name, u"dict");
}

TEST_F(TextReaderTest, LinesWithoutAnEntryAreSkippedSilently) {
  ASSERT_EQ(read("\tstarts with tab\n   \nno tab here\n\n \xA0\t only spaces before\nword\t\n"), 0);
  EXPECT_EQ(entries(), V{"word => word\t"});
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(TextReaderTest, FurtherTabsBecomeSpacesAndBackslashNBecomesALineFeed) {
  ASSERT_EQ(read("a\tb\tc\nsee\tsee\\n also\nslash\ta\\\\nb \\x\n"), 0);
  EXPECT_EQ(entries(), (V{"a => a\tb c", "see => see\tsee\n also", "slash => slash\ta\\\nb \\x"}));
}

TEST_F(TextReaderTest, PhoneticControlsBecomeLetters) {
  ASSERT_EQ(read("sing\tsi\x19\nthin\t\x0bin \x03\x0f\x10\x06\x1e\x1d\x1c\n"), 0);
  EXPECT_EQ(
      entries(),
      (V{"sing => sing\tsi\xC5\x8B",
         "thin => thin\t\xCE\xB8in \xC3\xA6\xCE\x9B\xC7\x9D\xC9\x94\xC6\xB7\xCA\x83\xC3\xB0"}));
}

TEST_F(TextReaderTest, RepeatedHeadwordsMergeInFileOrder) {
  ASSERT_EQ(read("Apple\tfruit\nZoo\tanimals\napple\tcompany\n"), 0);
  EXPECT_EQ(entries(), (V{"apple => Apple\tfruit\tapple\tcompany", "zoo => Zoo\tanimals"}));
}

TEST_F(TextReaderTest, Utf16WithMarkIsReadAsUtf16) {
  ASSERT_EQ(read(utf16File(u"cat\ta small animal\r\n\u4e2d\u3000\t\u4e2d\u6587\r\n")), 0);
  EXPECT_EQ(entries(), (V{"cat => cat\ta small animal",
                          "\xE4\xB8\xAD => \xE4\xB8\xAD\t\xE4\xB8\xAD\xE6\x96\x87"}))
      << "the ideographic space is trimmed";
}

TEST_F(TextReaderTest, LoneSurrogateHeadwordsStayApartInCodeUnitOrder) {
  // Keys compare as UTF-16 code units, so U+D800 and U+DBFF are different headwords that
  // sort before U+E000; their text is still sent as U+FFFD.
  const std::u16string d800(1, char16_t{0xD800}), dbff(1, char16_t{0xDBFF});
  ASSERT_EQ(read(utf16File(d800 + u"\ta\n\uE000\tc\n" + dbff + u"\tb\nApple\tfruit\n" + d800 +
                           u"\ta2\napple\tcompany\n")),
            0);
  std::vector<std::string> data;
  for (const auto& e : dictionary_.entries.entries()) data.emplace_back(e.data(), e.length);
  EXPECT_EQ(data, (V{"Apple\tfruit\tapple\tcompany", "\xEF\xBF\xBD\ta\t\xEF\xBF\xBD\ta2",
                     "\xEF\xBF\xBD\tb", "\xEE\x80\x80\tc"}));
}

TEST_F(TextReaderTest, OtherEncodingsAreAllReadAsAnsi) {
  // A UTF-8 mark stays at the front of the first headword, decoded as CP1252.
  ASSERT_EQ(read("\xEF\xBB\xBFword\tmeaning\n"), 0);
  EXPECT_EQ(entries(), V{"\xC3\xAF\xC2\xBB\xC2\xBFword => \xC3\xAF\xC2\xBB\xC2\xBFword\tmeaning"});
  // UTF-16 without its mark: every line is cut at its first zero byte, before any TAB.
  ASSERT_EQ(read(utf16File(u"cat\tanimal\r\ndog\tanimal\r\n", false)), 0);
  EXPECT_EQ(entries(), V{});
}

TEST_F(TextReaderTest, AnsiCodePageDecidesHowBytesAreRead) {
  ASSERT_TRUE(chooseAnsiCodePage("CP936"));
  ASSERT_EQ(read("\xC4\xE3\xBA\xC3\thello\n"), 0);
  EXPECT_EQ(entries(), V{"\xE4\xBD\xA0\xE5\xA5\xBD => \xE4\xBD\xA0\xE5\xA5\xBD\thello"});
}

TEST_F(TextReaderTest, NulEndsTheLineText) {
  ASSERT_EQ(read(std::string("a\tb\0c\td\nnul\0\tgone\n", 18)), 0);
  EXPECT_EQ(entries(), V{"a => a\tb"});
  ASSERT_EQ(read(std::string(100000, '\0')), 0);
  EXPECT_EQ(entries(), V{});
  ASSERT_EQ(read(utf16File(std::u16string(u"x\ty\0z\n", 6))), 0);
  EXPECT_EQ(entries(), V{"x => x\ty"});
}

TEST_F(TextReaderTest, LongLinesAreReadInPiecesOf131069Characters) {
  // 200,000 bytes: a piece of 131,069 and one of 68,931; the second has a TAB of its own.
  std::string line =
      "long\t" + std::string(131069 - 5, 'x') + "tail\tend" + std::string(68931 - 8, 'y');
  ASSERT_EQ(line.size(), 200000u);
  ASSERT_EQ(read(line + "\nnext\tline\n"), 0);
  const auto* longEntry = dictionary_.entries.find(u"long");
  ASSERT_NE(longEntry, nullptr);
  EXPECT_EQ(longEntry->length, 131069);
  const auto* tail = dictionary_.entries.find(u"tail");
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(tail->length, 68931);
  EXPECT_NE(dictionary_.entries.find(u"next"), nullptr);
  // The entry of the first piece lost the rest of its line; the user is to be told.
  EXPECT_EQ(dictionary_.shortenedKeys, V{"long"});
  // A line that only its line break carries past the piece loses nothing.
  ASSERT_EQ(read("full\t" + std::string(131069 - 5, 'x') + "\r\n"), 0);
  EXPECT_TRUE(dictionary_.shortenedKeys.empty());

  // The same in UTF-16: pieces count 16-bit units.
  std::u16string wide =
      u"w\t" + std::u16string(131069 - 2, u'x') + u"t\t" + std::u16string(10, u'z');
  ASSERT_EQ(read(utf16File(wide + u"\n")), 0);
  EXPECT_EQ(dictionary_.entries.find(u"w")->length, 131069);
  EXPECT_EQ(dictionary_.entries.find(u"t")->length, 12);
  EXPECT_EQ(dictionary_.shortenedKeys, V{"w"});
}

TEST_F(TextReaderTest, LinesEndedByCrAloneRunTogether) {
  ASSERT_EQ(read("one\tfirst\rtwo\tsecond\r"), 0);
  EXPECT_EQ(entries(), V{"one => one\tfirsttwo second"});
}

TEST_F(TextReaderTest, AMillionCharacterLineWithoutLineFeeds) {
  ASSERT_EQ(read("head\t" + std::string(1000000, 'q')), 0);
  EXPECT_EQ(dictionary_.entries.find(u"head")->length, 131069);
  EXPECT_EQ(dictionary_.entries.size(), 1u);
}

TEST_F(TextReaderTest, FilesThatCannotBeReadAreReportedAndLeaveNoName) {
  for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
    test::LanguageScope scope(language);
    test::ScriptedUserInterface ui;
    LoadedDictionary missing, folder;
    EXPECT_EQ(readTextDictionary(missing, dir_ / "absent.txt", ui), -1);
    std::filesystem::create_directories(dir_ / "folder.txt");
    EXPECT_EQ(readTextDictionary(folder, dir_ / "folder.txt", ui), -1);
    EXPECT_TRUE(missing.name.empty());
    const std::u16string expected =
        language == UiLanguage::Chinese ? u"打开词典文件失败！" : u"Open dictionary file failed!";
    EXPECT_EQ(ui.warnings(), (std::vector<std::u16string>{expected, expected}));
  }
}

TEST_F(TextReaderTest, EmptyFileSucceedsWithNoEntries) {
  ASSERT_EQ(read(""), 0);
  EXPECT_TRUE(dictionary_.entries.empty());
  EXPECT_EQ(dictionary_.name, u"dict");
}

}  // namespace
}  // namespace lexora
