// lexora-cli as a user runs it: pack the bundled examples, then read them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "base/text_codec.h"
#include "pack/packed_image.h"
#include "platform/ansi_code_page.h"
#include "platform/path_text.h"
#include "platform/system_error_text.h"
#include "platform/ui_language.h"
#include "platform/whole_file.h"
#include "sources/load_dictionary_file.h"
#include "support/run_program.h"
#include "support/stardict_writer.h"
#include "support/test_support.h"

namespace lexora {
namespace {

const std::string kCli = test::builtProgram("src/cli/lexora-cli");
const std::string kExamples = std::string(LEXORA_SOURCE_DIR) + "/examples/";

class CliTest : public ::testing::Test {
 protected:
  test::ProgramRun cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--lang", "en", "--ansi-code-page", "CP1252"});
    return test::runProgram(kCli, arguments);
  }
  test::TempDir dir_;
};

TEST_F(CliTest, PackThenInspectRoundTripsEveryEntryOfTheExamples) {
  ASSERT_TRUE(chooseAnsiCodePage("CP1252"));
  test::LanguageScope language(UiLanguage::English);
  for (const std::string name : {"english", "chinese-english"}) {
    const std::string source = kExamples + name + ".txt";
    const std::string image = (dir_ / (name + ".lxp")).string();
    const auto run = cli({"pack", source, "-o", image});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("Load dictionary file " + source + "...Success"), std::string::npos);
    EXPECT_NE(run.err.find("Compress dictionary file " + source + "...Success"), std::string::npos);
    EXPECT_NE(run.err.find("Size of compressed dictionary is "), std::string::npos);

    // Every entry the reader loads comes back out of the image, byte for byte.
    test::ScriptedUserInterface ui;
    LoadedDictionary loaded;
    ASSERT_EQ(loadDictionaryFile(loaded, std::filesystem::path(source), ui), 0);
    std::string error;
    const auto bytes = readWholeFile(image, error);
    ASSERT_TRUE(bytes) << error;
    const auto packed = parsePackedImage(*bytes, error);
    ASSERT_TRUE(packed) << error;
    EXPECT_EQ(packed->name, utf8ToUtf16(name));
    std::vector<std::string> fromImage, fromSource;
    for (const auto& b : packed->blocks) {
      const auto entries = decodeBlock(b, error);
      ASSERT_TRUE(entries) << error;
      for (const auto& e : *entries) fromImage.push_back(e.headword + "\t" + e.text);
    }
    for (const auto& e : loaded.entries.entries())
      fromSource.emplace_back(e.data(), static_cast<size_t>(e.length));
    EXPECT_EQ(fromImage, fromSource);
    EXPECT_GE(fromImage.size(), 19u);

    const auto inspect = cli({"inspect", image});
    EXPECT_EQ(inspect.exitStatus, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("entries: " + std::to_string(fromSource.size())), std::string::npos);
  }
}

TEST_F(CliTest, InspectLooksWordsUpByTheirKey) {
  const std::string image = (dir_ / "en.lxp").string();
  ASSERT_EQ(cli({"pack", kExamples + "english.txt", "-o", image}).exitStatus, 0);
  const auto run = cli({"inspect", image, "BREAD", "thin", "nowhere"});
  EXPECT_EQ(run.exitStatus, 1) << "a word that is not there fails the run";
  EXPECT_NE(run.out.find("Bread\tbred: food made of flour, water and yeast\tbread\tto cover"),
            std::string::npos);
  EXPECT_NE(run.out.find("thin\t\xCE\xB8in: having little distance"), std::string::npos);
  EXPECT_NE(run.err.find("Word not found: nowhere"), std::string::npos);

  // Several images: every one that has the word answers, each line naming its image.
  const std::string other = (dir_ / "other.lxp").string();
  test::writeFile(dir_ / "other.txt", "thin\tnot thick\n");
  ASSERT_EQ(cli({"pack", (dir_ / "other.txt").string(), "-o", other}).exitStatus, 0);
  const auto both = cli({"inspect", image, other, "thin"});
  EXPECT_EQ(both.exitStatus, 0) << both.err;
  EXPECT_NE(both.out.find(image + ":thin\t\xCE\xB8in"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find(other + ":thin\tnot thick\n"), std::string::npos) << both.out;
}

TEST_F(CliTest, InfoCountsOnlyThePackedEntries) {
  const std::string source = (dir_ / "long.txt").string();
  test::writeFile(source, "short\tx\n" + std::string(300, 'w') + "\ty\nother\tz\n");
  const auto run = cli({"info", source});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("entries: 2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(": 1\n"), std::string::npos) << "the left-out count: " << run.out;
}

TEST_F(CliTest, ImagesWithLoneSurrogateHeadwordsPassInspect) {
  // Sent as U+FFFD, ordered by their code units: the keys of the image do not ascend as
  // UTF-8, and the check must allow for that.
  std::string bytes = "\xFF\xFE";
  for (int c : {0xD800, 0x09, 0x61, 0x0A, 0xDBFF, 0x09, 0x62, 0x0A, 0xE000, 0x09, 0x63, 0x0A,
                0xFFFD, 0x09, 0x64, 0x0A}) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  test::writeFile(dir_ / "lone.txt", bytes);
  const std::string image = (dir_ / "lone.lxp").string();
  ASSERT_EQ(cli({"pack", (dir_ / "lone.txt").string(), "-o", image}).exitStatus, 0);
  const auto run = cli({"inspect", image});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.out.find("entries: 4"), std::string::npos) << run.out;
}

TEST_F(CliTest, FileNamesThatAreNotUtf8AreLoadedAndPacked) {
  // A Latin-1 byte in a file name: the system takes any bytes, so the readers must too.
  if (test::runningOnWindows()) GTEST_SKIP() << "file names are UTF-16 on Windows, not bytes";
  const auto text = test::writeFile(dir_ / "caf\xE9.txt", "word\tmeaning\n");
  test::StarDictFixture fixture;
  fixture.entries = {{"apple", "fruit"}};
  const auto ifo = test::writeStarDict(dir_.path(), "d\xE9j\xE0", fixture);
  const auto out = dir_ / "out";
  const auto run = cli({"pack", "--output-dir", out.string(), text.string(), ifo.string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;

  std::vector<std::u16string> names;
  for (const auto& item : std::filesystem::directory_iterator(out)) {
    std::string error;
    const auto bytes = readWholeFile(item.path(), error);
    ASSERT_TRUE(bytes) << error;
    const auto packed = parsePackedImage(*bytes, error);
    ASSERT_TRUE(packed) << error;
    EXPECT_EQ(packed->blocks.size(), 1u);
    names.push_back(packed->name);
  }
  std::sort(names.begin(), names.end());
  // The text dictionary's name comes from its file name, the undecodable byte as U+FFFD.
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Test Dictionary", u"caf\uFFFD"}));
}

TEST_F(CliTest, MarkupAsTextTurnsHtmlFieldsIntoReadableText) {
  test::StarDictFixture fixture;
  fixture.infoLines = {"bookname=Html", "sametypesequence=h"};
  fixture.entries = {{"tea", "<div><b>tea</b> &ndash; a drink<br><ol><li>hot<li>iced</ol></div>"}};
  const auto ifo = test::writeStarDict(dir_.path(), "html", fixture);
  const std::string image = (dir_ / "html.lxp").string();

  const auto dropped = cli({"pack", ifo.string(), "-o", image});
  EXPECT_NE(dropped.err.find("--markup-as-text"), std::string::npos) << dropped.err;
  auto look = cli({"inspect", image, "tea"});
  EXPECT_NE(look.out.find("tea\t\n"), std::string::npos) << "no meaning: " << look.out;

  const auto kept = cli({"pack", "--force", "--markup-as-text", ifo.string(), "-o", image});
  ASSERT_EQ(kept.exitStatus, 0) << kept.err;
  EXPECT_EQ(kept.err.find("--markup-as-text"), std::string::npos) << "no notice: " << kept.err;
  look = cli({"inspect", image, "tea"});
  EXPECT_NE(look.out.find("tea\ttea \xE2\x80\x93 a drink\n1. hot\n2. iced"), std::string::npos)
      << look.out;
  EXPECT_EQ(cli({"info", "--markup-as-text", ifo.string()}).exitStatus, 0);
  EXPECT_EQ(cli({"inspect", "--markup-as-text", image}).exitStatus, 2);
}

// The formats read beside the design's go through every command; a compressed DSL file's
// image is named for the dictionary (w.dsl.dz -> w.lxp), not "w.dsl.lxp".
TEST_F(CliTest, DictdDslAndXdxfFilesArePackedAndInspected) {
  test::writeFile(dir_ / "fd.index", "apple\tA\tQ\n");  // offset 0, length 16
  test::writeFile(dir_ / "fd.dict", "apple\n  a fruit\n");
  test::writeFile(dir_ / "cards.dsl.dz",
                  test::gzipBytes("#NAME \"Cards\"\nbread\n\t[b]baked[/b]\n"));
  test::writeFile(dir_ / "x.xdxf",
                  "<xdxf format=\"logical\"><lexicon><ar><k>cheese</k><def>made of milk</def>"
                  "</ar></lexicon></xdxf>");
  const std::string out = (dir_ / "out").string();
  const std::vector<std::string> files = {
      (dir_ / "fd.index").string(), (dir_ / "cards.dsl.dz").string(), (dir_ / "x.xdxf").string()};
  std::vector<std::string> pack = {"pack", "--output-dir", out};
  pack.insert(pack.end(), files.begin(), files.end());
  const auto packed = cli(pack);
  ASSERT_EQ(packed.exitStatus, 0) << packed.err;

  struct Expected {
    const char *image, *headword, *line;
  };
  const Expected expected[] = {{"fd.lxp", "apple", "apple\tapple\n  a fruit"},
                               {"cards.lxp", "bread", "bread\tbaked"},
                               {"x.lxp", "cheese", "cheese\tmade of milk"}};
  for (const auto& [image, headword, line] : expected) {
    const auto look = cli({"inspect", (dir_ / "out" / image).string(), headword});
    EXPECT_NE(look.out.find(line), std::string::npos) << image << ": " << look.out;
  }
  for (const std::string& file : files) EXPECT_EQ(cli({"info", file}).exitStatus, 0) << file;
}

TEST_F(CliTest, ChineseFileNamesAreOpenedWhateverTheAnsiCodePage) {
  // Windows would hand main() this name in the ANSI code page (CP1252 here), as "??".
  const auto folder = dir_.path() / pathFromText(u"词典");
  std::filesystem::create_directories(folder);
  test::writeFile(folder / pathFromText(u"牛津.txt"), "word\tmeaning\n");
  const std::string source = utf16ToUtf8(pathText(folder / pathFromText(u"牛津.txt")));
  const std::string image = utf16ToUtf8(pathText(dir_ / "out.lxp"));
  const auto run = cli({"pack", source, "-o", image});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("Load dictionary file " + source + "...Success"), std::string::npos)
      << run.err;
  std::string error;
  const auto bytes = readWholeFile(dir_ / "out.lxp", error);
  ASSERT_TRUE(bytes) << error;
  const auto packed = parsePackedImage(*bytes, error);
  ASSERT_TRUE(packed) << error;
  EXPECT_EQ(packed->name, u"牛津");
}

TEST_F(CliTest, FailedFilesMakeTheRunFailButOthersAreStillPacked) {
  const auto run = cli({"pack", "--output-dir", (dir_ / "out").string(), kExamples + "english.txt",
                        (dir_ / "absent.txt").string(), (dir_ / "x.doc").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "out" / "english.lxp"));
  EXPECT_NE(run.err.find("Open dictionary file failed!\n" + (dir_ / "absent.txt").string() +
                         ": No such file or directory\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Lexora cannot handle file with this extend name"), std::string::npos);
}

TEST_F(CliTest, NoImageIsLostOrFakedInAnOutputFolder) {
  // Two files named alike in different folders map to one image; an empty file to none.
  test::writeFile(dir_ / "a" / "x.txt", "first\tone\n");
  test::writeFile(dir_ / "b" / "x.txt", "second\ttwo\n");
  test::writeFile(dir_ / "empty.txt", "");
  const auto out = dir_ / "out";
  const auto run = cli({"pack", "--output-dir", out.string(), (dir_ / "a" / "x.txt").string(),
                        (dir_ / "b" / "x.txt").string(), (dir_ / "empty.txt").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find((dir_ / "a" / "x.txt").string()), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((dir_ / "b" / "x.txt").string()), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(out / "empty.lxp"));
  const auto inspect = cli({"inspect", (out / "x.lxp").string(), "first"});
  EXPECT_EQ(inspect.exitStatus, 0) << "the first image stays: " << inspect.err;
}

TEST_F(CliTest, DamagedImageIsAnErrorNamingTheOffset) {
  const std::string image = (dir_ / "en.lxp").string();
  ASSERT_EQ(cli({"pack", kExamples + "english.txt", "-o", image}).exitStatus, 0);
  std::string bytes = test::readFile(image);
  test::writeFile(dir_ / "cut.lxp", bytes.substr(0, bytes.size() - 10));
  auto run = cli({"inspect", (dir_ / "cut.lxp").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("The packed image is damaged: "), std::string::npos);
  EXPECT_NE(run.err.find("offset"), std::string::npos) << run.err;

  bytes[bytes.size() - 12] ^= 0x55;  // inside the last record stream
  test::writeFile(dir_ / "flipped.lxp", bytes);
  run = cli({"inspect", (dir_ / "flipped.lxp").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("offset"), std::string::npos) << run.err;
}

TEST_F(CliTest, ChineseInterfaceAndUsageErrors) {
  const auto run = test::runProgram(kCli, {"--lang", "zh", "pack", (dir_ / "absent.txt").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("打开词典文件失败！"), std::string::npos);
  EXPECT_NE(run.err.find("加载词典文件"), std::string::npos);
  EXPECT_EQ(test::runProgram(kCli, {"--help"}).exitStatus, 0);
  // A wrong line is refused before anything runs: one line and the hint, in the language
  // chosen anywhere on the line.
  const std::vector<std::vector<std::string>> wrong = {{"frobnicate"},
                                                       {"pack", "a.txt", "b.txt", "-o", "x"},
                                                       {"send", "--yes"},
                                                       {"send", "--yes", "--no", "a.txt"},
                                                       {"info", "--device", "unix:/x", "a.txt"},
                                                       {"pack", "--name", "n", "a.txt", "b.txt"}};
  for (const auto& line : wrong) {
    const auto refused = test::runProgram(kCli, line);
    EXPECT_EQ(refused.exitStatus, 2) << line[0];
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 2) << refused.err;
    EXPECT_NE(refused.err.find("Try 'lexora-cli --help'."), std::string::npos) << refused.err;
  }
  const auto chinese = test::runProgram(kCli, {"send", "--yes", "--no", "a.txt", "--lang", "zh"});
  EXPECT_EQ(chinese.exitStatus, 2);
  EXPECT_EQ(chinese.err.find("Try"), std::string::npos) << chinese.err;
}

// What info and inspect print, and the system's reason for a file that cannot be read,
// follow the interface language.
TEST_F(CliTest, ChineseReportsAndReasons) {
  const std::string image = (dir_ / "en.lxp").string();
  ASSERT_EQ(cli({"pack", kExamples + "english.txt", "-o", image}).exitStatus, 0);
  for (const auto& command : {std::vector<std::string>{"info", kExamples + "english.txt"},
                              std::vector<std::string>{"inspect", image}}) {
    const auto run = test::runProgram(kCli, {"--lang", "zh", command[0], command[1]});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("\n  词条数："), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n  压缩后尺寸："), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("entries:"), std::string::npos) << run.out;
  }

  const std::filesystem::path absent = dir_ / "absent.txt";
  const auto run = test::runProgram(kCli, {"--lang", "zh", "info", absent.string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find(utf16ToUtf8(pathText(absent)) + ": " +
                         systemErrorText(ENOENT, UiLanguage::Chinese) + "\n"),
            std::string::npos)
      << run.err;
}

// --help offers --device only where send takes it: not on Windows, where the vendor's
// service finds the handheld.
TEST_F(CliTest, HelpOffersOnlyOptionsThatWorkHere) {
  for (const auto& line :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"send", "--help"}}) {
    const auto run = cli(line);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out.find("--device") == std::string::npos, test::runningOnWindows()) << run.out;
  }
}

TEST_F(CliTest, PackNamesImagesAfterTheInputAndNeverReplacesOneUnasked) {
  const auto source = test::writeFile(dir_ / "my words.txt", "tea\ta drink\ncoffee\tanother\n");
  const auto image = dir_ / "out" / "my words.lxp";
  auto run = cli({"pack", "--output-dir", (dir_ / "out").string(), source.string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string first = test::readFile(image);
  ASSERT_FALSE(first.empty()) << "the name stays readable, not escaped";

  test::writeFile(image, "precious");
  run =
      cli({"pack", "--output-dir", (dir_ / "out").string(), "--name", "Renamed", source.string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(test::readFile(image), "precious");
  EXPECT_EQ(run.err.find("Load dictionary file"), std::string::npos) << "refused before loading";
  run = cli({"pack", "-f", "--output-dir", (dir_ / "out").string(), "--name", "Renamed",
             source.string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::string error;
  const auto renamed = parsePackedImage(*readWholeFile(image, error), error);
  ASSERT_TRUE(renamed) << error;
  EXPECT_EQ(renamed->name, u"Renamed");

  // To standard output: the image alone, byte for byte what the file gets.
  run = cli({"pack", "-o", "-", source.string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, first);
}

}  // namespace
}  // namespace lexora
