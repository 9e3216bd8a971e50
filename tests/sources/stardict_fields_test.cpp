#include "sources/stardict_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"

namespace lexora {
namespace {

using namespace std::string_literals;

std::string convert(std::string_view block, std::u16string_view types, bool* sound = nullptr,
                    bool markupAsText = false) {
  PowerWordWalkState state;
  std::string explanation;
  const bool ok = convertStarDictFields(block, types, state, explanation, markupAsText);
  if (sound) *sound = ok;
  return explanation;
}

TEST(StarDictFields, PhoneticIsBracketedNormalisedAndTheFinalLfGoes) {
  EXPECT_EQ(convert("\xC9\x99\0hi"s, u"tm"), "[\xC7\x9D]\nhi");  // ə → ǝ
  EXPECT_EQ(convert("a\0b\n\n"s, u"mm"), "a\nb");
}

TEST(StarDictFields, MarkupFieldsBecomeTextOnlyWhenAsked) {
  const std::string block = "<p>a &amp; b</p><ul><li>one</ul>\0<tr>tr\xC9\x99</tr> x\0plain"s;
  EXPECT_EQ(convert(block, u"hxm"), "plain");
  EXPECT_EQ(convert(block, u"hxm", nullptr, true),
            "a & b\n\xE2\x80\xA2 one\n[tr\xC7\x9D] x\nplain");  // phonetics normalised too
  EXPECT_EQ(convert("<script>x</script>\0plain"s, u"hm", nullptr, true), "plain");

  // Cut inside a markup field, the start settles nothing from it: a tag left open there
  // could drop all that follows in the whole block.
  PowerWordWalkState state;
  std::string part;
  const std::string longText(40, 'w');
  const auto start =
      convertStarDictFieldsStart("<b>" + longText + "<scr", 8, u"h", state, part, true);
  EXPECT_EQ(start.outcome, BlockStartConversion::needMore);
  const auto afterPlain =
      convertStarDictFieldsStart(longText + "\0<b>x"s, 8, u"mh", state, part, true);
  EXPECT_EQ(afterPlain.outcome, BlockStartConversion::enough);
  EXPECT_EQ(part, longText);
}

TEST(StarDictFields, EmptyFieldsAddNothing) {
  EXPECT_EQ(convert("\0text"s, u"tm"), "text");
  EXPECT_EQ(convert("word\0"s, u"mm"), "word");
}

TEST(StarDictFields, PhoneticNormalisationTable) {
  // ʌ ə ә ɜ ʒ Ɵ ᶿ ˌ ˏ
  EXPECT_EQ(
      convert("\xCA\x8C\xC9\x99\xD3\x99\xC9\x9C\xCA\x92\xC6\x9F\xE1\xB6\xBF\xCB\x8C\xCB\x8F", u"m"),
      "\xCE\x9B\xC7\x9D\xC7\x9D\xC7\x9D\xC6\xB7\xCE\xB8\xCE\xB8..");
}

TEST(StarDictFields, MarkupTagsAreStrippedButEntitiesKept) {
  EXPECT_EQ(convert("<b>bold</b> text", u"g"), "bold text");
  EXPECT_EQ(convert("a < b", u"g"), "a < b");
  EXPECT_EQ(convert("x &amp; y<br>", u"g"), "x &amp; y");
  EXPECT_EQ(convert("<br>\0more"s, u"gm"), "\nmore");
  EXPECT_EQ(stripMarkupTags(u"<a<b>c<d"), u"c<d");
}

TEST(StarDictFields, DroppedTypesProduceNothing) {
  EXPECT_EQ(convert("text\0<xdxf/>"s, u"mx"), "text");
  EXPECT_EQ(convert("a\0b"s, u"hm"), "b");
}

TEST(StarDictFields, AnsiFieldsUseTheCodePage) {
  ASSERT_TRUE(chooseAnsiCodePage("CP1252"));
  EXPECT_EQ(convert("caf\xE9\0caf\xC3\xA9"s, u"lm"), "caf\xC3\xA9\ncaf\xC3\xA9");
}

TEST(StarDictFields, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(convert("a\xFF\xC3", u"m"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(StarDictFields, UpperCaseFieldsAreSkippedByTheirSize) {
  bool sound = false;
  EXPECT_EQ(convert("\0\0\0\x03\0\0\0meaning"s, u"Wm", &sound), "meaning");
  EXPECT_TRUE(sound);
  // The last field has no size and runs to the end of the block.
  EXPECT_EQ(convert("meaning\0\x89PNG\0\0"s, u"mP", &sound), "meaning");
  EXPECT_TRUE(sound);
}

TEST(StarDictFields, DamagedBlocksKeepWhatWasReadAndNeverReadBeyond) {
  bool sound = true;
  // Fewer fields than letters.
  EXPECT_EQ(convert("only", u"tm", &sound), "[only]");
  EXPECT_FALSE(sound);
  // A size beyond the block: the fields after it are empty.
  EXPECT_EQ(convert("a\0\0\0\x01\0xyz"s, u"mWm", &sound), "a");
  EXPECT_FALSE(sound);
  EXPECT_EQ(convert("a\0\0\0"s, u"mWm", &sound), "a");
  EXPECT_FALSE(sound);
  // An empty block is the empty last field of a one-field block.
  EXPECT_EQ(convert("", u"m", &sound), "");
  EXPECT_TRUE(sound);
}

// The reader's last steps: TABs become spaces, backslash-n pairs LFs.
std::string finished(std::string explanation) {
  std::replace(explanation.begin(), explanation.end(), '\t', ' ');
  joinBackslashN(explanation);
  return explanation;
}

// Every start of every block either settles the explanation as the whole block does, or
// asks for more: pieces whose text depends on bytes further on (LF runs, unclosed tags,
// characters cut in two, backslash-n pairs, sized fields) at every cut.
TEST(StarDictFields, TheStartOfABlockSettlesOnlyWhatTheWholeBlockGives) {
  ASSERT_TRUE(chooseAnsiCodePage("CP936"));
  const std::string pieces[] = {
      "a",        "\n",   "\n\n", "\\",           "n",    "\t",       "<",          ">", "\0"s,
      "\xCB\x8C", "\xFF", "\x80", "\xE1\xB6\xBF", "\xC3", "\xD6\xD0", "\0\0\0\x02"s};
  const std::u16string types[] = {u"m",  u"g",   u"tm", u"mt",  u"gm",
                                  u"Wm", u"mWg", u"lm", u"kym", u"xm"};
  std::mt19937 random(19);
  constexpr size_t kKeep = 6;
  int settled = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string block;
    for (int n = std::uniform_int_distribution<>(0, 24)(random); n > 0; --n) {
      block += pieces[random() % std::size(pieces)];
    }
    const std::u16string& type = types[random() % std::size(types)];
    PowerWordWalkState state;
    std::string whole;
    const bool sound = convertStarDictFields(block, type, state, whole);
    whole = finished(whole);
    for (size_t cut = 0; cut < block.size(); ++cut) {
      std::string explanation = "stale";
      const auto r =
          convertStarDictFieldsStart(block.substr(0, cut), kKeep, type, state, explanation);
      const std::string at =
          "block " + testing::PrintToString(block) + " cut at " + std::to_string(cut);
      if (r.outcome == BlockStartConversion::complete) {
        EXPECT_EQ(finished(explanation), whole) << at;
        EXPECT_EQ(r.sound, sound) << at;
      } else if (r.outcome == BlockStartConversion::enough) {
        ++settled;
        const std::string sure = finished(explanation);
        ASSERT_GE(sure.size(), kKeep + 2) << at;
        EXPECT_EQ(whole.substr(0, sure.size() - 1), sure.substr(0, sure.size() - 1)) << at;
      } else {
        EXPECT_EQ(explanation, "") << at;
      }
    }
  }
  EXPECT_GT(settled, 1000);
}

}  // namespace
}  // namespace lexora
