#include "sources/powerword_xml.h"

#include <gtest/gtest.h>

#include "base/text_codec.h"
#include "support/test_support.h"

namespace lexora {
namespace {

std::u16string convert(std::u16string_view field, PowerWordWalkState& state,
                       int* result = nullptr) {
  std::u16string out = u"stale";
  const int r = convertPowerWordXml(state, field, out);
  if (result) *result = r;
  return out;
}

std::u16string convert(std::u16string_view field, int* result = nullptr) {
  PowerWordWalkState state;
  return convert(field, state, result);
}

TEST(PowerWordXml, WorkedExample) {
  const std::u16string field =
      u"<单词解释块>\n  <基本词义>\n    <单词项>\n"
      u"      <word><![CDATA[go]]></word>\n"
      u"      <词典音标><![CDATA[gEu]]></词典音标>\n"
      u"      <解释项><![CDATA[去]]></解释项>\n"
      u"      <解释项><![CDATA[&L{walk}&L{leave}]]></解释项>\n"
      u"    </单词项>\n  </基本词义>\n"
      u"  <idioms><![CDATA[go on]]></idioms>\n</单词解释块>";
  int result = -1;
  EXPECT_EQ(convert(field, &result), u"go\n[g\u01DDu]\n(1)去\n(2)walk, leave\n<idioms>\ngo on");
  EXPECT_EQ(result, 0);
}

TEST(PowerWordXml, NumberingFollowsTheWordItem) {
  EXPECT_EQ(convert(u"<单词项><解释项><![CDATA[one]]></解释项></单词项>"), u"one");
  EXPECT_EQ(
      convert(u"<单词项><解释项><![CDATA[a]]></解释项><解释项><![CDATA[b]]></解释项></单词项>"
              u"<单词项><解释项><![CDATA[c]]></解释项><解释项><![CDATA[d]]></解释项></单词项>"),
      u"(1)a\n(2)b\n(1)c\n(2)d");
  // Plain text is never numbered; only CDATA takes its element's name.
  EXPECT_EQ(convert(u"<单词项><解释项>x</解释项><解释项><![CDATA[y]]></解释项></单词项>"),
            u"x\n(1)y");
}

TEST(PowerWordXml, NumberingCarriesOverFromFieldToField) {
  PowerWordWalkState state;
  convert(u"<单词项><解释项><![CDATA[a]]></解释项><解释项><![CDATA[b]]></解释项></单词项>", state);
  EXPECT_EQ(convert(u"<解释项><![CDATA[c]]></解释项>", state), u"(3)c");
  // Before any word item of a load, items are not numbered.
  PowerWordWalkState fresh;
  EXPECT_EQ(convert(u"<解释项><![CDATA[c]]></解释项>", fresh), u"c");
}

TEST(PowerWordXml, HeaderLinesInTheExplanationBlock) {
  EXPECT_EQ(convert(u"<单词解释块><基本词义><![CDATA[a]]></基本词义>"
                    u"<基本词义><![CDATA[b]]></基本词义></单词解释块>"),
            u"a\n<基本词义>\nb");
  // A basic meaning elsewhere gets no header but still counts as the first.
  EXPECT_EQ(convert(u"<x><基本词义><![CDATA[a]]></基本词义></x>"
                    u"<单词解释块><基本词义><![CDATA[b]]></基本词义></单词解释块>"),
            u"a\n<基本词义>\nb");
}

TEST(PowerWordXml, SpanMarkers) {
  EXPECT_EQ(applySpanMarkers(u"a & b &L{c}"), u"a & b &L{c}");
  EXPECT_EQ(applySpanMarkers(u"&b{bold} and &i{it}"), u"bold and it");
  EXPECT_EQ(applySpanMarkers(u"&a{&b{x}}"), u"x");
  EXPECT_EQ(applySpanMarkers(u"&}{x"), u"{x");
  EXPECT_EQ(applySpanMarkers(u"&x{never closed"), u"&x{never closed");
  EXPECT_EQ(applySpanMarkers(u"&L{a}&l{b}"), u"a, b");
  EXPECT_EQ(applySpanMarkers(u"&é{x}y"), u"xy");
}

TEST(PowerWordXml, PhoneticFontMapAppliesItsRowsInOrder) {
  EXPECT_EQ(convert(u"<词典音标><![CDATA[8]]></词典音标>"), u"[U]");
  EXPECT_EQ(convert(u"<词典音标><![CDATA[}]]></词典音标>"), u"[\\]");
  EXPECT_EQ(applyPhoneticFontMap(u"@?`"), u"SU\"");
}

TEST(PowerWordXml, EntitiesAndCommentsAndSeparateCdataSections) {
  EXPECT_EQ(convert(u"<a>x &amp; &#x41;</a>"), u"x & A");
  EXPECT_EQ(convert(u"<a><!--note--></a>"), u"note");
  if (test::runningUnderWine())
    GTEST_SKIP() << "Wine's MSXML (built on libxml2) merges adjacent CDATA sections";
  EXPECT_EQ(convert(u"<a><![CDATA[one]]><![CDATA[two]]></a>"), u"one\ntwo");
}

TEST(PowerWordXml, TextThatIsNotWellFormedFails) {
  for (std::u16string_view bad : {u"a & b", u"a < b", u"<a><b></a></b>", u"&undefined;",
                                  u"<!DOCTYPE x [<!ENTITY e \"e\">]><x/>", u"<p:x/>"}) {
    if (bad == u"<p:x/>" && test::runningUnderWine())
      GTEST_SKIP() << "Wine's MSXML accepts an undeclared namespace prefix";
    int result = 0;
    EXPECT_EQ(convert(bad, &result), u"") << utf16ToUtf8(bad);
    EXPECT_EQ(result, -1) << utf16ToUtf8(bad);
  }
}

TEST(PowerWordXml, ExternalEntitiesAreNeverLoaded) {
  int result = 0;
  EXPECT_EQ(convert(u"<a>&xxe;</a>", &result), u"");
  EXPECT_EQ(result, -1);
}

TEST(PowerWordXml, AFieldLongerThanTheBoundIsNotParsed) {
  PowerWordWalkState state;
  state.numberingOn = true;
  state.itemCounter = 5;
  const std::u16string item = u"<解释项><![CDATA[x]]></解释项>";
  std::u16string field = u"<单词项>";
  while (field.size() + item.size() + 6 <= kMaxPowerWordField) field += item;
  field += u"</单词项>";
  int result = 0;
  EXPECT_FALSE(convert(field, state, &result).empty());
  EXPECT_EQ(result, 0);
  field.insert(0, std::u16string(kMaxPowerWordField + 1 - field.size(), u' '));
  state = {};
  state.itemCounter = 5;
  EXPECT_EQ(convert(field, state, &result), u"");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(state.itemCounter, 5) << "the walk state is left as it was";
}

}  // namespace
}  // namespace lexora
