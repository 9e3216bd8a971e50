#include "sources/markup_text.h"

#include <gtest/gtest.h>

#include <chrono>

namespace lexora {
namespace {

std::string text(std::string_view html, MarkupKind kind = MarkupKind::html) {
  std::string out;
  appendMarkupAsText(html, kind, out);
  return out;
}

TEST(MarkupText, BlocksBreakLinesAndWhiteSpaceCollapsesAsInABrowser) {
  EXPECT_EQ(text("  <p>one\n  two</p><div><div>three</div></div>  "), "one two\nthree");
  EXPECT_EQ(text("<h2>Title</h2>text<br>next<br><br><br><br>after"), "Title\ntext\nnext\n\nafter");
  EXPECT_EQ(text("<b>bold</b> <i>it</i>al<span> x </span>y"), "bold ital x y");
  EXPECT_EQ(text("<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"), "a b\nc");
  EXPECT_EQ(text("<br><p></p>word<br>"), "word");  // nothing begins or ends the text
  // Single spaces between words stay as they are; a lone tab or line feed becomes one.
  EXPECT_EQ(text("a b\tc\nd  e \r\nf &amp; g <i>h</i>"), "a b c d e f & g h");
}

TEST(MarkupText, ListItemsGetBulletsOrNumbers) {
  EXPECT_EQ(text("<ul><li>a<li>b</ul>"), "\xE2\x80\xA2 a\n\xE2\x80\xA2 b");
  EXPECT_EQ(text("<ol> <li> <p>one</p></li><li></li><li>three</ol>"), "1. one\n2.\n3. three");
  EXPECT_EQ(text("<ol><li>a<ul><li>x</ul><li>b</ol>"),
            "1. a\n\xE2\x80\xA2 x\n2. b");  // the outer count survives the inner list
}

TEST(MarkupText, ScriptStyleAndCommentsAreDroppedWithTheirContent) {
  EXPECT_EQ(text("a<script>if (x<b) document.write('<p>')</script>b"), "ab");
  EXPECT_EQ(text("a<STYLE type=\"x\">p{}</style >b<!-- <p>c</p> -->d<!DOCTYPE html>e"), "abde");
  EXPECT_EQ(text("<a title=\"x>y\" href='>'>link</a>"), "link");
}

TEST(MarkupText, ReferencesAndEveryNamedEntityDecode) {
  EXPECT_EQ(text("&lt;p&gt; &amp;amp; &#65;&#x42;&#X43;"), "<p> &amp; ABC");
  EXPECT_EQ(text("&CounterClockwiseContourIntegral;&nbsp;&zwnj;&fjlig;"),
            "\xE2\x88\xB3 \xE2\x80\x8C"
            "fj");
  EXPECT_EQ(text("&notit; &copy2026 &AMP &amp"),
            "\xC2\xACit; \xC2\xA9"
            "2026 & &");
  EXPECT_EQ(text("&nosuch; & &#; &#x;"), "&nosuch; & &#; &#x;");  // not references: kept
  // Out of range, surrogates and NUL give U+FFFD; 0x80-0x9F are windows-1252's.
  EXPECT_EQ(text("&#0;&#xD800;&#99999999999;&#x80;"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xE2\x82\xAC");
  EXPECT_EQ(text("a&#10;&#32; b"), "a b");  // decoded white space collapses too
}

TEST(MarkupText, StrayAndUnterminatedMarkup) {
  EXPECT_EQ(text("1 < 2 <3 a<>b"), "1 < 2 <3 a<>b");
  EXPECT_EQ(text("kept<b unterminated tag"), "kept");
  EXPECT_EQ(text("kept<!-- never closed <p>x"), "kept");
  EXPECT_EQ(text("kept<script>no end"), "kept");
}

TEST(MarkupText, XdxfTranscriptionAndArticleLines) {
  EXPECT_EQ(text("<k>cat</k><tr>k\xC3\xA6t</tr><def>a pet</def>", MarkupKind::xdxf),
            "cat\n[k\xC3\xA6t]\na pet");
  EXPECT_EQ(text("<tr>row</tr>x"), "row\nx");  // in HTML a table row
}

// Hostile input costs time linear in its size: each of these would be quadratic (or worse)
// to a converter that rescans the rest of the text per tag.
TEST(MarkupText, HostileInputStaysLinear) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<ol><li><div>";
  deep += "x";
  std::string opens(400000, '<');
  std::string refs;
  for (int i = 0; i < 100000; ++i) refs += "&CounterClockwiseContourIntegra";
  std::string scripts;
  for (int i = 0; i < 50000; ++i) scripts += "<script></scrip";
  const auto start = std::chrono::steady_clock::now();
  const std::string deepText = text(deep);
  EXPECT_EQ(deepText.substr(deepText.size() - 4), "1. x");
  EXPECT_EQ(text(opens), opens);
  EXPECT_FALSE(text(refs).empty());
  EXPECT_EQ(text(scripts), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace lexora
