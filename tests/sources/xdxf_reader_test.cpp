#include "sources/xdxf_reader.h"

#include <gtest/gtest.h>

#include <chrono>

#include "base/text_codec.h"
#include "platform/ui_language.h"
#include "sources/load_dictionary_file.h"
#include "support/test_support.h"

namespace lexora {
namespace {

class XdxfReaderTest : public ::testing::Test {
 protected:
  int read(std::string_view bytes) {
    path_ = test::writeFile(dir_ / "dict.xdxf", bytes);
    dictionary_ = LoadedDictionary{};
    return loadDictionaryFile(dictionary_, path_, ui_);
  }
  // The entry's data, or "(none)".
  std::string entry(std::u16string_view key) {
    const auto* e = dictionary_.entries.find(key);
    return e ? std::string(e->data(), static_cast<size_t>(e->length)) : "(none)";
  }

  test::LanguageScope language_{UiLanguage::English};
  test::TempDir dir_;
  test::ScriptedUserInterface ui_;
  std::filesystem::path path_;
  LoadedDictionary dictionary_;
};

TEST_F(XdxfReaderTest, VisualFormatArticlesKeysAndMarkup) {
  ASSERT_EQ(read("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<xdxf lang_from=\"ENG\" lang_to=\"DEU\" format=\"visual\">\n"
                 "<full_name>  English\n German </full_name>\n"
                 "<description>not an entry</description>\n"
                 "<ar><k>Cat</k><k>kitty</k>\n<tr>k\xC3\xA6t</tr>\n"
                 "a pet, see <kref>dog</kref>\n<ex>the cat sat</ex> <co>informal</co></ar>\n"
                 "<ar><k>colo<opt>u</opt>r</k>Farbe</ar>\n"
                 "<ar><k>tab</k>a\tb &amp; c<!-- note --></ar>\n"
                 "</xdxf>\n"),
            0);
  EXPECT_EQ(dictionary_.name, u"English German");
  EXPECT_EQ(dictionary_.entries.size(), 5u);
  // Several keys share the article; the line breaks of the visual format are kept.
  EXPECT_EQ(entry(u"cat"), "Cat\t[k\xC3\xA6t]\na pet, see dog\nthe cat sat informal");
  EXPECT_EQ(entry(u"kitty").substr(6), entry(u"cat").substr(4));
  // An optional part gives two keys.
  EXPECT_EQ(entry(u"colour"), "colour\tFarbe");
  EXPECT_EQ(entry(u"color"), "color\tFarbe");
  EXPECT_EQ(entry(u"tab"), "tab\ta b & c");
}

TEST_F(XdxfReaderTest, LogicalFormatNumbersNestedDefinitionsAndMergesRepeatedKeys) {
  ASSERT_EQ(read("<xdxf lang_from=\"ENG\" lang_to=\"FRA\" format=\"logical\" revision=\"033\">"
                 "<meta_info><title>short</title><full_title>Logical Test</full_title>"
                 "</meta_info><lexicon>"
                 "<ar><k>run</k><def><gr>v</gr>"
                 "  <def><deftext>move fast</deftext>"
                 "    <def>courir</def><def>filer</def></def>"
                 "  <def>operate <ex><ex_orig>run a shop</ex_orig></ex></def>"
                 "</def></ar>"
                 "<ar><k>Run</k><def>second article</def></ar>"
                 "<ar><k>empty<opt> </opt></k></ar>"
                 "<ar><k>nest</k><def><def><def>a</def><def>b</def></def><def>c</def></def></ar>"
                 "</lexicon></xdxf>"),
            0);
  EXPECT_EQ(dictionary_.name, u"Logical Test");
  EXPECT_EQ(entry(u"run"),
            "run\tv\n1. move fast\n  1. courir\n  2. filer\n2. operate run a shop\t"
            "Run\tsecond article");
  EXPECT_EQ(entry(u"empty"), "empty\t");
  EXPECT_EQ(entry(u"nest"), "nest\t1.\n  1. a\n  2. b\n2. c");
}

// Each key holds its own copy of the article: copies beyond a bound are cut, and said to be.
TEST_F(XdxfReaderTest, ManyKeysOnALongArticleCostABoundedMultipleOfIt) {
  std::string keys;
  for (int i = 0; i < 1000; ++i) keys += "<k>k" + std::to_string(i) + "</k>";
  const std::string text(30000, 'x');
  ASSERT_EQ(read("<xdxf><ar>" + keys + text + "</ar></xdxf>"), 0);
  size_t bytes = 0;
  for (const auto& e : dictionary_.entries.entries()) bytes += static_cast<size_t>(e.length);
  EXPECT_EQ(dictionary_.entries.size(), 1000u);
  EXPECT_LT(bytes, 16 * (text.size() + keys.size()));
  EXPECT_EQ(dictionary_.shortenedKeys.size(), 1000u);
  EXPECT_EQ(entry(u"k7").substr(0, 5), "k7\txx");
}

// The file reaches the parser in pieces: articles and runs of text cut by a piece's end
// come out whole.
TEST_F(XdxfReaderTest, ArticlesAcrossThePiecesOfALargeFileComeOutWhole) {
  std::string file = "<xdxf format=\"logical\"><lexicon>";
  const std::string text(997, 'x');
  for (int i = 0; i < 1500; ++i) {
    file += "<ar><k>w" + std::to_string(i) + "</k><def>" + text + " " + std::to_string(i) +
            "</def></ar>\n";
  }
  ASSERT_EQ(read(file + "</lexicon></xdxf>"), 0);
  ASSERT_EQ(dictionary_.entries.size(), 1500u);
  for (int i = 0; i < 1500; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ(entry(utf8ToUtf16("w" + n)), "w" + n + "\t" + text + " " + n);
  }
}

// The encoding is the document's own; entities it declares are expanded, but an external
// one is never read.
TEST_F(XdxfReaderTest, EncodingAndEntitiesAreTheDocumentsOwnAndNothingOutsideIsRead) {
  const std::string expected = "caf\xC3\xA9\tcr\xC3\xA8me";
  ASSERT_EQ(read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                 "<xdxf><ar><k>caf\xE9</k>cr\xE8me</ar></xdxf>"),
            0);
  EXPECT_EQ(entry(u"caf\u00E9"), expected);
  // In the machine's byte order, little-endian wherever the tests run.
  std::u16string wide =
      u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
      u"<xdxf><ar><k>caf\u00E9</k>cr\u00E8me</ar></xdxf>";
  ASSERT_EQ(read(std::string_view(reinterpret_cast<const char*>(wide.data()), 2 * wide.size())), 0);
  EXPECT_EQ(entry(u"caf\u00E9"), expected);

  const std::string secret = test::writeFile(dir_ / "secret.txt", "SECRET").generic_string();
  const std::string secretUri = (secret.starts_with("/") ? "file://" : "file:///") + secret;
  // Wine's MSXML refuses a reference to any entity other than the predefined ones, so these
  // documents need only be read right when they are read at all.
  if (read("<!DOCTYPE xdxf [<!ENTITY ab \"alpha beta\">]>"
           "<xdxf><ar><k>e</k>&ab; and &ab;</ar></xdxf>") == 0) {
    EXPECT_EQ(entry(u"e"), "e\talpha beta and alpha beta");
  }
  if (read("<!DOCTYPE xdxf [<!ENTITY s SYSTEM \"" + secretUri +
           "\">]><xdxf><ar><k>e</k>[&s;]</ar></xdxf>") == 0) {
    EXPECT_EQ(entry(u"e"), "e\t[]");
  }
}

TEST_F(XdxfReaderTest, NameFallsBackToTheFileName) {
  ASSERT_EQ(read("<xdxf><ar><k>a</k>b</ar></xdxf>"), 0);
  EXPECT_EQ(dictionary_.name, u"dict");
}

TEST_F(XdxfReaderTest, BadInputFailsNamingTheFileWithoutCrashOrHang) {
  const std::string named = "dict.xdxf";
  EXPECT_EQ(read("<xdxf><ar><k>a</k>unterminated"), -1);
  EXPECT_NE(utf16ToUtf8(ui_.warnings().back()).find(named), std::string::npos);
  EXPECT_EQ(read("<dictionary><ar><k>a</k></ar></dictionary>"), -1);
  EXPECT_NE(utf16ToUtf8(ui_.warnings().back()).find(named), std::string::npos);

  std::string deep = "<xdxf><ar><k>a</k>";
  for (int i = 0; i < 100000; ++i) deep += "<def>";
  for (int i = 0; i < 100000; ++i) deep += "</def>";
  deep += "</ar></xdxf>";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(read(deep), -1) << "refused by the parser's depth limit";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(dictionary_.entries.empty());

  LoadedDictionary missing;
  EXPECT_EQ(loadDictionaryFile(missing, dir_ / "none.xdxf", ui_), -1);
}

}  // namespace
}  // namespace lexora
