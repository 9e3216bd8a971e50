#include "sources/dsl_markup.h"

#include <array>

#include "base/white_space.h"
#include "sources/dsl_html.h"
#include "sources/unit_scan.h"

namespace lexora {
namespace {

// Tags dropped with their words kept; a tag's name is what follows `[` (and `/`) up to a
// space or `]`, so `[c darkgreen]` and `[lang id=1033]` are tags too.
constexpr std::array<std::u16string_view, 22> kDroppedTags{
    u"b", u"i",   u"u",   u"c",   u"lang", u"com", u"ex", u"trn", u"trn1", u"!trs",    u"p",
    u"*", u"url", u"ref", u"sub", u"sup",  u"'",   u"t",  u"m",   u"br",   u"preview", u"video"};

bool isDroppedTag(std::u16string_view name) {
  // Most tags are one letter: one look.
  if (name.size() == 1) {
    switch (name[0]) {
      case u'b':
      case u'i':
      case u'u':
      case u'c':
      case u'p':
      case u'*':
      case u'\'':
      case u't':
      case u'm':
        return true;
      default:
        return false;
    }
  }
  for (std::u16string_view tag : kDroppedTags) {
    if (name == tag) return true;
  }
  return false;
}

// Characters with no meaning of their own in a body line: copied in runs. A table, since
// this is asked of nearly every character of a dictionary.
constexpr std::array<bool, 128> kMarkupCharacters = [] {
  std::array<bool, 128> table{};
  for (const char c : {'[', '\\', '<', '>', '~', '\t', '&'}) table[static_cast<size_t>(c)] = true;
  return table;
}();

bool isPlain(char16_t c) {
  return c >= 128 || !kMarkupCharacters[c];
}

// Printable ASCII, most of a text, is never white space.
bool isSpace(char16_t c) {
  return (c <= u' ' || c >= 0x7F) && isWhiteSpace(c);
}

// The characters a backslash makes literal.
bool isEscapable(char16_t c) {
  return c == u'[' || c == u']' || c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u'~' ||
         c == u'\\' || c == u'@';
}

}  // namespace

std::u16string_view stripDslComments(std::u16string_view line, bool& inComment,
                                     std::u16string& out) {
  // Most lines have no brace at all: they are their own text.
  if (!inComment && findEitherUnit(line, u'{', u'{', 0) == std::u16string_view::npos) return line;
  out.clear();
  for (size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (inComment) {
      if (c == u'}' && i + 1 < line.size() && line[i + 1] == u'}') {
        inComment = false;
        ++i;
      }
      continue;
    }
    if (c == u'\\' && i + 1 < line.size()) {
      out.push_back(c);
      out.push_back(line[++i]);
      continue;
    }
    if (c == u'{' && i + 1 < line.size() && line[i + 1] == u'{') {
      inComment = true;
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

namespace {

// appendDslBodyText, given whether the line is known to hold HTML; sets `html` when it finds
// that it does. Says false when the line has to be read again: HTML was found after `~`
// gave a headword with '&' or '<', which HTML would have read as markup.
bool appendBodyLine(std::u16string_view line, std::u16string_view headword, size_t room,
                    std::u16string& out, bool& html) {
  const size_t start = out.size();
  bool headwordAsMarkup = false;  // `~` gave '&' or '<' before HTML was found
  // The last '>', which an HTML tag needs after its '<'; looked for at the first '<'.
  constexpr size_t kNotLooked = std::u16string_view::npos - 1;
  size_t lastGreater = kNotLooked;
  size_t indent = 0;
  int mediaDepth = 0;
  bool any = false;  // a character other than white space was appended
  // The first `]` after the current `[`, found once per `]` rather than once per `[`, so
  // that a line of many `[` costs its length, not its square; and a tag is at most
  // kLongestTag units, so that reading its name costs no more.
  constexpr size_t kLongestTag = 256;
  constexpr size_t kLongestTagName = 8;  // "preview" and one more
  size_t nextClose = 0;
  // Tags never nest in a way that matters here (each is dropped where it stands), so one
  // pass with a counter for media keeps deep nesting flat: no recursion, no stack.
  for (size_t i = 0; i < line.size() && out.size() - start <= room; ++i) {
    const char16_t c = line[i];
    if (any && mediaDepth == 0 && isPlain(c)) {
      size_t end = i + 1;
      while (end < line.size() && isPlain(line[end])) ++end;
      out.append(line.substr(i, end - i));
      i = end - 1;
      continue;
    }
    if (c == u'[') {
      // The name first, up to the longest a known tag has: most tags end with it, and
      // only a tag with a value needs its ']' looked for.
      size_t end = i + 1;
      const bool closing = end < line.size() && line[end] == u'/';
      if (closing) ++end;
      const size_t nameStart = end;
      while (end < line.size() && end - nameStart < kLongestTagName && line[end] != u']' &&
             line[end] != u' ' && line[end] != u'[') {
        ++end;
      }
      size_t close = std::u16string_view::npos;
      if (end < line.size() && line[end] == u']') {
        close = end;
      } else if (end < line.size() && line[end] == u' ') {
        if (nextClose != std::u16string_view::npos && nextClose <= end)
          nextClose = line.find(u']', end + 1);
        close = nextClose;
      }
      if (close != std::u16string_view::npos && close - i <= kLongestTag) {
        const std::u16string_view name = line.substr(nameStart, end - nameStart);
        if (name.size() == 1 && name[0] == u's') {
          mediaDepth += closing ? (mediaDepth > 0 ? -1 : 0) : 1;
          i = close;
          continue;
        }
        if (name.size() == 2 && name[0] == u'm' && name[1] >= u'0' && name[1] <= u'9') {
          if (!closing && !any && out.size() == start) indent = static_cast<size_t>(name[1] - u'0');
          i = close;
          continue;
        }
        if (isDroppedTag(name)) {
          i = close;
          continue;
        }
      }
    }
    if (mediaDepth > 0) {
      if (c == u'\\' && i + 1 < line.size()) ++i;
      continue;
    }
    if (c == u'\\' && i + 1 < line.size() && isEscapable(line[i + 1])) {
      out.push_back(line[++i]);
      any = true;
      continue;
    }
    if (c == u'<' && i + 1 < line.size() && line[i + 1] == u'<') {
      ++i;  // the word of a reference stays, its marks go
      continue;
    }
    if (c == u'>' && i + 1 < line.size() && line[i + 1] == u'>') {
      ++i;
      continue;
    }
    if (c == u'~') {
      if (html) {
        appendHtmlEscaped(headword, out);
      } else {
        out.append(headword);
        headwordAsMarkup = headwordAsMarkup ||
                           findEitherUnit(headword, u'&', u'<', 0) != std::u16string_view::npos;
      }
      any = any || !headword.empty();
      continue;
    }
    // HTML's tags and references are kept as they stand, and the line converted below.
    if (!html && c == u'<' && lastGreater == kNotLooked) lastGreater = line.rfind(u'>');
    if (!html && ((c == u'<' && lastGreater != std::u16string_view::npos && lastGreater > i &&
                   startsHtmlTag(line.substr(i + 1))) ||
                  (c == u'&' && startsCharacterReference(line.substr(i + 1))))) {
      html = true;
      if (headwordAsMarkup) return false;
    }
    if (c == u'\t') {
      out.push_back(u' ');
      continue;
    }
    const bool space = isSpace(c);
    if (!any && space && out.size() == start) continue;
    out.push_back(c);
    any = any || !space;
  }
  if (!any) {
    out.resize(start);
    return true;
  }
  while (out.size() > start && isSpace(out.back())) out.pop_back();
  if (html) {
    convertDslHtml(out, start);
    if (out.size() == start) return true;
  }
  if (indent == 0) return true;
  // HTML's block elements give lines of their own, indented as the first.
  for (size_t at = out.find(u'\n', start); at != std::u16string::npos;
       at = out.find(u'\n', at + 1 + indent)) {
    out.insert(at + 1, indent, u' ');
  }
  out.insert(start, indent, u' ');
  return true;
}

}  // namespace

void appendDslBodyText(std::u16string_view line, std::u16string_view headword, size_t room,
                       std::u16string& out) {
  const size_t start = out.size();
  bool html = false;
  if (!appendBodyLine(line, headword, room, out, html)) {
    out.resize(start);
    appendBodyLine(line, headword, room, out, html);
  }
}

}  // namespace lexora
