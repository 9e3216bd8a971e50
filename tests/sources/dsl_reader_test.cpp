#include "sources/dsl_reader.h"

#include <gtest/gtest.h>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "platform/ui_language.h"
#include "sources/load_dictionary_file.h"
#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

// `text` as UTF-16 after its byte-order mark, in either byte order.
std::string utf16File(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

using V = std::vector<std::string>;

// Each DSL test writes a file, loads it as the user's file would be, and checks what the
// map holds ("key => data", in key order), the name, and the messages shown.
class DslReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(chooseAnsiCodePage("CP1252")); }

  int read(std::string_view bytes, const std::string& name = "dict.dsl") {
    dictionary_ = LoadedDictionary{};
    return loadDictionaryFile(dictionary_, test::writeFile(folder_ / name, bytes), ui_);
  }
  V entries() const {
    V lines;
    for (const EntryMap::Entry& entry : dictionary_.entries.entries()) {
      lines.push_back(std::string(entry.key())
                          .append(" => ")
                          .append(entry.data(), static_cast<size_t>(entry.length)));
    }
    return lines;
  }

  test::LanguageScope english_{UiLanguage::English};
  test::TempDir folder_;
  test::ScriptedUserInterface ui_;
  LoadedDictionary dictionary_;
};

TEST_F(DslReaderTest, EveryEncodingGivesTheSameEntries) {
  const std::u16string text =
      u"#NAME\t\"Wörter – Слова\"\r\n#INDEX_LANGUAGE \"German\"\r\n\r\nTür\r\n\tdoor\r\n";
  const V expected{"tür => Tür\tdoor"};
  for (const bool bigEndian : {false, true}) {
    ASSERT_EQ(read(utf16File(text, bigEndian)), 0);
    EXPECT_EQ(entries(), expected) << bigEndian;
    EXPECT_EQ(dictionary_.name, u"Wörter – Слова");
  }
  ASSERT_EQ(read("\xEF\xBB\xBF" + utf16ToUtf8(text)), 0);
  EXPECT_EQ(entries(), expected);
  EXPECT_EQ(dictionary_.name, u"Wörter – Слова");

  // Without a mark: the declared code page, else the ANSI one; the name decodes alike.
  ASSERT_EQ(read("#NAME \"\xD1\xEB\xEE\xE2\xE0\"\n#SOURCE_CODE_PAGE \"Cyrillic\"\n"
                 "\xE4\xEE\xEC\n\t\xE4\xEE\xEC\n"),
            0);
  EXPECT_EQ(entries(), V{"дом => дом\tдом"});
  EXPECT_EQ(dictionary_.name, u"Слова");
  ASSERT_EQ(read("T\xFCr\n\tdoor\n"), 0);
  EXPECT_EQ(entries(), V{"tür => Tür\tdoor"});
  EXPECT_EQ(dictionary_.name, u"dict");
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(DslReaderTest, CardsShareBodiesAndRepeatedHeadwordsMerge) {
  ASSERT_EQ(read("#NAME \"x\"\n\tbelongs to no card\n"
                 "colour\nColor\n\tthe hue\n  second line\n\n"
                 "color\n\tpaint it\n"),
            0);
  EXPECT_EQ(entries(), (V{"color => Color\tthe hue\nsecond line\tcolor\tpaint it",
                          "colour => colour\tthe hue\nsecond line"}));
}

// The packed headword is the entry's start, as long as the key: text in {...} is shown on
// the explanation's first line.
TEST_F(DslReaderTest, HeadwordBracesAreShownAndParenthesesGiveTwoKeys) {
  ASSERT_EQ(read("go {(smb.)} \\(on\\)\n\tx\nback(-)up\n\ty\n"), 0);
  EXPECT_EQ(entries(), (V{"back-up => back-up\ty", "backup => backup\ty",
                          "go (on) => go (on)\tgo (smb.) (on)\nx"}));
}

TEST_F(DslReaderTest, BodyMarkupBecomesPlainText) {
  ASSERT_EQ(read("fly\n"
                 "\t[m0][b]1.[/b] [p]v[/p] [c darkgreen]to[/c] move [i]through[/i] air[/m]\n"
                 "\t[m2][ex][lang id=1033]a ~ flies[/lang][/ex] [s]fly.wav[/s][/m]\n"
                 "\t[m1][trn]see <<wing>>[/trn], [!trs]\\[1\\] \\~ \\\\ \\@[/!trs][/m]\n"
                 "\t{{a comment\n\tover lines}}[*][sup]2[/sup][/*] [u]u[/u][']e['] [url]w[/url]\n"
                 "\t[s]only.jpg[/s]\n"
                 "\t@ fly away\n"
                 "\t[m1]to leave\n"
                 "\t@\n"
                 "\t[unknown] {{x}}kept\n"),
            0);
  EXPECT_EQ(entries(), V{"fly => fly\t1. v to move through air\n  a fly flies\n"
                         " see wing, [1] ~ \\ @\n2 ue w\nfly away\n to leave\n[unknown] kept"});
}

// A line with a real HTML tag or reference goes through the HTML converter; angle brackets
// and ampersands of plain text stay, and so does a headword that `~` puts into HTML.
TEST_F(DslReaderTest, HtmlInBodiesBecomesTextAndPlainAnglesStay) {
  ASSERT_EQ(read("R&D\n"
                 "\t[m1]a < b, x<y, <noun> & R&D &copy <<ref>> <<b>>\n"
                 "\t[m2]one<br>two &amp; <B>three</B> &#8212; a < b <a href=\"x\">link</a>\n"
                 "\t<br/>\n"
                 "&lt;\n"
                 "\t~ is <i>less-than</i>, [b]~[/b]&nbsp;too\n"),
            0);
  EXPECT_EQ(entries(), (V{"&lt; => &lt;\t&lt; is less-than, &lt; too",
                          "r&d => R&D\t a < b, x<y, <noun> & R&D &copy ref b\n"
                          "  one\n  two & three \xE2\x80\x94 a < b link"}));
}

TEST_F(DslReaderTest, CompressedFilesAndAbbreviationsBesideThem) {
  const std::string card = "#NAME \"Zipped\"\nword\n\tmeaning\n";
  const V expected{"word => word\tmeaning"};
  for (const std::string& bytes : {test::gzipBytes(card), test::dictzipBytes(card, 8)}) {
    ASSERT_EQ(read(bytes, "zipped.DSL.dz"), 0);
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(dictionary_.name, u"Zipped");
  }
  ASSERT_EQ(read("word\n\tmeaning\n", "plain.dsl.dz"), 0);
  EXPECT_EQ(dictionary_.name, u"plain");

  test::writeFile(folder_ / "book_abrv.dsl", "n.\n\tnoun\n");
  ASSERT_EQ(read(card, "book.dsl"), 0);
  EXPECT_EQ(entries(), expected);
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(DslReaderTest, DamagedFilesKeepWhatWasReadAndSaySo) {
  const std::string gzip = test::gzipBytes("one\n\tfirst\ntwo\n\tsecond\n");
  ASSERT_EQ(read(gzip.substr(0, gzip.size() - 4), "cut.dsl.dz"), 0);
  EXPECT_EQ(entries(), (V{"one => one\tfirst", "two => two\tsecond"}));
  EXPECT_EQ(ui_.messages().size(), 1u);

  // Half a character at the end of UTF-16.
  ASSERT_EQ(read(utf16File(u"a\n\tb\n", false) + "c"), 0);
  EXPECT_EQ(entries(), V{"a => a\tb"});
  EXPECT_EQ(ui_.messages().size(), 2u);

  // Markup left open and nested far too deep still gives the card, in bounded size; media
  // left open ends with its line.
  std::string deep = "deep\n\t";
  for (int i = 0; i < 100000; ++i) deep += "[b][m1][s]~";
  ASSERT_EQ(read(deep + "\n\tstill here\nnext\n\t[[[[[[[[{{\n"), 0);
  EXPECT_EQ(entries(), (V{"deep => deep\tstill here", "next => next\t[[[[[[[["}));

  dictionary_ = LoadedDictionary{};
  EXPECT_EQ(loadDictionaryFile(dictionary_, folder_ / "none.dsl", ui_), -1);
}

}  // namespace
}  // namespace lexora
