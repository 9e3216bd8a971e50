#include "sources/dsl_html.h"

#include <algorithm>
#include <array>

#include "base/text_codec.h"
#include "sources/markup_text.h"

namespace lexora {
namespace {

// The elements whose tags make a line HTML. Other names in angle brackets are taken for
// text: dictionaries write grammatical labels and placeholders that way ("<noun>", "<sb>").
constexpr std::array<std::u16string_view, 61> kHtmlElements{
    u"a",          u"abbr", u"acronym", u"address", u"b",    u"bdi",    u"bdo",    u"big",
    u"blockquote", u"br",   u"caption", u"center",  u"cite", u"code",   u"col",    u"dd",
    u"del",        u"dfn",  u"div",     u"dl",      u"dt",   u"em",     u"font",   u"h1",
    u"h2",         u"h3",   u"h4",      u"h5",      u"h6",   u"hr",     u"i",      u"img",
    u"ins",        u"kbd",  u"li",      u"mark",    u"ol",   u"p",      u"pre",    u"q",
    u"s",          u"samp", u"script",  u"small",   u"span", u"strike", u"strong", u"style",
    u"sub",        u"sup",  u"table",   u"tbody",   u"td",   u"th",     u"thead",  u"tr",
    u"tt",         u"u",    u"ul",      u"var",     u"wbr"};

bool isAsciiAlphanumeric(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

}  // namespace

bool startsHtmlTag(std::u16string_view rest) {
  if (rest.starts_with(u"!--")) return true;
  size_t i = !rest.empty() && rest[0] == u'/' ? 1 : 0;
  const size_t nameStart = i;
  while (i < rest.size() && i - nameStart <= 10 && isAsciiAlphanumeric(rest[i])) ++i;
  // A tag's name ends at its '>', a space before its attributes, or the '/' of <br/>.
  if (i == nameStart || i == rest.size()) return false;
  if (rest[i] != u'>' && rest[i] != u' ' && rest[i] != u'\t' && rest[i] != u'/') return false;
  std::u16string name(rest.substr(nameStart, i - nameStart));
  for (char16_t& c : name) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return std::find(kHtmlElements.begin(), kHtmlElements.end(), name) != kHtmlElements.end();
}

// The legacy names without ';' are left to plain text: "&copy" could be a word's start.
bool startsCharacterReference(std::u16string_view rest) {
  std::string ascii;
  for (size_t i = 0; i < rest.size() && i < 40 && rest[i] < 0x80; ++i)
    ascii.push_back(static_cast<char>(rest[i]));
  std::string decoded;
  const size_t taken = decodeCharacterReference(ascii, decoded);
  return taken > 0 && ascii[taken - 1] == ';';
}

void appendHtmlEscaped(std::u16string_view text, std::u16string& out) {
  for (const char16_t c : text) {
    if (c == u'&') {
      out.append(u"&amp;");
    } else if (c == u'<') {
      out.append(u"&lt;");
    } else {
      out.push_back(c);
    }
  }
}

void convertDslHtml(std::u16string& out, size_t start) {
  std::string html, text;
  appendUtf8(html, std::u16string_view(out).substr(start));
  appendMarkupAsText(html, MarkupKind::html, text);
  const size_t firstText = text.find_first_not_of('\n');
  out.resize(start);
  if (firstText != std::string::npos) appendUtf16(out, std::string_view(text).substr(firstText));
}

}  // namespace lexora
